// A session with one netlist view for the view file tests, and a text dump of a view's contents
// that two views can be compared by.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "cfidr.h"
#include "dm/netlist/netlist.h"
#include "io/io.h"
#include "nyxdr.h"
#include "pi/pi.h"
#include "utils/fileio.h"
#include "common/modes.h"

namespace iotest {

inline std::string readBytes(const std::string &path) {
    std::string bytes;
    EXPECT_TRUE(nyxFileIO::readFile(path, bytes));
    return bytes;
}

inline void writeBytes(const std::string &path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Everything a view holds, in order: properties (with properties on them), nets in iteration
// mode 3 with members and aliases, ports in their order.
inline void dumpProps(const nyxPropList *list, std::string &out) {
    if (nyxPropListSize(list) == 0) return;
    out += "{";
    for (int32_t i = 0; i < nyxPropListSize(list); ++i) {
        const nyxProp *p = nyxPropAt(list, static_cast<uint32_t>(i));
        if (p == nullptr) continue;
        out += std::string(p->name()) + ":" + std::to_string(p->type()) + "=";
        if (p->type() == nyxPropFloat) out += std::to_string(p->floatValue());
        else if (nyxPropTypeHasString(p->type())) out += std::string("'") + p->stringValue() + "'";
        else if (p->type() != nyxPropNone) out += std::to_string(p->intValue());
        dumpProps(nyxPropsOnProp(list, static_cast<uint32_t>(i)), out);
        out += ";";
    }
    out += "}";
}

inline void dumpNet(nyxNetlistView *v, const void *net, std::string &out) {
    const int32_t code = nyxNet::code(net);
    out += std::to_string(code) + ":" + nyxNet::name(net);
    if (code == nyxCodeNetBus) {
        auto *bus = static_cast<const nyxNetBus *>(net);
        out += "[" + std::to_string(bus->d_start) + "," + std::to_string(bus->d_step) + "]";
    }
    if (nyxNet::getGlobal(net, false) != 0) out += "!";
    dumpProps(nyxNet::props(net), out);
    for (auto *a = static_cast<const nyxNetAlias *>(v->aliasHead(net)); a != nullptr; a = a->d_next) {
        out += std::string(" alias ") + a->d_name.getString() + (a->d_global ? "!" : "");
        dumpProps(a->d_props, out);
    }
    if (code != nyxCodeNetScalar) {
        auto *g = static_cast<const nyxNetBundle *>(net);
        out += " (";
        for (int32_t i = 0; i < g->size(); ++i) dumpNet(v, g->member(i), out), out += " ";
        out += ")";
    }
}

inline void dumpPort(const nyxPort *p, std::string &out) {
    out += std::to_string(p->d_code) + ":" + p->name();
    if (p->isScalar()) {
        auto *s = static_cast<const nyxPortScalar *>(p);
        out += "/" + std::to_string(s->d_direction) + "->" + (s->net() != nullptr ? nyxNet::name(s->net()) : "-");
    }
    if (p->d_code == nyxCodePortBus) {
        auto *bus = static_cast<const nyxPortBus *>(p);
        out += "[" + std::to_string(bus->d_start) + "," + std::to_string(bus->d_step) + "]";
    }
    dumpProps(p->d_propList, out);
    if (p->isGroup()) {
        auto *g = static_cast<const nyxPortBundle *>(p);
        out += " (";
        for (int32_t i = 0; i < g->size(); ++i) dumpPort(g->member(i), out), out += " ";
        out += ")";
    }
}

inline void dumpRecordPort(const nyxFootPrintPort *p, std::string &out) {
    out += std::to_string(p->d_code) + ":" + p->name();
    if (p->d_code != nyxCodePortBundle) out += "/" + std::to_string(p->d_dirOrStart);
    if (p->d_code == nyxCodePortBus) out += "," + std::to_string(p->d_step);
    if (p->isGroup()) {
        out += "(";
        for (int32_t i = 0; i < p->d_memberCount; ++i) dumpRecordPort(&p->d_members[i], out), out += " ";
        out += ")";
    }
}

inline void dumpPortInst(const uintptr_t *w, std::string &out) {
    const int32_t code = nyxPortInst::code(w);
    out += std::to_string(code);
    if (code == nyxCodePortInstScalar) {
        const nyxNetScalar *net = nyxPortInst::net(w);
        out += std::string("->") + (net != nullptr ? nyxNet::name(net) : "-");
    } else if (code == nyxCodePortInstBus) {
        out += "[" + std::to_string(nyxPortInst::start(w)) + "," + std::to_string(nyxPortInst::step(w)) + "]";
    }
    dumpProps(nyxPortInst::props(w), out);
    if (code != nyxCodePortInstScalar) {
        out += "(";
        for (int32_t i = 0; i < nyxPortInst::size(w); ++i) dumpPortInst(nyxPortInst::member(w, i), out), out += " ";
        out += ")";
    }
}

// Instances in iteration order with their records (names, version, port tree) and port
// instances.
inline void dumpInsts(nyxNetlistView *v, std::string &out) {
    nyxInstCursor cursor;
    for (nyxInst *inst = nyxInstance::next(v, cursor); inst != nullptr; inst = nyxInstance::next(v, cursor)) {
        const nyxFootPrint *r = inst->footPrint();
        out += std::string("inst ") + inst->name() + " of " + r->libName() + "/" + r->cellName() + "/" +
               r->viewName() + "@" + std::to_string(r->d_version) + " <";
        for (int32_t i = 0; i < r->d_portCount; ++i) dumpRecordPort(&r->d_ports[i], out), out += " ";
        out += ">";
        dumpProps(inst->d_propList, out);
        for (int32_t i = 0; i < r->d_portCount; ++i) out += " ", dumpPortInst(inst->slot(i), out);
        out += "\n";
    }
}

inline std::string dumpView(nyxNetlistView *v) {
    std::string out = std::string("type ") + nyxNetlistView::getViewType(v);
    dumpProps(v->d_propList, out);
    out += "\n";
    cfidrErrorT e = 0;
    nyxIter *it = nyxNet::viewNets(v, cfidrTopLevelIterMode, &e);
    for (nyxObjRef r = it->ops->next(it, &e); r.obj != nullptr; r = it->ops->next(it, &e)) {
        dumpNet(v, r.obj, out);
        out += "\n";
    }
    it->ops->quit(it);
    for (int32_t i = 0; i < v->ports().nitems(); ++i) {
        dumpPort(static_cast<const nyxPort *>(v->ports()[i]), out);
        out += "\n";
    }
    dumpInsts(v, out);
    return out;
}

struct ViewSession : testing::Test {
    void SetUp() override {
        setenv("ZIL_NYX_LIBRARYMAP", ".", 1);
        cfidrPIInit(&e);
        lib = cfidrPICreateLib("iolib", &e);
        ASSERT_EQ(e, 0);
        cell = cfidrLibCreateCell(lib, "iocell", &e);
        ASSERT_EQ(e, 0);
        view = cfidrCellCreateNetlistView(cell, "netlist", &e);
        ASSERT_EQ(e, 0);
    }
    void TearDown() override {
        nyxtest::clearTrustedModes();
        cfidrPIQuit(&e);
    }

    static nyxNetlistView *asView(cfiOID v) { return nyxpi::object<nyxNetlistView>(v); }
    std::string filePath(const char *name = "netlist") {
        return std::string(nyxpi::object<nyxCell>(cell)->pathnameObj()) + "/" + name + ".nyxNetlistView";
    }
    // Saves the view and purges it: the cell lists it again, to be read when found.
    void saveAndPurge(cfiOID v) {
        cfidrErrorT err = -1;
        cfidrViewSave(v, &err);
        EXPECT_EQ(err, 0);
        cfidrViewPurge(v, &err);
        EXPECT_EQ(err, 0);
    }

    // Decodes `data` (copied, so that any read beyond it is caught) into a fresh view. A load
    // that fails leaves nothing half built; one that succeeds gives a valid view whose describer
    // records are all used and which can be walked and written again.
    cfidrErrorT tryDecode(const std::string &data) {
        cfidrErrorT err = 0;
        cfiOID v = cfidrCellCreateNetlistView(cell, ("t" + std::to_string(decoded++)).c_str(), &err);
        EXPECT_EQ(err, 0);
        nyxNetlistView *nv = asView(v);
        std::vector<char> copy(data.begin(), data.end());
        nyxViewIO::decode(nv, copy.data(), copy.size(), &err);
        if (err != 0) {
            EXPECT_EQ(dumpView(nv), "type " + std::string(nyxNetlistView::getViewType(nv)) + "\n");
            EXPECT_FALSE(nv->hasNet());
            EXPECT_FALSE(nyxInstance::hasInst(nv));
            EXPECT_EQ(nv->describers().nitems(), 0);
        } else {
            EXPECT_TRUE(nyxPort::isValid(nv));
            for (int32_t k = 0; k < nv->describers().nitems(); ++k)
                EXPECT_GT(static_cast<nyxFootPrint *>(nv->describers()[k])->d_useCount, 0);
            dumpView(nv);
            nyxMemorySink again;
            cfidrErrorT ignored = 0;
            nyxViewIO::encode(nv, again, &ignored);
        }
        cfidrErrorT ignored = 0;
        cfidrObjectDestroy(v, &ignored);
        return err;
    }
    // Every cut of a good file fails, the whole file loads, and random damage fails cleanly.
    void cutAndDamage(const std::string &bytes, unsigned seed) {
        for (size_t cut = 0; cut < bytes.size(); ++cut) EXPECT_NE(tryDecode(bytes.substr(0, cut)), 0) << cut;
        EXPECT_EQ(tryDecode(bytes), 0);
        std::mt19937 rng(seed);
        for (int i = 0; i < 1500; ++i) {
            std::string bad = bytes;
            const int flips = 1 + static_cast<int>(rng() % 3);
            for (int k = 0; k < flips; ++k) bad[rng() % bad.size()] ^= static_cast<char>(1 + rng() % 255);
            tryDecode(bad);
        }
    }

    cfidrErrorT e = 0;
    cfiOID lib{}, cell{}, view{};
    int decoded = 0;
};

} // namespace iotest
