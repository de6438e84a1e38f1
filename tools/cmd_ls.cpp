// `nyx ls [LIB [CELL]]`: the known libraries (search path and current-directory libraries), the
// cells of one library, or the stored objects of one cell, one a line as "kind<TAB>name".
// Libraries are opened read-only; nothing is written.
#include <cstdio>

#include "cfidr.h"
#include "command.h"
#include "nyxdr.h"

namespace {

int listLibraries() {
    cfidrErrorT err = 0;
    cfidrIterT it = cfidrPIGetLibs(&err);
    for (cfiOID lib = cfidrIterNextLib(it, &err); lib.object != 0; lib = cfidrIterNextLib(it, &err)) {
        std::printf("library\t%s\n", cfidrNamedObjectGetName(lib, &err));
    }
    cfidrIterQuit(it, &err);
    return 0;
}

int listCells(cfiOID lib) {
    cfidrErrorT err = 0;
    cfidrIterT it = cfidrLibGetCells(lib, &err);
    for (cfiOID c = cfidrIterNextCell(it, &err); c.object != 0; c = cfidrIterNextCell(it, &err)) {
        std::printf("cell\t%s\n", cfidrNamedObjectGetName(c, &err));
    }
    cfidrIterQuit(it, &err);
    return 0;
}

int listCell(cfiOID cell) {
    cfidrErrorT err = 0;
    const int32_t count = nyxdrCellGetEntryCount(cell, &err);
    if (err != 0) {
        cfidrErrorT e = 0;
        std::fprintf(stderr, "nyx ls: cannot read cell %s (error %d)\n",
                     cfidrNamedObjectGetName(cell, &e), err);
        return 1;
    }
    for (int32_t i = 0; i < count; ++i) {
        // Two returned strings at once: the ring keeps ten.
        std::printf("%s\t%s\n", nyxdrCellGetEntryKind(cell, i, &err),
                    nyxdrCellGetEntryName(cell, i, &err));
    }
    return 0;
}

int runLs(int argc, char **argv) {
    if (argc > 3) {
        std::fprintf(stderr, "usage: nyx ls [LIB [CELL]]\n");
        return 2;
    }
    cfidrErrorT err = 0;
    cfidrPIInit(&err);
    int status = 0;
    if (argc == 1) {
        status = listLibraries();
    } else {
        cfiOID lib = cfidrPIOpenLib(argv[1], cfidrReadMode, &err);
        if (lib.object == 0) {
            std::fprintf(stderr, "nyx ls: cannot open library %s (error %d)\n", argv[1], err);
            status = 1;
        } else if (argc == 2) {
            status = listCells(lib);
        } else {
            err = 0;
            cfiOID cell = cfidrLibFindCellByName(lib, argv[2], &err);
            if (cell.object == 0) {
                std::fprintf(stderr, "nyx ls: no cell %s in library %s (error %d)\n", argv[2], argv[1], err);
                status = 1;
            } else {
                status = listCell(cell);
            }
        }
    }
    cfidrPIQuit(&err);
    return status;
}

} // namespace

NYX_COMMAND("ls", "[LIB [CELL]]", "list libraries, the cells of a library, or a cell's stored objects",
            runLs);
