// `nyx walk LIB CELL CONFIG [--depth N] [--nets]`: the hierarchy of a stored design
// configuration, one occurrence a line, in the order of the instance-occurrence iterator:
//
//   top 3 1                             the top occurrence: its id and level
//   inst ID LEVEL PATHNAME              each instance occurrence (level 2 descended, 4 leaf)
//   net ID PATHNAME                     --nets: the net occurrences of the top first, then
//                                       those of each descended instance right after its line
//
// --depth N keeps the instance occurrences at most N instances below the top (N >= 0). Ids and
// pathnames are the library's, so two runs over the same stored design print the same text.
// The library is opened read-only; nothing is written.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cfidr.h"
#include "command.h"
#include "nyxdr.h"
#include "nyxdw.h"
#include "options.h"

namespace {

int fail(const char *what, cfidrErrorT code) {
    cfidrErrorT e = 0;
    std::fprintf(stderr, "nyx walk: %s: %s (error %d)\n", what, nyxdwPIGetErrorText(code, &e), code);
    return 1;
}

// Takes "--depth N" out of the arguments: -1 when absent, -2 when N is not a whole number >= 0.
long takeDepth(int &argc, char **argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--depth") != 0) continue;
        long depth = -2;
        if (i + 1 < argc) {
            char *end = nullptr;
            const long v = std::strtol(argv[i + 1], &end, 10);
            if (end != argv[i + 1] && *end == '\0' && v >= 0) depth = v;
        }
        const int taken = i + 1 < argc ? 2 : 1;
        for (int k = i; k + taken < argc; ++k) argv[k] = argv[k + taken];
        argc -= taken;
        return depth;
    }
    return -1;
}

// The net occurrences of one view occurrence; false after printing the error.
bool printNets(cfiOID viewOcc) {
    cfidrErrorT e = 0;
    cfidrIterT it = nyxdwViewOccGetNetOccs(viewOcc, &e);
    for (cfiOID n = nyxdwIterNextNetOcc(it, &e); n.object != 0; n = nyxdwIterNextNetOcc(it, &e)) {
        std::printf("net %d %s\n", static_cast<int32_t>(n.object), nyxdwOccGetZILPathname(n, &e));
    }
    const cfidrErrorT stepped = e;
    nyxdwIterQuit(it, &e);
    return stepped == 0 || fail("nets", stepped) == 0;
}

// The instance occurrences of a view occurrence, each descended one followed by its net
// occurrences (--nets) and, while `below` > 0, by what lies inside it to `below` more levels:
// the iterator's order, without visiting the levels --depth leaves out. False after the error.
bool walkBelow(cfiOID viewOcc, long below, bool nets) {
    cfidrErrorT err = 0;
    cfidrIterT it = nyxdwViewOccGetInstOccs(viewOcc, &err);
    bool ok = err == 0 || fail("walk", err) == 0;
    for (cfiOID o = nyxdwIterNextInstOcc(it, &err); ok && o.object != 0; o = nyxdwIterNextInstOcc(it, &err)) {
        const int32_t level = nyxdwViewOccGetHierarchyLevel(o, &err);
        std::printf("inst %d %d %s\n", static_cast<int32_t>(o.object), level, nyxdwOccGetZILPathname(o, &err));
        if (level != nyxdwDescendedLevel) continue;
        if (nets && !printNets(o)) ok = false;
        if (ok && below > 0) ok = walkBelow(o, below - 1, nets);
    }
    if (ok && err != 0) ok = fail("walk", err) == 0;
    cfidrErrorT q = 0;
    nyxdwIterQuit(it, &q);
    return ok;
}

int walk(const char *lib, const char *cell, const char *name, long depth, bool nets) {
    cfidrErrorT err = 0;
    cfiOID config = nyxdrPIOpenDesignConfig(lib, cell, name, cfidrReadMode, &err);
    if (config.object == 0) return fail(name, err);
    const cfiOID top = nyxdwPICreateTopOcc(config, &err);
    if (err != 0) return fail(name, err);
    std::printf("top %d %d\n", static_cast<int32_t>(top.object), nyxdwViewOccGetHierarchyLevel(top, &err));
    if (nets && !printNets(top)) return 1;
    if (depth >= 0) return depth == 0 || walkBelow(top, depth - 1, nets) ? 0 : 1;
    cfidrIterT it = nyxdwTopOccGetInstOccs(top, 3, &err);
    for (cfiOID o = nyxdwIterNextInstOcc(it, &err); o.object != 0; o = nyxdwIterNextInstOcc(it, &err)) {
        const int32_t level = nyxdwViewOccGetHierarchyLevel(o, &err);
        std::printf("inst %d %d %s\n", static_cast<int32_t>(o.object), level, nyxdwOccGetZILPathname(o, &err));
        if (nets && level == nyxdwDescendedLevel && !printNets(o)) return 1;
    }
    const cfidrErrorT stepped = err;
    nyxdwIterQuit(it, &err);
    return stepped != 0 ? fail("walk", stepped) : 0;
}

int runWalk(int argc, char **argv) {
    const bool nets = nyxtool::takeFlag(argc, argv, "--nets");
    const long depth = takeDepth(argc, argv);
    if (argc != 4 || depth == -2) {
        std::fprintf(stderr, "usage: nyx walk LIB CELL CONFIG [--depth N] [--nets]\n");
        return 2;
    }
    cfidrErrorT err = 0;
    cfidrPIInit(&err);
    const int status = walk(argv[1], argv[2], argv[3], depth, nets);
    cfidrPIQuit(&err);
    return status;
}

} // namespace

NYX_COMMAND("walk", "LIB CELL CONFIG [--depth N] [--nets]", "print the occurrence hierarchy of a design configuration", runWalk);
