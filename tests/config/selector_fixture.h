// A session over the current directory (ZIL_NYX_LIBRARYMAP "."), in which selector-set files are
// "NAME.nyxSelectorSet" and "NAME.nyxs1" and libraries are subdirectories, with helpers that make
// libraries, cells and views and describe a set as text.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "cfidr.h"
#include "common/modes.h"
#include "config/config.h"
#include "dm/netlist/netlist.h"
#include "io/io.h"
#include "pi/pi.h"
#include "utils/fileio.h"

namespace seltest {

inline std::string readBytes(const std::string &path) {
    std::string bytes;
    if (!nyxFileIO::readFile(path, bytes)) return "<none>";
    return bytes;
}

inline void writeBytes(const std::string &path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// A property list as text: name:type=value, properties on a property in braces.
inline void describeProps(const nyxPropList *list, std::string &out) {
    for (int32_t i = 0; i < nyxPropListSize(list); ++i) {
        const nyxProp *p = nyxPropAt(list, static_cast<uint32_t>(i));
        if (p == nullptr) continue;
        out += std::string(" ") + p->name() + ":" + std::to_string(p->type()) + "=";
        if (p->type() == nyxPropFloat) {
            char buf[64];
            std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(p->floatValue()));
            out += buf;
        } else if (nyxPropTypeHasString(p->type())) {
            out += std::string("'") + p->stringValue() + "'";
        } else if (p->type() != nyxPropNone) {
            out += std::to_string(p->intValue());
        }
        const nyxPropList *on = nyxPropsOnProp(list, static_cast<uint32_t>(i));
        if (nyxPropListSize(on) > 0) {
            out += " {";
            describeProps(on, out);
            out += " }";
        }
    }
}

// Everything a set holds, in order.
inline std::string describe(const nyxSelectorSet *set) {
    std::string out = "set";
    describeProps(set->d_propList, out);
    out += "\n";
    for (const nyxLibrarySelector *l = set->librarySelectors(); l != nullptr; l = l->d_next) {
        out += std::string("lib '") + l->d_libName.getString() + "'";
        describeProps(l->d_propList, out);
        out += "\n";
    }
    for (const nyxViewSelector *v = set->viewSelectors(); v != nullptr; v = v->d_next) {
        out += std::string(v->d_type == nyxCodeViewNameSelector ? "name" : "type") + " '" +
               v->d_libName.getString() + "' '" + v->d_cellName.getString() + "' '" +
               v->d_viewName.getString() + "'";
        describeProps(v->d_propList, out);
        out += "\n";
    }
    return out;
}

struct SelectorSession : testing::Test {
    cfidrErrorT e = 0;

    void SetUp() override {
        setenv("ZIL_NYX_LIBRARYMAP", ".", 1);
        cfidrPIInit(&e);
        ASSERT_EQ(e, 0);
    }
    void TearDown() override {
        nyxFileIO::failOperation(0);
        nyxtest::clearTrustedModes();
        cfidrPIQuit(&e);
    }

    static nyxSelectorSet *asSet(cfiOID id) { return nyxpi::object<nyxSelectorSet>(id); }
    static std::string fileOf(const char *name, bool older = false) {
        return std::string(name) + (older ? ".nyxs1" : ".nyxSelectorSet");
    }

    // Ends the session and starts a new one (nothing saved is kept in memory).
    void restart() {
        cfidrPIQuit(&e);
        cfidrPIInit(&e);
        ASSERT_EQ(e, 0);
    }

    cfiOID makeLib(const char *name) {
        cfidrErrorT err = 0;
        cfiOID lib = cfidrPICreateLib(name, &err);
        EXPECT_EQ(err, 0) << name;
        return lib;
    }
    cfiOID makeCell(cfiOID lib, const char *name) {
        cfidrErrorT err = 0;
        cfiOID cell = cfidrLibCreateCell(lib, name, &err);
        EXPECT_EQ(err, 0) << name;
        return cell;
    }
    // A netlist view of the given view type.
    cfiOID makeView(cfiOID cell, const char *name, const char *type = nullptr) {
        cfidrErrorT err = 0;
        cfiOID view = cfidrCellCreateNetlistView(cell, name, &err);
        EXPECT_EQ(err, 0) << name;
        if (type != nullptr) {
            EXPECT_TRUE(nyxNetlistView::changeViewType(nyxpi::object<nyxNetlistView>(view), type));
        }
        return view;
    }
    std::string viewName(cfiOID view) {
        cfidrErrorT err = 0;
        if (view.object == 0) return "<null>";
        const char *lib = cfidrNamedObjectGetName(
            cfidrCellGetOwner(cfidrViewGetOwner(view, &err), &err), &err);
        std::string out = lib;
        out += "/" + std::string(cfidrNamedObjectGetName(view, &err));
        return out;
    }
};

} // namespace seltest
