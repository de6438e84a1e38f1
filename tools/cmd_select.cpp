// `nyx select SET LIB CELL`: the view a stored selector set chooses for a cell, as
// "KIND<TAB>LIB CELL VIEW" (KIND "netlist" or "encapsulated"), or the error text and code.
// `nyx selectors SET`: a selector set as text, one object a line, in the set's orders:
//
//   set NAME
//   prop NAME TYPE = VALUE                      properties of the set, of a selector below it
//   library "LIB"
//   viewname lib "LIB" cell "CELL" view "VIEW"   view selectors in list order ("" for any)
//   viewtype lib "LIB" cell "CELL" type "TYPE"
//
// Sets are found by name through the library map; nothing is written.
#include <cstdio>
#include <string>

#include "cfidr.h"
#include "cmd_dump.h"
#include "command.h"
#include "nyxdr.h"

namespace {

std::string copy(const char *text) { return text != nullptr ? std::string(text) : std::string(); }

int fail(const char *tool, const char *what, cfidrErrorT code) {
    cfidrErrorT e = 0;
    std::fprintf(stderr, "nyx %s: %s: %s (error %d)\n", tool, what, cfidrPIGetErrorText(code, &e), code);
    return 1;
}

int select(const char *setName, const char *libName, const char *cellName) {
    cfidrErrorT err = 0;
    cfiOID set = cfidrPIOpenSelectorSet(setName, &err);
    if (err != 0) return fail("select", setName, err);
    cfiOID lib = cfidrPIOpenLib(libName, cfidrReadMode, &err);
    if (lib.object == 0) return fail("select", libName, err);
    err = 0;
    cfiOID cell = cfidrLibFindCellByName(lib, cellName, &err);
    if (err != 0) return fail("select", cellName, err);
    cfiOID view = cfidrSelectorSetSelectView(set, cell, &err);
    if (err != 0) return fail("select", setName, err);
    const int32_t type = cfidrObjectGetObjectType(view, &err);
    cfiOID owner = cfidrViewGetOwner(view, &err);
    const std::string viewName = copy(cfidrNamedObjectGetName(view, &err));
    const std::string cellOf = copy(cfidrNamedObjectGetName(owner, &err));
    const std::string libOf = copy(cfidrNamedObjectGetName(cfidrCellGetOwner(owner, &err), &err));
    std::printf("%s\t%s %s %s\n", type == cfidrEncapsulatedViewType ? "encapsulated" : "netlist", libOf.c_str(),
                cellOf.c_str(), viewName.c_str());
    return 0;
}

int describe(const char *setName) {
    cfidrErrorT err = 0;
    cfiOID set = cfidrPIOpenSelectorSet(setName, &err);
    if (err != 0) return fail("selectors", setName, err);
    cfidrIterT libs = cfidrSelectorSetGetLibrarySelectors(set, &err);
    if (err != 0) return fail("selectors", setName, err);
    std::printf("set %s\n", setName);
    nyxtool::dumpProps(stdout, set, 1);
    for (cfiOID l = cfidrIterNextLibrarySelector(libs, &err); l.object != 0;
         l = cfidrIterNextLibrarySelector(libs, &err)) {
        std::printf("  library \"%s\"\n", cfidrLibrarySelectorGetLibraryName(l, &err));
        nyxtool::dumpProps(stdout, l, 2);
    }
    cfidrIterQuit(libs, &err);
    cfidrIterT views = cfidrSelectorSetGetViewSelectors(set, &err);
    for (cfiOID v = cfidrIterNextViewSelector(views, &err); v.object != 0;
         v = cfidrIterNextViewSelector(views, &err)) {
        const bool byType = cfidrObjectGetObjectType(v, &err) == 19;
        const std::string lib = copy(byType ? cfidrViewTypeSelectorGetLibName(v, &err)
                                            : cfidrViewNameSelectorGetLibName(v, &err));
        const std::string cell = copy(byType ? cfidrViewTypeSelectorGetCellName(v, &err)
                                             : cfidrViewNameSelectorGetCellName(v, &err));
        const std::string view = copy(byType ? cfidrViewTypeSelectorGetViewType(v, &err)
                                             : cfidrViewNameSelectorGetViewName(v, &err));
        std::printf("  %s lib \"%s\" cell \"%s\" %s \"%s\"\n", byType ? "viewtype" : "viewname",
                    lib.c_str(), cell.c_str(), byType ? "type" : "view", view.c_str());
        nyxtool::dumpProps(stdout, v, 2);
    }
    cfidrIterQuit(views, &err);
    return 0;
}

int runSelect(int argc, char **argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: nyx select SET LIB CELL\n");
        return 2;
    }
    cfidrErrorT err = 0;
    cfidrPIInit(&err);
    const int status = select(argv[1], argv[2], argv[3]);
    cfidrPIQuit(&err);
    return status;
}

int runSelectors(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: nyx selectors SET\n");
        return 2;
    }
    cfidrErrorT err = 0;
    cfidrPIInit(&err);
    const int status = describe(argv[1]);
    cfidrPIQuit(&err);
    return status;
}

} // namespace

NYX_COMMAND("select", "SET LIB CELL", "print the view a selector set chooses for a cell", runSelect);
NYX_COMMAND("selectors", "SET", "print a selector set as text", runSelectors);
