// compiler.h - the face of src/compiler: the compiler rules, the session's compiler options and
// parameters, the running compiler processes, and the exchange with a compiler whose answer is
// read into netlist views, design configurations and occurrence property sets.
//
// A compiler is a separate program. The library writes a few command lines to its standard input
// and reads its answer (text lines, then a binary record stream) from its standard output. Its
// answer is external input: the reader trusts nothing in it, and the process may fail to start,
// die, hang or flood. The compiler "NONE" starts nothing: the answer is read from the data file of
// the view being compiled, opened and closed per compilation.
//
// Layers: this folder sits above the stored objects (dm), the stored formats (io) and the
// configuration room (config); nothing below it knows it. It joins the session through
// nyxCompilerInstall (the session code's start list), which fills the nyxLater entries it serves.
//
// (Sections: rules, options and parameters; processes; the exchange. Each states its
// decisions and invariants beside its declarations.)
#pragma once

#include <cstdint>
#include <string>

#include "dm/store/store.h"

// --- Rules, options and parameters -------------------------------------------------------------

struct nyxCompilerProc;  // a running compiler (processes section)

// One line of the rules file: which compiler serves a view type.
//   list:   ascending priority; among equal priorities the rule of the later line comes first
//   proc:   null, or the running compiler of this rule's compiler path; every rule whose
//           compiler string is equal (exact) refers to the same process object
struct nyxCompilerRule {
    nyxCompilerRule *next = nullptr;
    std::string viewType;   // first token of the line
    std::string compiler;   // hard path of the program, or "NONE"
    std::string hostName;   // remote host ("-rsh"), empty when none
    std::string setValue;   // hard path of the location map, recorded for remote compilers
    int32_t priority = 1;
    nyxCompilerProc *proc = nullptr;
};

class nyxCompilerIntf {
public:
    // Rules (rules.cpp).
    static void getRules();
    static nyxCompilerRule *getCompilerList();
    static nyxCompilerRule *findCompiler(const char *viewType);
    static int32_t topPriority();
    static void setCompiler(const char *path);
    static void setHostname(const char *host);
    // Rank of the rule for a view type: its index in the list, -1 when none serves it.
    static int32_t ruleRank(const char *viewType);
    static void clearRules();

    // Options (options.cpp): appends the options line's switches to buf and returns buf.
    static const std::string &getCompilerOpts(std::string &buf);

    // Processes (process.cpp): 0 when the rule's compiler runs (started now if needed), else 4
    // with the start's message on standard error. dataPath is the file of the view to compile.
    static cfidrErrorT startCompiler(nyxCompilerRule *rule, const char *dataPath);
    static void stopAllCompilers();

    // The exchange (exchange.cpp): one compilation on a started rule; see that section.
    static nyxObjRef compileNetlistView(nyxCompilerRule *rule, const char *dataPath, const char *lib,
                                        const char *cell, const char *view, cfidrErrorT *err);
    static nyxObjRef compileEncapsulatedView(nyxCompilerRule *rule, const char *dataPath,
                                             const char *lib, const char *cell, const char *view,
                                             cfidrErrorT *err);
};

// Start call of the session code: fills nyxLater.compilerRuleRank and nyxLater.stopCompilers.
void nyxCompilerInstall();
