// `nyx import FILE.v... --lib LIB [--top MODULE] [--cells STUBS.v] [--view NAME] [--config NAME]
// [--save] [--flat]`: takes structural Verilog into a library through the library's own compile-on-open,
// so that the user writes no rules file:
//
//   1. The files are scanned for their modules; the top is --top, else the one module that no
//      other instantiates.
//   2. The library directory (LIB, relative to the working directory unless absolute) and the
//      top's cell directory are made when missing; the files, one after the other, become the
//      source LIB/TOP/VIEW.v that the compiler reads, and the stub file (--cells) is copied to
//      LIB/TOP/VIEW.stubs, where the compiler finds it in later sessions; LIB/nyxCompilers.rules names the compiler
//      for the view types "v", "vg" and "verilog", and ZIL_NYX_COMPILER_RULES points at it.
//   3. A session opens the view TOP VIEW: the compiler answers with every module below the top,
//      each a cell with a netlist view of that name. --cells reaches it as the session parameter
//      nyxvc_lib (the stub file of the leaf cells).
//   4. Cells that the design instantiates but no file defines (the leaf cells) get a view of the
//      name with their ports, from the compiler's footprints, so that the hierarchy can be walked.
//   5. It prints the counts and times as "name<TAB>value" lines; with --save it makes the design
//      configuration NAME (default "cfg") of the top and saves the library, so that later
//      sessions load the stored views and `nyx walk`/`nyx flat` see the design.
//
// The compiler is nyxvc beside the nyx program, else in the build tree's layout, else on PATH.
// The compiler's messages name the input files and their lines. A module that already has a
// stored view of that name is refused, and a failed import removes what it wrote.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "cfidr.h"
#include "command.h"
#include "import_source.h"
#include "import_session.h"
#include "nyxdr.h"
#include "options.h"

namespace {

using nyxtool::VerilogModules;

struct Args {
    std::vector<std::string> files;
    std::string lib, top, cells, view = "netlist", config = "cfg";
    bool save = false, flat = false;
};

// Takes "--name VALUE" out of the arguments; false when the flag is last (no value).
bool takeValue(int &argc, char **argv, const char *flag, std::string &value) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], flag) != 0) continue;
        if (i + 1 >= argc) return false;
        value = argv[i + 1];
        for (int k = i; k + 2 < argc; ++k) argv[k] = argv[k + 2];
        argc -= 2;
        --i;
    }
    return true;
}

bool parseArgs(int argc, char **argv, Args &a) {
    a.save = nyxtool::takeFlag(argc, argv, "--save");
    a.flat = nyxtool::takeFlag(argc, argv, "--flat");
    if (!takeValue(argc, argv, "--lib", a.lib) || !takeValue(argc, argv, "--top", a.top) ||
        !takeValue(argc, argv, "--cells", a.cells) || !takeValue(argc, argv, "--view", a.view) ||
        !takeValue(argc, argv, "--config", a.config)) {
        return false;
    }
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] == '-' && argv[i][1] != '\0') return false;
        a.files.emplace_back(argv[i]);
    }
    return !a.files.empty() && !a.lib.empty() && !a.view.empty() && !a.config.empty();
}

int fail(const std::string &what) {
    std::fprintf(stderr, "nyx import: %s\n", what.c_str());
    return 1;
}

std::string absolute(const std::string &path) {
    if (!path.empty() && path[0] == '/') return path;
    char buf[4096];
    return getcwd(buf, sizeof buf) != nullptr ? std::string(buf) + "/" + path : path;
}

// A name as the library stores it in a file name.
std::string encodeName(const std::string &name) {
    if (name == ".") return "\n";
    if (name == "..") return "\n\n";
    std::string out = name;
    for (char &c : out) {
        if (c == '/' || c == '\\') c = '\t';
    }
    return out;
}

bool executable(const std::string &path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// nyxvc beside this program (an installed bin/), in the build tree (tools/nyx beside
// compilers/nyxvc/nyxvc), else the first on PATH; "" when none is found.
std::string findCompiler() {
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n > 0) {
        std::string dir(buf, static_cast<size_t>(n));
        dir.erase(dir.rfind('/'));
        for (const std::string &c : {dir + "/nyxvc", dir + "/../compilers/nyxvc/nyxvc"}) {
            char *real = executable(c) ? ::realpath(c.c_str(), nullptr) : nullptr;
            if (real == nullptr) continue;
            const std::string found(real);
            std::free(real);
            return found;
        }
    }
    const char *path = std::getenv("PATH");
    std::string rest = path != nullptr ? path : "";
    while (!rest.empty()) {
        const size_t colon = rest.find(':');
        const std::string dir = rest.substr(0, colon);
        if (!dir.empty() && executable(dir + "/nyxvc")) return absolute(dir + "/nyxvc");
        rest = colon == std::string::npos ? "" : rest.substr(colon + 1);
    }
    return "";
}

// What the import wrote, removed again when it fails.
struct Written {
    std::string libDir, cellDir, source, stubs, rules;
    bool madeLib = false, madeCell = false;

    void undo() const {
        if (!source.empty()) ::unlink(source.c_str());
        if (!stubs.empty()) ::unlink(stubs.c_str());
        if (madeCell) ::rmdir(cellDir.c_str());
        if (madeLib) {
            ::unlink(rules.c_str());
            ::rmdir(libDir.c_str());
        }
    }
};

bool makeDirectory(const std::string &dir, bool &made, std::string &error) {
    if (::mkdir(dir.c_str(), 0777) == 0) return made = true;
    struct stat st;
    if (errno == EEXIST && ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return true;
    error = dir + ": " + std::strerror(errno);
    return false;
}

bool writeRules(const std::string &path, const std::string &compiler, std::string &error) {
    const std::string text = "# Written by nyx import: the Verilog compiler for the view types it reads.\n"
                             "v\t" + compiler + "\nvg\t" + compiler + "\nverilog\t" + compiler + "\n";
    std::FILE *f = std::fopen(path.c_str(), "w");
    const bool ok = f != nullptr && std::fwrite(text.data(), 1, text.size(), f) == text.size();
    if (f != nullptr && std::fclose(f) != 0 && ok) return error = path + ": " + std::strerror(errno), false;
    if (!ok) error = path + ": " + std::strerror(errno);
    return ok;
}

// Step 2: the library and cell directories, the source and the rules file.
bool arrange(const Args &a, const std::vector<nyxtool::FileFacts> &facts, const std::string &compiler, Written &w,
             std::vector<nyxtool::SourcePart> &parts) {
    std::string error;
    w.libDir = absolute(a.lib);
    w.cellDir = w.libDir + "/" + encodeName(a.top);
    w.rules = w.libDir + "/nyxCompilers.rules";
    const std::string source = w.cellDir + "/" + encodeName(a.view) + ".v";
    const std::string stubs = w.cellDir + "/" + encodeName(a.view) + ".stubs";
    bool ok = makeDirectory(w.libDir, w.madeLib, error) && makeDirectory(w.cellDir, w.madeCell, error) &&
              nyxtool::concatenate(a.files, facts, source, parts, error);
    if (ok) {
        w.source = source;
        ok = writeRules(w.rules, compiler, error);
    }
    // The stub file's copy beside the source, where the compiler looks when a later session
    // compiles the view; an earlier import's copy goes when this one has none.
    if (ok && !a.cells.empty()) {
        std::vector<nyxtool::SourcePart> stubParts;
        std::vector<nyxtool::FileFacts> stubFacts(1);
        stubFacts[0].endsWithNewline = true;  // copied as it is: no line end added, no lines mapped
        ok = nyxtool::concatenate({a.cells}, stubFacts, stubs, stubParts, error);
        if (ok) w.stubs = stubs;
    } else if (ok && ::unlink(stubs.c_str()) != 0 && errno != ENOENT) {
        error = stubs + ": " + std::strerror(errno);
        ok = false;
    }
    if (!ok) {
        w.undo();
        fail(error);
    }
    return ok;
}

// Step 1: every file readable, the top defined; the modules below it.
bool scan(Args &a, std::vector<std::string> &modules, std::vector<nyxtool::FileFacts> &facts) {
    VerilogModules found;
    facts.resize(a.files.size());
    for (size_t i = 0; i < a.files.size(); ++i) {
        std::string error;
        if (!nyxtool::scanFile(a.files[i], found, facts[i], error)) {
            return fail("cannot read " + a.files[i] + ": " + error), false;
        }
    }
    if (a.top.empty()) {
        const std::vector<std::string> roots = found.roots();
        if (roots.size() != 1) {
            std::string names;
            for (const std::string &r : roots) names += (names.empty() ? "" : ", ") + r;
            return fail(roots.empty() ? "no top module found (name one with --top)"
                                      : "several top modules: " + names + " (name one with --top)"),
                   false;
        }
        a.top = roots[0];
    } else if (!found.defines(a.top)) {
        return fail("module " + a.top + " is not defined in the files"), false;
    }
    modules = found.below(a.top);
    return true;
}

} // namespace

namespace {

int runImport(int argc, char **argv) {
    Args a;
    if (!parseArgs(argc, argv, a)) {
        std::fprintf(stderr, "usage: nyx import FILE.v... --lib LIB [--top MODULE] [--cells STUBS.v] "
                             "[--view NAME] [--config NAME] [--save] [--flat]\n");
        return 2;
    }
    std::vector<std::string> modules;
    std::vector<nyxtool::FileFacts> facts;
    if (!scan(a, modules, facts)) return 1;
    if (!a.cells.empty()) {
        if (::access(a.cells.c_str(), R_OK) != 0) return fail("cannot read " + a.cells + ": " + std::strerror(errno));
        a.cells = absolute(a.cells);
    }
    const std::string compiler = findCompiler();
    if (compiler.empty()) return fail("no nyxvc compiler beside nyx, in the build tree or on PATH");
    if (compiler.find_first_of(" \t\r\n") != std::string::npos) {
        return fail("the compiler's path holds a blank, which a rules file cannot name: " + compiler);
    }
    const char *map = std::getenv("ZIL_NYX_LIBRARYMAP");
    if (map != nullptr && std::strcmp(map, ".") != 0 && a.lib[0] != '/') {
        std::fprintf(stderr, "nyx import: the compiler looks for library %s in the working directory, whatever "
                     "the library map %s says\n", a.lib.c_str(), map);
    }
    Written w;
    std::vector<nyxtool::SourcePart> parts;
    if (!arrange(a, facts, compiler, w, parts)) return 1;
    setenv("ZIL_NYX_COMPILER_RULES", w.rules.c_str(), 1);
    const nyxtool::ImportRequest request{a.lib, a.top, a.view, a.cells, a.config, a.save, a.flat, modules, w.source, parts};
    const int status = nyxtool::importSession(request);
    if (status != 0) w.undo();
    return status;
}

} // namespace

NYX_COMMAND("import", "FILE.v... --lib LIB [--top MODULE] [--cells STUBS.v] [--view NAME] [--config NAME] [--save] [--flat]",
            "take structural Verilog into a library (compiled through the library's compiler rules)", runImport);
