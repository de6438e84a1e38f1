// session.h - the command side of nyxvc: reads the library's command lines, finds the source
// file of the requested view, and writes the answer.
//
//   in:  #reset | #opts <switches> | #param <name> <b|i|f|s> [<value>] | #lib L | #cell C | #view V | #quit
//   out: #m, one line per message, #endmsgs, #s <status>, then #netlist and the records, or #nonetlist
//
// Nothing is written before #view, and nothing is read while an answer is written, so neither
// side can block the other on a full pipe. Status: 0, 27 when the source file is not found, 4
// for any other failure. Session parameters read: nyxvc_lib (the stub file of leaf cells),
// nyxvc_ext (the extensions tried for the source, blank or comma separated; "v vg verilog").
//
// Finding the source: library directory = the library name when it is absolute, else the
// current directory + "/" + the name; cell directory = library directory + "/" + the encoded
// cell name; file = cell directory + "/" + the encoded view name + "." + the first extension that
// exists. (Encoded as the library stores names: "/" and "\" become tab, "." and ".." newlines.)
// Library map files are not consulted.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "nyxvc.h"

namespace nyxvc {

class Session {
public:
    Session(std::FILE *in, std::FILE *out) : in_(in), out_(out) {}
    // Serves commands until #quit or the end of input; the exit code.
    int run();

    // The source file of lib/cell/view, or "" when none exists; tried lists the paths looked at.
    static std::string locate(const std::string &lib, const std::string &cell, const std::string &view,
                              const std::vector<std::string> &exts, std::string &tried);
    static std::string encodeName(const std::string &name);

private:
    void reset();
    void options(const std::string &switches);
    void param(const std::string &rest);
    bool answer(const std::string &view);

    std::FILE *in_;
    std::FILE *out_;
    Options opts_;
    std::string lib_, cell_;
    std::string stubPath_;
    std::vector<std::string> exts_;
};

} // namespace nyxvc
