// `nyx ls [LIB [CELL]]`: the known libraries (search path and current-directory libraries), the
// cells of one library, or the stored objects of one cell, one a line as "kind<TAB>name".
// Libraries are opened read-only; nothing is written.
#include <cstdio>

#include "cfidr.h"
#include "command.h"
#include "dm/dm.h"

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

int listCells(nyxLib *lib) {
    for (int32_t i = 0; i < lib->cells().nitems(); ++i) {
        std::printf("cell\t%s\n", static_cast<nyxCell *>(lib->cells()[i])->nameObj());
    }
    return 0;
}

int listCell(nyxCell *cell) {
    cfidrErrorT err = 0;
    if (!cell->openObj(&err)) {
        std::fprintf(stderr, "nyx ls: cannot read cell %s (error %d)\n", cell->nameObj(), err);
        return 1;
    }
    const nyxDynArray &entries = cell->storedEntries();
    for (int32_t i = 0; i < entries.nitems(); ++i) {
        const nyxDMEntry *entry = static_cast<const nyxDMEntry *>(entries[i]);
        std::printf("%s\t%s\n", nyxDMTypes::kindName(entry->row), entry->name.getString());
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
        nyxLib *lib = nyxLib::openLib(argv[1], 1, &err);
        if (lib == nullptr) {
            std::fprintf(stderr, "nyx ls: cannot open library %s (error %d)\n", argv[1], err);
            status = 1;
        } else if (argc == 2) {
            status = listCells(lib);
        } else {
            err = 0;
            nyxCell *cell = nyxLib::findCellByName(lib, argv[2], &err);
            if (cell == nullptr) {
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
