// `nyx prop LIB CELL CONFIG PATH NAME`: the derived property NAME at the occurrence PATH of a
// stored design configuration, evaluated there, as one line "NAME TYPE VALUE" (TYPE boolean,
// integer, float or string; an expression's result in the type it evaluated to).
//
// PATH names the occurrence as its pathname does ("a/u0/g"; "\" escapes the next character;
// "." or "" the top): a view occurrence when the names lead to one, else a net occurrence, else a
// port occurrence. The property is looked up in merge mode 2: the configuration's occurrence
// property sets first, then the stored design. The library is opened read-only.
#include <cstdio>
#include <string>
#include <vector>

#include "cfidr.h"
#include "command.h"
#include "nyxdr.h"
#include "nyxdw.h"

namespace {

int fail(const char *what, cfidrErrorT code) {
    cfidrErrorT e = 0;
    std::fprintf(stderr, "nyx prop: %s: %s (error %d)\n", what, nyxdwPIGetErrorText(code, &e), code);
    return 1;
}

std::vector<std::string> splitPath(const std::string &path) {
    std::vector<std::string> names;
    if (path.empty() || path == ".") return names;
    std::string cur;
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '\\' && i + 1 < path.size()) cur += path[++i];
        else if (path[i] == '/') names.push_back(std::move(cur)), cur.clear();
        else cur += path[i];
    }
    names.push_back(cur);
    return names;
}

// The occurrence of a path: the top, a view, a net or a port occurrence; null with the error.
cfiOID findOcc(cfiOID top, const std::vector<std::string> &names, cfidrErrorT *err) {
    if (names.empty()) return top;
    std::vector<const char *> path;
    for (const std::string &n : names) path.push_back(n.c_str());
    path.push_back(nullptr);
    cfiOID o = nyxdwTopOccFindViewOccByPath(top, path.data(), err);
    if (o.object == 0) o = nyxdwTopOccFindNetOccByPath(top, path.data(), err);
    if (o.object == 0) o = nyxdwTopOccFindPortOccByPath(top, path.data(), nullptr, err);
    return o;
}

void printValue(const char *name, cfiOID p) {
    cfidrErrorT e = 0;
    switch (cfidrPropGetValueType(p, &e)) {
    case 1: std::printf("%s boolean %s\n", name, cfidrPropGetBooleanValue(p, &e) != 0 ? "true" : "false"); break;
    case 2: std::printf("%s integer %d\n", name, cfidrPropGetInt32Value(p, &e)); break;
    case 3: std::printf("%s float %.9g\n", name, static_cast<double>(cfidrPropGetFloat32Value(p, &e))); break;
    case 5: std::printf("%s string %s\n", name, cfidrPropGetStringValue(p, &e)); break;
    default: std::printf("%s none\n", name); break;
    }
}

int prop(char **argv) {
    cfidrErrorT err = 0;
    cfiOID config = nyxdrPIOpenDesignConfig(argv[1], argv[2], argv[3], cfidrReadMode, &err);
    if (config.object == 0) return fail(argv[3], err);
    const cfiOID top = nyxdwPICreateTopOcc(config, &err);
    if (err != 0) return fail(argv[3], err);
    const cfiOID occ = findOcc(top, splitPath(argv[4]), &err);
    if (occ.object == 0) return fail(argv[4], err);
    const cfiOID found = nyxdwOccFindDerivedPropByName(occ, argv[5], 2, &err);
    if (found.object == 0) return fail(argv[5], err);
    const cfiOID value = nyxdwPropEvaluate(found, occ, &err);
    if (value.object == 0) return fail(argv[5], err);
    printValue(argv[5], value);
    return 0;
}

int runProp(int argc, char **argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: nyx prop LIB CELL CONFIG PATH NAME\n");
        return 2;
    }
    cfidrErrorT err = 0;
    cfidrPIInit(&err);
    const int status = prop(argv);
    cfidrPIQuit(&err);
    return status;
}

} // namespace

NYX_COMMAND("prop", "LIB CELL CONFIG PATH NAME", "print a derived property at an occurrence, evaluated", runProp);
