// `nyx ls [LIB [CELL]] [--json]`: the known libraries (search path and current-directory
// libraries), the cells of one library, or the stored objects of one cell, one a line as
// "kind<TAB>name", or as one JSON object. Libraries are opened read-only; nothing is written.
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "cfidr.h"
#include "command.h"
#include "json.h"
#include "nyxdr.h"
#include "options.h"

namespace {

// Names handed out by an iterator of libraries or cells, copied as they come.
std::vector<std::string> names(cfidrIterT it, cfiOID (*next)(cfidrIterT, cfidrErrorT *)) {
    cfidrErrorT err = 0;
    std::vector<std::string> all;
    for (cfiOID o = next(it, &err); o.object != 0; o = next(it, &err)) {
        all.emplace_back(cfidrNamedObjectGetName(o, &err));
    }
    cfidrIterQuit(it, &err);
    return all;
}

void printNames(const char *kind, const std::vector<std::string> &all, bool json, const char *lib) {
    if (!json) {
        for (const std::string &n : all) std::printf("%s\t%s\n", kind, n.c_str());
        return;
    }
    nyxtool::Json j(stdout);
    j.beginObject();
    if (lib != nullptr) j.key("library").value(lib);
    j.key(lib != nullptr ? "cells" : "libraries").beginArray();
    for (const std::string &n : all) j.value(n);
    j.endArray().endObject().finish();
}

int listCell(cfiOID cell, const char *lib, bool json) {
    cfidrErrorT err = 0;
    const int32_t count = nyxdrCellGetEntryCount(cell, &err);
    if (err != 0) {
        cfidrErrorT e = 0;
        std::fprintf(stderr, "nyx ls: cannot read cell %s (error %d)\n",
                     cfidrNamedObjectGetName(cell, &e), err);
        return 1;
    }
    std::vector<std::pair<std::string, std::string>> entries;
    for (int32_t i = 0; i < count; ++i) {
        // Two returned strings at once: the ring keeps ten.
        entries.emplace_back(nyxdrCellGetEntryKind(cell, i, &err), nyxdrCellGetEntryName(cell, i, &err));
    }
    if (!json) {
        for (const auto &e : entries) std::printf("%s\t%s\n", e.first.c_str(), e.second.c_str());
        return 0;
    }
    nyxtool::Json j(stdout);
    j.beginObject().key("library").value(lib).key("cell").value(cfidrNamedObjectGetName(cell, &err));
    j.key("entries").beginArray();
    for (const auto &e : entries) j.beginObject().key("kind").value(e.first).key("name").value(e.second).endObject();
    j.endArray().endObject().finish();
    return 0;
}

int runLs(int argc, char **argv) {
    const bool json = nyxtool::takeFlag(argc, argv, "--json");
    if (argc > 3) {
        std::fprintf(stderr, "usage: nyx ls [LIB [CELL]] [--json]\n");
        return 2;
    }
    cfidrErrorT err = 0;
    cfidrPIInit(&err);
    int status = 0;
    if (argc == 1) {
        printNames("library", names(cfidrPIGetLibs(&err), cfidrIterNextLib), json, nullptr);
    } else {
        cfiOID lib = cfidrPIOpenLib(argv[1], cfidrReadMode, &err);
        if (lib.object == 0) {
            std::fprintf(stderr, "nyx ls: cannot open library %s (error %d)\n", argv[1], err);
            status = 1;
        } else if (argc == 2) {
            printNames("cell", names(cfidrLibGetCells(lib, &err), cfidrIterNextCell), json, argv[1]);
        } else {
            err = 0;
            cfiOID cell = cfidrLibFindCellByName(lib, argv[2], &err);
            if (cell.object == 0) {
                std::fprintf(stderr, "nyx ls: no cell %s in library %s (error %d)\n", argv[2], argv[1], err);
                status = 1;
            } else {
                status = listCell(cell, argv[1], json);
            }
        }
    }
    cfidrPIQuit(&err);
    return status;
}

} // namespace

NYX_COMMAND("ls", "[LIB [CELL]] [--json]",
            "list libraries, the cells of a library, or a cell's stored objects", runLs);
