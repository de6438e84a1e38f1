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

// The rules file (getRules): ZIL_NYX_COMPILER_RULES, else the home directory (ZIL_HOME, "/obol"
// when unset) and "/lib/svcCompilers.rules" in schematic mode (option bit 0x1000) or
// "/lib/nyxCompilers.rules". One rule a line:
//
//   field       token   meaning
//   view type   1st     the view type served (a cell entry's extension); compared exactly
//   compiler    2nd     program path, "$ZIL_HOME" + ("/" ... | end) replaced by the home
//                       directory, then made a hard path through the location map; or "NONE"
//   priority    3rd     optional, decimal (atoi's reading, clamped to 32 bits); 1 when absent
//
// Tokens are separated by blanks, tabs and CR; further tokens are ignored. A line starting with
// "#" is a comment, a line of fewer than two tokens is skipped, and a line longer than 1023 bytes
// is skipped whole with a diagnostic. A file that cannot be opened leaves the list empty and is
// tried again at the next need (its message is written once per session and path).
//
// Every operation that needs the list (find, rank, top priority, set compiler or host, the
// options line) reads the file when none was read since the last clearRules, and reads it again
// when the schematic bit differs from the bit it was read under: beforeRulesCleared runs first
// (the processes section stops the running compilers there), then clearRules, then the file the
// bit selects is read.
class nyxCompilerIntf {
public:
    // Rules (rules.cpp).
    static void getRules();
    static nyxCompilerRule *getCompilerList();
    static nyxCompilerRule *findCompiler(const char *viewType);
    static int32_t topPriority();  // 0 when the list is empty
    // The first rule's compiler (same conversion as a rules-file path; the rule's proc becomes
    // null, so that the new compiler starts lazily) or host name; no effect with an empty list.
    static void setCompiler(const char *path);
    static void setHostname(const char *host);
    // Rank of the rule for a view type: the index in the list of the rule findCompiler returns,
    // -1 when none serves it.
    static int32_t ruleRank(const char *viewType);
    // Frees the rules (only: running processes are the processes section's, which stops them
    // first through beforeRulesCleared or the release hook).
    static void clearRules();
    // Runs before the list is cleared for a re-read and at release: the stop of every running
    // compiler, installed by nyxCompilerInstall (null before it).
    static void (*beforeRulesCleared)();

    // Options (options.cpp). Parses an option string (tokens "-keyword" separated by blanks and
    // tabs; "-rsh HOST", "-comp PATH"): an unknown token or a refused host name stores 14 with a
    // line on standard error, and the other tokens still take effect.
    static void setCompilerOptions(const char *options, cfidrErrorT *err);
    // Appends the options line's switches to buf and returns buf.
    static const std::string &getCompilerOpts(std::string &buf);

    // The error function of the schematic compiler's messages: set returns fn, null restores the
    // default (the text and a newline on standard error, flushed); report calls the current one.
    using ErrorFn = void (*)(int32_t code, const char *text);
    static ErrorFn setErrorFunction(ErrorFn fn);
    static void reportError(int32_t code, const char *text);

    // Session parameters (params.cpp): a property list of the session (in the global heap, gone
    // with it), sent to compilers as "#param" lines in list order.
    //   createParameter: a value-less property (14 bad name, 26 exists, both unless trusted data
    //                    mode; 4); its values are set through the property functions; its owner
    //                    is the session, which has no identifier.
    //   getParameters:   a property iterator over the list (null only when memory ran out).
    //   paramLines:      appends one line per parameter with a non-empty name:
    //                      "#param NAME " + "b %d" | "i %d" | "f %f" | "s TEXT" + "\n",
    //                    other value types "s " (netlist) or nothing (encapsulated). Writes
    //                    nothing and stores 14 for a name with a blank or control character, 10
    //                    for a string value holding CR or LF.
    static nyxObjRef createParameter(const char *name, cfidrErrorT *err);
    static nyxIter *getParameters(cfidrErrorT *err);
    static void paramLines(std::string &out, bool encapsulated, cfidrErrorT *err);

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

// --- Processes (process.h, process.cpp) -------------------------------------------------------
//
// startCompiler (rule, dataPath):
//   "NONE"     starts nothing: 0 when dataPath is a regular file that can be opened for reading,
//              else 4. Nothing is kept: each exchange opens, reads and closes its data file.
//   a program  the rule is attached to the process object of its compiler path (one process
//              serves every rule naming that path); a running process is polled and, found dead,
//              reaped and started again, once per call. A start that fails writes its message
//              ("Unable to locate the TaboCompiler: %s", "Unable to locate "rsh"", "Error %d
//              starting TaboCompiler: %s") and reports 4 with nothing running; the next call
//              tries again. With option bit 0x100 and a host name on the rule the program is
//              `rsh HOST 'PATH'` (rsh found on PATH, the path quoted for the remote shell; host
//              names starting with "-" or holding blanks or control characters are refused), and
//              the location map's path becomes the rule's set value when ZIL_LOCATION_MAP is set.
// stopAllCompilers: every running process once: "#quit", both ends closed, up to 2 s for it to
//   end, SIGTERM, up to 1 s more, SIGKILL; all reaped. The process objects stay (stopped), so
//   the rules' pointers stay valid and the next use starts the compiler again.
//
// --- Exchange (exchange.cpp) ------------------------------------------------------------------
//
// compileNetlistView / compileEncapsulatedView (rule, dataPath, lib, cell, view, err): one
// compilation; for "NONE" the answer is read from dataPath, otherwise from the rule's process
// (started or restarted first when it does not run). Refused before a byte is written: names
// that are null or hold control characters, an options line holding control characters, and
// parameter names holding blanks (14); parameter values holding CR or LF (10). A compile request
// reaching a compiler that is in an exchange already (from inside the reading of an answer)
// fails with 4. The answer is read with expert mode pushed.
//
//   answer                                            netlist view    encapsulated view
//   a view, read whole and found by getView           0, the view     0, the view
//   status 0 and no view ("#nonetlist")               27              4
//   status N != 0 and no view                         4               N when a known error
//                                                                     code, else 4
//   no status, or one that is not a 32-bit number     4               4
//   end of data before the netlist or "#nonetlist",   4               4
//   corrupt records, absurd length, timeout, I/O
//
// Known error codes: 0-53, 30001-30012, 31001-31014. Only a result of 0 returns a view. After
// any failure of the last row the compiler is killed and reaped, so that nothing it still sends
// reaches the next exchange; it starts again on its next use. The inactivity timeout of a
// process (the longest wait for any byte of its answer, and for room to write the commands) is
// NYX_COMPILER_TIMEOUT in seconds, read when the process starts: 300 when unset or not a number,
// 0 for none. A data file of "NONE" is read without a timeout.

// Start call of the session code: fills nyxLater.compilerRuleRank and nyxLater.stopCompilers.
void nyxCompilerInstall();

// The interface frame's purge of a stored object of class `code` (a netlist or encapsulated view)
// that also withdraws the identifiers handed out for it and its contents; the session start
// installs it.
// Null: the object is purged and nothing is withdrawn.
extern void (*nyxCompilerPurgeHook)(nyxDMObj *obj, int32_t code, cfidrErrorT *err);

// --- Opening views (open.cpp) ------------------------------------------------------------------
//
// The general view opening serves every open of a view that its cell does not list
// (nyxCell::openView, nyxCell::findViewByName, cfidrPIOpenView through them):
//   1. A stored view of that path is opened from its file: a netlist view, else an encapsulated
//      view; it joins the cell's list. A file that cannot be read reports the read's error.
//   2. Otherwise the candidates are the cell's compilable entries (the side list of store.h, the
//      entries of the best-ranked rule), then every other entry of the cell's directory in
//      listing order. The listing is copied and its cache slot given back before anything is
//      compiled: a compilation may list other directories, and the cache has eight slots.
//   3. An entry serves view V when it begins with V's name as encoded in file names (a "/" in V
//      is a tab on disk) followed by "."; the rest of the entry is the view type. The entry
//      "part.Tabo_part.attr" also serves every view whose name begins with "part@", with the view
//      type "Tabo_part.attr". Names compare exactly (file names are case-sensitive).
//   4. For the first candidate whose view type has a rule and whose compiler starts (startCompiler
//      with the entry's full path), the compilation's result is the open's, with its codes; a
//      compiler that does not start lets the next candidate try. No candidate left: 27.
// The opened or compiled view takes the mode asked.
//
// Compiled views are kept. A view made by a compilation counts as a changed view of its cell:
// saving the view or its library writes it as a stored view, and from then on every open finds
// the stored view and never compiles again, even when the source file changed since. To compile
// again, destroy the stored view (or purge the compiled view before it is saved).
//
// Encapsulated views open the same way (openEncapsulatedView), except that only a stored
// encapsulated view counts in step 1, nothing is compiled while the option bit of a running
// schematic compilation (0x800) is set, "part.Tabo_part.attr" serves no other name, a rule is
// skipped while the cell has a design configuration named like the view (letter case ignored),
// and the compilation is compileEncapsulatedView.
//
// The general opening also clears option bit 0x800 on entry: whoever raises it while a schematic
// view is being compiled must restore it on every way out rather than rely on this.
class nyxCompilerOpen {
public:
    static nyxObjRef openNetlistView(nyxCell *cell, const char *name, cfidrAccessModeT mode,
                                     cfidrErrorT *err);
    static nyxObjRef openEncapsulatedView(nyxCell *cell, const char *name, cfidrAccessModeT mode,
                                          cfidrErrorT *err);
    // The general view opening (nyxLater.openView): returns {view, 14 or 15}.
    static nyxObjRef openView(nyxCell *cell, const char *name, cfidrAccessModeT mode,
                              cfidrErrorT *err);
};

// Start call of the session code: fills nyxLater.openView and nyxLater.registerCompiledView.
void nyxCompilerOpenInstall();
