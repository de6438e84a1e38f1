// A session over the current directory (ZIL_NYX_LIBRARYMAP ".") with a library "lib" and a cell
// "top" made fresh for each test, and helpers for occurrence property sets: paths as vectors,
// a set described as text, the file of a set.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "cfidr.h"
#include "common/modes.h"
#include "config/config.h"
#include "pi/pi.h"
#include "selector_fixture.h"
#include "utils/fileio.h"

namespace occtest {

// A null-terminated array over strings (kept alive by the caller's vector).
struct Path {
    explicit Path(std::vector<std::string> names) : names_(std::move(names)) {
        for (const std::string &n : names_) ptrs_.push_back(n.c_str());
        ptrs_.push_back(nullptr);
    }
    operator const char *const *() const { return ptrs_.data(); }

private:
    std::vector<std::string> names_;
    std::vector<const char *> ptrs_;
};

inline std::vector<std::string> toVector(const char *const *path) {
    std::vector<std::string> out;
    for (; path != nullptr && *path != nullptr; ++path) out.emplace_back(*path);
    return out;
}

// Every node of a set in pre-order, one line each: kind, pathname, properties.
inline std::string describe(nyxOccPropSet *set) {
    std::string out = "set";
    seltest::describeProps(set->d_propList, out);
    out += "\n";
    cfidrErrorT err = 0;
    nyxIter *it = nyxOccPropSet::getNodes(set, 0, &err);
    for (nyxObjRef r = it->ops->next(it, &err); r.obj != nullptr; r = it->ops->next(it, &err)) {
        auto *node = static_cast<nyxOccPropNode *>(r.obj);
        out += std::to_string(r.code) + " " + nyxOccPropPath::pathname(node);
        seltest::describeProps(node->d_propList, out);
        out += "\n";
    }
    it->ops->quit(it);
    return out;
}

struct OccSession : testing::Test {
    cfidrErrorT e = 0;
    cfiOID lib{}, cell{};

    void SetUp() override {
        setenv("ZIL_NYX_LIBRARYMAP", ".", 1);
        cfidrPIInit(&e);
        ASSERT_EQ(e, 0);
        lib = cfidrPICreateLib("lib", &e);
        cell = cfidrLibCreateCell(lib, "top", &e);
        ASSERT_EQ(e, 0);
    }
    void TearDown() override {
        nyxFileIO::failOperation(0);
        nyxtest::clearTrustedModes();
        cfidrPIQuit(&e);
    }

    static nyxOccPropSet *asSet(cfiOID id) { return nyxpi::object<nyxOccPropSet>(id); }
    static std::string fileOf(const char *set) { return std::string("lib/top/") + set + ".nyxOccPropSet"; }

    // Ends the session and starts a new one, the library opened again for update.
    void restart() {
        cfidrLibSave(lib, &e);
        cfidrPIQuit(&e);
        cfidrPIInit(&e);
        lib = cfidrPIOpenLib("lib", cfidrUpdateMode, &e);
        cell = cfidrLibFindCellByName(lib, "top", &e);
        ASSERT_EQ(e, 0);
    }
    cfiOID makeSet(const char *name) {
        cfidrErrorT err = 0;
        cfiOID set = nyxdrCellCreateOccPropSet(cell, name, &err);
        EXPECT_EQ(err, 0) << name;
        return set;
    }
    std::string nameOf(cfiOID id) {
        cfidrErrorT err = 0;
        return cfidrNamedObjectGetName(id, &err);
    }
};

} // namespace occtest
