// `nyx open LIB CELL VIEW [--save]`: opens a view by library, cell and view name as a design tool
// does (cfidrPIOpenView), so that a view with no stored file is compiled from the cell's files by
// its compiler rule, and prints it: a netlist view as `nyx dump` does, compiled-from text
// included; an encapsulated view as its view line, its key and its properties:
//
//   view LIB CELL VIEW type TYPE
//     key KEY
//     prop NAME TYPE = VALUE
//
// Without --save the library is opened read-only and nothing is written: what a compilation made
// goes with the session. With --save the library is opened for update and saved after the
// dump, so that the compiled view (and whatever else the compilation made in that library) is
// stored; later opens then read the stored view instead of compiling.
#include <cstdio>
#include <string>

#include "cfidr.h"
#include "cmd_dump.h"
#include "command.h"
#include "options.h"

namespace {

std::string copy(const char *text) { return text != nullptr ? std::string(text) : std::string(); }

// The text form of an encapsulated view (see above); 0, or the error code that stopped it.
int dumpEncapsulated(FILE *out, cfiOID view) {
    cfidrErrorT e = 0;
    const std::string type = copy(cfidrViewGetViewType(view, &e));
    if (e != 0) return e;
    const std::string key = copy(cfidrEncapsulatedViewGetKey(view, &e));
    if (e != 0) return e;
    cfiOID cell = cfidrViewGetOwner(view, &e);
    const std::string cellName = copy(cfidrNamedObjectGetName(cell, &e));
    const std::string libName = copy(cfidrNamedObjectGetName(cfidrCellGetOwner(cell, &e), &e));
    std::fprintf(out, "view %s %s %s type %s\n  key %s\n", libName.c_str(), cellName.c_str(),
                 copy(cfidrNamedObjectGetName(view, &e)).c_str(), type.c_str(), key.c_str());
    nyxtool::dumpProps(out, view, 1);
    return 0;
}

// Saves the library that holds `view`; prints why not on the standard error stream.
bool saveLibraryOf(cfiOID view, const char *libName) {
    cfidrErrorT err = 0;
    cfiOID lib = cfidrCellGetOwner(cfidrViewGetOwner(view, &err), &err);
    if (err == 0) cfidrLibSave(lib, &err);
    if (err == 0) return true;
    std::fprintf(stderr, "nyx open: cannot save library %s (error %d: %s)\n", libName, err,
                 cfidrPIGetErrorText(err, &err));
    return false;
}

int runOpen(int argc, char **argv) {
    const bool save = nyxtool::takeFlag(argc, argv, "--save");
    if (argc != 4) {
        std::fprintf(stderr, "usage: nyx open LIB CELL VIEW [--save]\n");
        return 2;
    }
    cfidrErrorT err = 0;
    cfidrPIInit(&err);
    cfiOID view = cfidrPIOpenView(argv[1], argv[2], argv[3], save ? cfidrUpdateMode : cfidrReadMode, &err);
    int status = 1;
    if (view.object == 0) {
        cfidrErrorT e = 0;
        std::fprintf(stderr, "nyx open: cannot open view %s of cell %s in library %s (error %d: %s)\n",
                     argv[3], argv[2], argv[1], err, cfidrPIGetErrorText(err, &e));
    } else {
        const bool encapsulated = cfidrObjectGetObjectType(view, &err) == cfidrEncapsulatedViewType;
        const int code = encapsulated ? dumpEncapsulated(stdout, view) : nyxtool::dumpView(stdout, view);
        if (code != 0) std::fprintf(stderr, "nyx open: cannot read view %s (error %d)\n", argv[3], code);
        status = code != 0 ? 1 : 0;
    }
    std::fflush(stdout);
    if (status == 0 && save && !saveLibraryOf(view, argv[1])) status = 1;
    cfidrPIQuit(&err);
    return status;
}

} // namespace

NYX_COMMAND("open", "LIB CELL VIEW [--save]", "open a view, compiling it when it has no stored file, and print it",
            runOpen);
