// compile.h - one compilation of a Verilog text held in memory: parse it (and the stub file of
// leaf cells), elaborate the requested module and the file's modules below it, emit the records.
// The session (session.h) adds the files and the protocol's text lines around it; tests and the
// fuzz target drive it directly.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "elab.h"
#include "emit.h"
#include "model.h"
#include "nyxvc.h"

namespace nyxvc {

class Compilation {
public:
    Compilation(const Options &opts, const Limits &limits = Limits()) : opts_(opts), limits_(limits) {}

    // Each false after an error in diag(). Texts must outlive the compilation.
    bool parse(std::string_view text, std::string_view fileName);
    bool parseStubs(std::string_view text, std::string_view fileName);
    // Elaborates top and the modules it instantiates, children first.
    bool elaborate(std::string_view top);
    // The record stream of every elaborated module; top gets the cell name requested.
    bool emit(std::string_view lib, std::string_view cell, std::string_view view, std::string_view compiledFrom,
              ByteSink &sink);

    Diagnostics &diag() { return diag_; }
    const Design &design() const { return design_; }
    const std::vector<Netlist> &netlists() const { return netlists_; }

private:
    Options opts_;
    Limits limits_;
    Diagnostics diag_;
    std::string file_;
    Design design_;
    Design stubs_;
    bool haveStubs_ = false;
    CellTable cells_;
    std::vector<const Module *> order_;
    std::vector<Netlist> netlists_;
};

} // namespace nyxvc
