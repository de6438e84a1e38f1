// compile.h - one compilation of a Verilog text held in memory: parse it (after the stub file of
// leaf cells), elaborate each module and write its records as soon as the cells it instantiates
// are known, then put the requested module and the file's modules below it into one stream,
// children first. A module's model is freed once its records are written, so that a large file
// costs little more than its records. The session (session.h) adds the files and the protocol's
// text lines around it; tests and the fuzz target drive it directly.
#pragma once

#include <functional>
#include <optional>
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

    // What the library asked for, before anything is parsed: names of the records, and the
    // source file's path as their compiled-from text.
    void request(std::string_view lib, std::string_view cell, std::string_view view, std::string_view compiledFrom);
    // Each false after an error in diag(). Texts must outlive the compilation; the stub file
    // comes first.
    bool parseStubs(std::string_view text, std::string_view fileName);
    // parsed, when set, is told how many bytes of the text are read after each module.
    bool parse(std::string_view text, std::string_view fileName,
               const std::function<void(size_t)> &parsed = nullptr);
    // Elaborates what is left and orders the requested module and those it instantiates.
    bool finish();
    // The record stream of the ordered modules.
    bool emit(ByteSink &sink) const;

    Diagnostics &diag() { return diag_; }
    const Design &design() const { return design_; }
    size_t instanceCount() const { return instances_; }

private:
    bool moduleParsed(Module &m);
    bool process(uint32_t module);

    Options opts_;
    Limits limits_;
    Diagnostics diag_;
    std::string lib_, cell_, view_, from_;
    std::string file_;
    Design design_;
    Design stubs_;
    bool haveStubs_ = false;
    CellTable cells_;
    Netlist netlist_;                    // of the module being compiled; its room is reused
    std::optional<Emitter> emitter_;     // made at the first module after request()
    std::vector<uint32_t> pending_;      // modules waiting for cells defined after them
    std::vector<std::string> records_;   // by module index: its view record, once written
    std::vector<uint32_t> order_;
    size_t instances_ = 0;
};

} // namespace nyxvc
