// emit.h - the binary records of compiled modules, written with the protocol writer.
//
// One view record per module: a name table when the module has properties, the netlist view
// header with its counts, then nets, ports, footprints and instances in that order (nets before
// the ports and port instances that name them, footprints before their instances). Each
// module's record is made as soon as the module is elaborated, so that its model can be freed;
// the stream puts them in order at the end.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "elab.h"
#include "nyx_protocol.h"
#include "nyxvc.h"

namespace nyxvc {

class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual bool write(std::string_view bytes) = 0;
};

class StringSink : public ByteSink {
public:
    bool write(std::string_view bytes) override {
        out.append(bytes);
        return true;
    }
    std::string out;
};

class FileSink : public ByteSink {
public:
    explicit FileSink(std::FILE *f) : f_(f) {}
    bool write(std::string_view bytes) override { return std::fwrite(bytes.data(), 1, bytes.size(), f_) == bytes.size(); }

private:
    std::FILE *f_;
};

class Emitter {
public:
    Emitter(const Options &opts, std::string_view lib, std::string_view view, std::string_view compiledFrom)
        : opts_(opts), lib_(lib), view_(view), from_(compiledFrom) {}

    // The view record of one module into out; cell is the cell name to give the view (the
    // module's own name, or the one the library asked for).
    void module(Netlist &n, std::string_view cell, std::string &out);
    // The stream around the modules' records, in the order given.
    static bool stream(const std::vector<const std::string *> &records, ByteSink &sink);

private:
    const std::string &bitName(const Netlist &n, uint32_t bit);
    const std::string &busName(const Symbol &s);
    void defineNet(Netlist &n, uint32_t root, const Symbol *sym);
    int32_t netOf(Netlist &n, uint32_t bit) { return bit == kNoBit ? -1 : netIndex_[n.find(bit)]; }
    void nets(Netlist &n);
    void ports(Netlist &n);
    void footprints(const Netlist &n);
    void instances(Netlist &n);
    void nameTable(const Netlist &n);

    const Options &opts_;
    std::string_view lib_, view_, from_;
    nyxproto::Writer w_;
    std::vector<int32_t> netIndex_;  // per root bit: index in the view's net table, -1 before
    std::vector<uint32_t> next_;     // per bit: the next bit of its class (joined modules only)
    std::vector<uint32_t> tail_;
    int32_t nets_ = 0;
    std::string name_, bus_;
    NameTable propIndex_;            // property name -> index in this view's name table
    std::vector<nyxproto::PropName> propNames_;
};

} // namespace nyxvc
