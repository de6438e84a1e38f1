// A session over the current directory (ZIL_NYX_LIBRARYMAP "."), in which libraries are
// subdirectories and a configuration's file is "LIB/CELL/NAME.nyxDesignConfig", with a library
// "work" holding cells "top" (views "sch", "alt") and "other" (view "sch") saved on disk.
#pragma once

#include "selector_fixture.h"
#include "nyxdr.h"

namespace dctest {

struct ConfigSession : seltest::SelectorSession {
    cfiOID lib{}, top{}, other{}, sch{}, alt{}, otherSch{};

    void SetUp() override {
        SelectorSession::SetUp();
        lib = makeLib("work");
        top = makeCell(lib, "top");
        other = makeCell(lib, "other");
        sch = makeView(top, "sch");
        alt = makeView(top, "alt");
        otherSch = makeView(other, "sch");
        cfidrErrorT err = 0;
        cfidrLibSave(lib, &err);
        ASSERT_EQ(err, 0);
    }

    static std::string fileOf(const char *cell, const char *name) {
        return std::string("work/") + cell + "/" + name + ".nyxDesignConfig";
    }
    static nyxDesignConfig *asConfig(cfiOID id) { return nyxpi::object<nyxDesignConfig>(id); }

    cfiOID makeConfig(cfiOID cell, const char *name, cfiOID root, int32_t mode = 0) {
        cfidrErrorT err = 0;
        cfiOID config = nyxdrCellCreateDesignConfig(cell, name, root, mode, &err);
        EXPECT_EQ(err, 0) << name;
        return config;
    }
    // Ends the session, starts a new one and opens work/CELL/NAME in `mode`.
    cfiOID reopen(const char *cell, const char *name, cfidrAccessModeT mode = cfidrUpdateMode) {
        restart();
        cfidrErrorT err = 0;
        cfiOID config = nyxdrPIOpenDesignConfig("work", cell, name, mode, &err);
        EXPECT_EQ(err, 0) << name;
        return config;
    }
    cfiOID cellOf(const char *name) {
        cfidrErrorT err = 0;
        cfiOID l = cfidrPIOpenLib("work", cfidrUpdateMode, &err);
        return cfidrLibFindCellByName(l, name, &err);
    }
    int32_t countConfigs(cfiOID cell) {
        cfidrErrorT err = 0;
        cfidrIterT it = nyxdrCellGetDesignConfigs(cell, &err);
        int32_t n = 0;
        while (nyxdrIterNextDesignConfig(it, &err).object != 0) ++n;
        cfidrIterQuit(it, &err);
        return n;
    }
    // "LIB/CELL/VIEW" of a configuration's root view, or the error code.
    std::string rootOf(cfiOID config) {
        cfidrErrorT err = 0;
        cfiOID view = nyxdrDesignConfigGetRootView(config, &err);
        if (err != 0) return "error " + std::to_string(err);
        cfiOID cell = cfidrViewGetOwner(view, &err);
        cfiOID l = cfidrCellGetOwner(cell, &err);
        return std::string(cfidrNamedObjectGetName(l, &err)) + "/" + cfidrNamedObjectGetName(cell, &err) +
               "/" + cfidrNamedObjectGetName(view, &err);
    }
};

} // namespace dctest
