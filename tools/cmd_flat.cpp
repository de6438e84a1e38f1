// `nyx flat LIB CELL CONFIG [--pins]`: the flat nets of a stored design configuration, global
// ones first, each followed by its members in the order of the member iterator:
//
//   global NAME                 a global flat net: the name of its global net
//   flat PATHNAME               another flat net: the pathname of its representative
//     net ID PATHNAME           each member net occurrence (a global net's pathname is its
//                               name alone: the id tells its occurrences apart)
//     pin ID PATHNAME           --pins: each port occurrence on it (every port and port
//                               instance, each once; the id of its instance occurrence)
//
// Ids and pathnames are the library's, so two runs over the same stored design print the same
// text. The library is opened read-only; nothing is written.
#include <cstdio>
#include <string>

#include "cfidr.h"
#include "command.h"
#include "nyxdr.h"
#include "nyxdw.h"
#include "options.h"

namespace {

int fail(const char *what, cfidrErrorT code) {
    cfidrErrorT e = 0;
    std::fprintf(stderr, "nyx flat: %s: %s (error %d)\n", what, nyxdwPIGetErrorText(code, &e), code);
    return 1;
}

// Prints "  WHAT ID PATHNAME" for each occurrence of an iterator and quits it; the step's error.
cfidrErrorT printAll(cfidrIterT it, const char *what, cfiOID (*next)(cfidrIterT, cfidrErrorT *)) {
    cfidrErrorT e = 0;
    for (cfiOID o = next(it, &e); o.object != 0; o = next(it, &e)) {
        std::printf("  %s %d %s\n", what, static_cast<int32_t>(o.object), nyxdwOccGetZILPathname(o, &e));
    }
    const cfidrErrorT stepped = e;
    nyxdwIterQuit(it, &e);
    return stepped;
}

// The heading line of a flat net: a global one by its first member's net name, another by its
// representative, the net occurrence of the same id (kind 1 in the tag's bits 1-3).
void printHeading(cfiOID flat) {
    cfidrErrorT e = 0;
    if (nyxdwFlatNetGetIsGlobal(flat, &e) != 0) {
        cfidrIterT it = nyxdwFlatNetGetNetOccs(flat, &e);
        const cfiOID first = nyxdwIterNextNetOcc(it, &e);
        std::printf("global %s\n", first.object != 0 ? cfidrNamedObjectGetName(nyxdwNetOccGetNet(first, &e), &e) : "");
        nyxdwIterQuit(it, &e);
        return;
    }
    cfiOID rep = flat;
    rep.tag = (rep.tag & ~0xeu) | (static_cast<uint32_t>(nyxdwNetOccKind) << 1);
    std::printf("flat %s\n", nyxdwOccGetZILPathname(rep, &e));
}

int flat(const char *lib, const char *cell, const char *name, bool pins) {
    cfidrErrorT err = 0;
    cfiOID config = nyxdrPIOpenDesignConfig(lib, cell, name, cfidrReadMode, &err);
    if (config.object == 0) return fail(name, err);
    const cfiOID top = nyxdwPICreateTopOcc(config, &err);
    if (err != 0) return fail(name, err);
    cfidrIterT it = nyxdwTopOccGetFlatNets(top, 3, &err);
    if (err != 0) return fail("flat nets", err);
    for (cfiOID f = nyxdwIterNextFlatNet(it, &err); f.object != 0; f = nyxdwIterNextFlatNet(it, &err)) {
        printHeading(f);
        cfidrErrorT e = 0;
        cfidrErrorT stepped = printAll(nyxdwFlatNetGetNetOccs(f, &e), "net", nyxdwIterNextNetOcc);
        if (stepped == 0 && pins) stepped = printAll(nyxdwFlatNetGetPortOccs(f, 4, &e), "pin", nyxdwIterNextPortOcc);
        if (stepped != 0 || e != 0) return fail("members", stepped != 0 ? stepped : e);
    }
    const cfidrErrorT stepped = err;
    nyxdwIterQuit(it, &err);
    return stepped != 0 ? fail("flat nets", stepped) : 0;
}

int runFlat(int argc, char **argv) {
    const bool pins = nyxtool::takeFlag(argc, argv, "--pins");
    if (argc != 4) {
        std::fprintf(stderr, "usage: nyx flat LIB CELL CONFIG [--pins]\n");
        return 2;
    }
    cfidrErrorT err = 0;
    cfidrPIInit(&err);
    const int status = flat(argv[1], argv[2], argv[3], pins);
    cfidrPIQuit(&err);
    return status;
}

} // namespace

NYX_COMMAND("flat", "LIB CELL CONFIG [--pins]", "print the flat nets of a design configuration", runFlat);
