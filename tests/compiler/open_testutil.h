// What the compile-on-open tests share: a saved library "clib" with cell "c", files written into
// cell directories, a rules file, canned compiler answers and the names of a cell's views.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cfidr.h"
#include "common/test_env.h"
#include "nyx_protocol.h"

namespace opentest {

inline std::string dir() { return nyxtest::testDirectory(); }

inline void writeFile(const std::string &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline bool exists(const std::string &path) { return std::ifstream(path).good(); }

// The answer of a compiler for one netlist view of "clib"/`cell`: status 0, an empty message
// block, then a view that holds net `net` and an input port "p" on it, compiled from `from`.
inline std::string answer(const std::string &cell, const std::string &view, const std::string &net = "a",
                          const std::string &from = "canned") {
    nyxproto::Writer w;
    w.status(0);
    w.messages({});
    w.netlistFollows();
    w.streamStart();
    w.viewRecordStart();
    w.netlistViewStart("clib", cell, view);
    const int32_t a = w.netScalar(net);
    w.portScalar("p", 1, a);
    w.netlistViewEnd();
    w.viewRecordEnd(from);
    w.streamEnd();
    return w.take();
}

// Names of the views a cell lists, in list order.
inline std::vector<std::string> viewNames(cfiOID cell) {
    cfidrErrorT e = 0;
    std::vector<std::string> names;
    cfidrIterT it = cfidrCellGetViews(cell, &e);
    for (cfiOID v = cfidrIterNextView(it, &e); v.object != 0; v = cfidrIterNextView(it, &e)) {
        names.emplace_back(cfidrNamedObjectGetName(v, &e));
    }
    cfidrIterQuit(it, &e);
    return names;
}

// A session over the current directory's libraries, with the rules file "rules" of the test
// directory. SetUp saves library "clib" with the empty cell "c"; a test writes the rules and the
// cell's files, then restart()s so that the cell is read from its directory.
struct Session : testing::Test {
    void SetUp() override {
        setenv("ZIL_NYX_LIBRARYMAP", ".", 1);
        setenv("ZIL_NYX_COMPILER_RULES", (dir() + "/rules").c_str(), 1);
        cfidrPIInit(&e);
        cfiOID lib = cfidrPICreateLib("clib", &e);
        cfidrLibCreateCell(lib, "c", &e);
        cfidrLibSave(lib, &e);
        ASSERT_EQ(e, 0);
    }
    void TearDown() override { cfidrPIQuit(&e); }

    void rules(const std::string &text) { writeFile(dir() + "/rules", text); }
    // A file of cell `cell` (made when missing) of "clib".
    void cellFile(const std::string &cell, const std::string &entry, const std::string &bytes) {
        const std::string cellDir = dir() + "/clib/" + cell;
        std::filesystem::create_directories(cellDir);
        writeFile(cellDir + "/" + entry, bytes);
    }
    void restart() {
        cfidrPIQuit(&e);
        cfidrPIInit(&e);
        ASSERT_EQ(e, 0);
    }
    cfiOID cell(const char *name = "c") {
        cfiOID lib = cfidrPIOpenLib("clib", cfidrUpdateMode, &e);
        if (e == cfidrErrLibAlreadyOpen) e = 0;
        return cfidrLibFindCellByName(lib, name, &e);
    }
    cfiOID open(const char *view, const char *cellName = "c", cfidrAccessModeT mode = cfidrReadMode) {
        return cfidrPIOpenView("clib", cellName, view, mode, &e);
    }
    // Whether `view` holds a net named `net`.
    bool hasNet(cfiOID view, const char *net) {
        cfidrErrorT ne = 0;
        return cfidrNetlistViewFindNetByName(view, net, &ne).object != 0 && ne == 0;
    }

    cfidrErrorT e = 0;
};

} // namespace opentest
