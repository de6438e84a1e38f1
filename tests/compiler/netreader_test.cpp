// The record reader: round trips of every record kind, compared through the interface;
// several views per stream; replacement of compiled views; getView; compiled-from texts.
#include <gtest/gtest.h>

#include "compiler/netreader_fixture.h"
#include "config/config.h"
#include "pi/pi.h"
#include "utils/nyx.h"

namespace {

using nyxproto::Prop;
using readertest::dumpView;
using readertest::name;

// A view with every kind of record: view properties (with properties on them and an
// expression), scalar, bus and bundle nets with aliases, globals and members by reference,
// ports of the three kinds attached to nets, a footprint with a bus port and an instance whose
// port instances carry properties.
void writeTop(nyxproto::Writer &w, const char *compiledFrom = "/src/top.v") {
    w.viewRecordStart("top", "net");
    w.names({{0, 2, "width"}, {1, 5, "model"}, {2, 3, "delay"}, {3, 1, "keep"}, {4, 9, "expr"}});
    w.netlistViewStart("L", "top", "net", "myType");
    w.viewProps({Prop::Str(1, "rtl").with({Prop::Int(0, 8)}), Prop::Expr(4, "a+1"), Prop::Skipped()});
    const int32_t a = w.netScalar("a");
    w.props({Prop::Float(2, 1.5f)});
    w.alias("a_first", true);
    w.alias("a_second");
    const int32_t b = w.netScalar("b", true);
    const int32_t bus = w.netBus("d", 3, 0);
    w.netMembers(4);
    const int32_t d3 = w.netScalar("d3");
    const int32_t d2 = w.netScalar("d2");
    w.netRef(a);
    w.netRef(b);
    w.netBundle("bun");
    w.props({Prop::Bool(3, true)});
    w.netMembers(2);
    w.netRef(bus);
    w.netScalar("x");
    w.portScalar("A", 1, a);
    w.props({Prop::Bool(3, true)});
    w.portBus("P", 0, 1);
    w.portMembers(2);
    w.portScalar("P0", 2, d3);
    w.portScalar("P1", 2, d2);
    w.portBundle("Q");
    w.portMembers(1);
    w.portScalar("q", 3);
    const int32_t fp = w.footprint("L", "and2", "net", 3);
    w.fpPortScalar("i0", 1);
    w.fpPortBus("ib", 1, 0, 2);
    w.fpPortScalar("ib1", 1);
    w.fpPortScalar("ib0", 1);
    w.fpPortScalar("o", 2);
    w.instance(fp, "u1");
    w.props({Prop::Int(0, 4)});
    w.portInstScalar(a, {Prop::Str(1, "pin")});
    w.portInstGroup(nyxproto::kPortInstBus, 2);
    w.portInstScalar(d3);
    w.portInstScalar(-1);
    w.portInstScalar(b);
    w.netlistViewEnd();
    w.viewRecordEnd(compiledFrom);
}

const char *const kTopDump =
    "type myType{model:5='rtl'{width:2=8;};expr:9='a+1';}\n"
    "12:a{delay:3=1.500000;} =a_first! =a_second\n"
    "12:b!\n"
    "12:d3\n"
    "12:d2\n"
    "12:x\n"
    "10:bun{keep:1=1;} (d x )\n"
    "11:d[3,-1] (d3 d2 a b )\n"
    "5:A dir1 @a{keep:1=1;}\n"
    "4:P[0,1]\n"
    "  5:P0 dir2 @d3\n"
    "  5:P1 dir2 @d2\n"
    "3:Q\n"
    "  5:q dir3\n"
    "inst u1 of L/and2/net{width:2=4;}\n"
    "  9:i0 @a{model:5='pin';}\n"
    "  8:ib\n"
    "    9:ib1 @d3\n"
    "    9:ib0\n"
    "  9:o @b\n";

class CompilerReader : public readertest::ReaderTest {};

TEST_F(CompilerReader, EveryRecordKindRoundTripsThroughTheInterface) {
    nyxproto::Writer w;
    w.streamStart();
    writeTop(w);
    w.streamEnd();
    nyxCompilerStream::State state;
    ASSERT_EQ(read(w.bytes(), &state), 0);
    EXPECT_EQ(state, nyxCompilerStream::kGood);
    EXPECT_EQ(nyx::expertDepth(), 0);
    cfiOID v = view("L", "top", "net");
    ASSERT_FALSE(cfidrObjectIsNull(v, nullptr));
    EXPECT_EQ(dumpView(v), kTopDump);
    cfidrErrorT e = 0;
    EXPECT_STREQ(nyxprivObjectGetCompiledFrom(v, &e), "/src/top.v");
    EXPECT_EQ(e, 0);
    // A member given by reference is the net defined before, not a copy.
    cfiOID bus = cfidrNetlistViewFindNetByName(v, "d", &e);
    cfiOID third = cfidrNetBundleFindNetByPosition(bus, 2, &e);
    EXPECT_TRUE(cfidrObjectIsSame(third, cfidrNetlistViewFindNetByName(v, "a", &e), &e));
    // The library and cell were made in memory; the view is saved with its library.
    cfidrLibSave(lib("L"), &e);
    EXPECT_EQ(e, 0);
}

TEST_F(CompilerReader, SeveralViewsPerStreamAndTheLastOfARecordTakesItsText) {
    nyxproto::Writer w;
    w.streamStart();
    writeTop(w, "first");
    w.viewRecordStart();
    for (const char *v : {"v1", "v2"}) {
        w.netlistViewStart("L", "leaf", v);
        w.netScalar("n");
        w.portScalar("p", 1, 0);
        w.netlistViewEnd();
    }
    w.viewRecordEnd("second");
    w.streamEnd();
    ASSERT_EQ(read(w.bytes()), 0);
    cfidrErrorT e = 0;
    EXPECT_EQ(dumpView(view("L", "top", "net")), kTopDump);
    EXPECT_STREQ(nyxprivObjectGetCompiledFrom(view("L", "leaf", "v1"), &e), "");
    EXPECT_STREQ(nyxprivObjectGetCompiledFrom(view("L", "leaf", "v2"), &e), "second");
    EXPECT_EQ(dumpView(view("L", "leaf", "v1")), "type CFIDR_NETLISTVIEW\n12:n\n5:p dir1 @n\n");
    // Other classes have no such text.
    nyxprivObjectGetCompiledFrom(cell("L", "leaf"), &e);
    EXPECT_EQ(e, 15);
}

TEST_F(CompilerReader, GetViewCutsAtTheCommaAndFallsBackToAConfigurationsRoot) {
    nyxproto::Writer w;
    w.streamStart();
    w.viewRecordStart();
    w.netlistViewStart("L", "c", "Sch");
    w.netlistViewEnd();
    w.viewRecordEnd();
    w.designConfig("cfg", "L", "c", "L", "c", "sch", 1);
    w.streamEnd();
    ASSERT_EQ(read(w.bytes()), 0);
    nyxObjRef found = nyxCompilerNetlist::getView("L", "C", "sch,extra");
    ASSERT_NE(found.obj, nullptr);
    EXPECT_EQ(found.code, nyxCodeNetlistView);
    EXPECT_EQ(nyxCompilerNetlist::getView("L", "c", "CFG").obj, found.obj);
    EXPECT_EQ(nyxCompilerNetlist::getView("L", "c", "other").obj, nullptr);
    EXPECT_EQ(nyxCompilerNetlist::getView("nolib", "c", "sch").obj, nullptr);
}

TEST_F(CompilerReader, ConfigurationsAndSetsAreBuiltWithTheirPropertiesAndTexts) {
    nyxproto::Writer w;
    w.streamStart();
    w.viewRecordStart();
    w.names({{0, 2, "w"}});
    w.netlistViewStart("L", "top", "net");
    w.netlistViewEnd();
    w.viewRecordEnd();
    w.occPropSet("ops", "L", "top", {{"u1/u2", {Prop::Int(0, 1).named("depth")}}}, {{"u1/n", {Prop::Str(0, "x").named("kind")}}},
                 {{"u1/u\\:2:p/m", {Prop::Bool(0, true).named("pin").with({Prop::Int(0, 7)})}}},
                 {Prop::Float(0, 2.0f).named("scale")}, "ops.src");
    w.designConfig("cfg", "L", "top", "L", "top", "net", 2, {{"L", "top", "ops"}, {"L", "top", "missing"}},
                   {Prop::Str(0, "yes").named("note")}, "cfg.src");
    w.streamEnd();
    ASSERT_EQ(read(w.bytes(), nullptr, true), 0);
    cfidrErrorT e = 0;
    cfiOID c = cell("L", "top");
    cfiOID cfg = nyxdrCellFindDesignConfigByName(c, "cfg", &e);
    ASSERT_EQ(e, 0);
    EXPECT_TRUE(cfidrObjectIsSame(nyxdrDesignConfigGetRootView(cfg, &e), view("L", "top", "net"), &e));
    EXPECT_EQ(nyxdrDesignConfigGetSelectionMode(cfg, &e), 2);
    std::string out;
    readertest::dumpProps(cfg, out);
    EXPECT_EQ(out, "{note:5='yes';}");
    EXPECT_STREQ(nyxprivObjectGetCompiledFrom(cfg, &e), "cfg.src");
    cfidrIterT it = nyxdrDesignConfigGetOccPropSets(cfg, &e);
    cfiOID set = nyxdrIterNextOccPropSet(it, &e);
    EXPECT_EQ(name(set), "ops");
    EXPECT_TRUE(cfidrObjectIsNull(nyxdrIterNextOccPropSet(it, &e), &e));
    cfidrIterQuit(it, &e);

    EXPECT_STREQ(nyxprivObjectGetCompiledFrom(set, &e), "ops.src");
    out.clear();
    readertest::dumpProps(set, out);
    EXPECT_EQ(out, "{scale:3=2.000000;}");
    auto *ops = nyxpi::object<nyxOccPropSet>(set);
    EXPECT_TRUE(ops->d_fromTabo);
    const char *views[] = {"u1", "u2", nullptr};
    cfiOID occ = nyxdrOccPropSetFindViewOccPropByPath(set, views, &e);
    out.clear();
    readertest::dumpProps(occ, out);
    EXPECT_EQ(out, "{depth:2=1;}");
    const char *port[] = {"u1", "u:2", "p", nullptr};
    const char *member[] = {"m", nullptr};
    occ = nyxdrOccPropSetFindPortOccPropByPath(set, port, member, &e);
    ASSERT_EQ(e, 0);
    out.clear();
    readertest::dumpProps(occ, out);
    EXPECT_EQ(out, "{pin:1=1{w:2=7;};}");
}

TEST_F(CompilerReader, EncapsulatedViewDataBuildsItsViewBesideTheNetlistView) {
    nyxproto::Writer w;
    w.streamStart();
    w.viewRecordStart();
    w.names({{0, 5, "k"}});
    w.encapsulatedView("L", "c", "layout", "LAYOUT", "key", {Prop::Str(0, "v").with({Prop::Int(0, 1)})});
    w.netlistViewStart("L", "c", "net");
    w.netScalar("n");
    w.netlistViewEnd();
    w.viewRecordEnd("from");
    w.streamEnd();
    ASSERT_EQ(read(w.bytes()), 0);
    cfidrErrorT e = 0;
    EXPECT_STREQ(cfidrEncapsulatedViewGetKey(view("L", "c", "layout"), &e), "key");
    EXPECT_EQ(dumpView(view("L", "c", "net")), "type CFIDR_NETLISTVIEW\n12:n\n");
}

// --- Replacement ---------------------------------------------------------------------------------

std::string oneNetView(const char *net, const char *lib = "L") {
    nyxproto::Writer w;
    w.streamStart();
    w.viewRecordStart();
    w.netlistViewStart(lib, "c", "v");
    w.netScalar(net);
    w.netlistViewEnd();
    w.viewRecordEnd();
    w.streamEnd();
    return w.take();
}

TEST_F(CompilerReader, AnUneditedCompiledViewIsReplacedAndItsIdentifiersWithdrawn) {
    ASSERT_EQ(read(oneNetView("first")), 0);
    cfiOID old = view("L", "c", "v");
    cfidrErrorT e = 0;
    cfiOID oldNet = cfidrNetlistViewFindNetByName(old, "first", &e);
    ASSERT_EQ(e, 0);
    ASSERT_EQ(read(oneNetView("second")), 0);
    EXPECT_FALSE(cfidrObjectIsUsable(old, &e));
    EXPECT_FALSE(cfidrObjectIsUsable(oldNet, &e));
    EXPECT_EQ(dumpView(view("L", "c", "v")), "type CFIDR_NETLISTVIEW\n12:second\n");
}

TEST_F(CompilerReader, ViewsThatHoldWorkAreKeptAndTheRecordSkipped) {
    cfidrErrorT e = 0;
    // A view the caller made, a compiled view edited since, a compiled view saved since.
    cfiOID l = cfidrPICreateLib("M", &e);
    cfiOID c = cfidrLibCreateCell(l, "c", &e);
    cfidrCellCreateNetlistView(c, "v", &e);
    ASSERT_EQ(e, 0);
    ASSERT_EQ(read(oneNetView("n", "E")), 0);
    cfidrNetlistViewCreateNetScalar(view("E", "c", "v"), "edit", &e);
    ASSERT_EQ(read(oneNetView("n", "S")), 0);
    cfidrViewSave(view("S", "c", "v"), &e);
    ASSERT_EQ(e, 0);
    for (const char *libName : {"M", "E", "S"}) {
        const std::string before = dumpView(view(libName, "c", "v"));
        testing::internal::CaptureStderr();
        // The rest of the stream is read: a second view of the same record is built.
        nyxproto::Writer w;
        w.streamStart();
        w.viewRecordStart();
        w.netlistViewStart(libName, "c", "v");
        w.netScalar("replacement");
        w.netlistViewEnd();
        w.netlistViewStart(libName, "c", "other");
        w.netlistViewEnd();
        w.viewRecordEnd("text");
        w.streamEnd();
        EXPECT_EQ(read(w.bytes()), 0);
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  std::string("NYX: compiled view ") + libName + "/c/v not replaced\n");
        EXPECT_EQ(dumpView(view(libName, "c", "v")), before);
        EXPECT_STREQ(nyxprivObjectGetCompiledFrom(view(libName, "c", "other"), &e), "text");
    }
}

TEST_F(CompilerReader, ExistingConfigurationsAndSetsAreKept) {
    nyxproto::Writer w;
    w.streamStart();
    w.designConfig("cfg", "L", "c", "", "", "", 0, {}, {}, "one");
    w.streamEnd();
    ASSERT_EQ(read(w.bytes()), 0);
    testing::internal::CaptureStderr();
    nyxproto::Writer again;
    again.streamStart();
    again.designConfig("cfg", "L", "c", "", "", "", 1, {}, {Prop::Int(0, 1).named("p")}, "two");
    again.occPropSet("s", "L", "c", {}, {}, {});
    again.occPropSet("s", "L", "c", {{"u", {Prop::Int(0, 1).named("p")}}}, {}, {});
    again.streamEnd();
    ASSERT_EQ(read(again.bytes()), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "NYX: compiled design configuration L/c/cfg not replaced\n"
              "NYX: compiled occurrence property set L/c/s not replaced\n");
    cfidrErrorT e = 0;
    cfiOID cfg = nyxdrCellFindDesignConfigByName(cell("L", "c"), "cfg", &e);
    EXPECT_STREQ(nyxprivObjectGetCompiledFrom(cfg, &e), "one");
    EXPECT_EQ(nyxdrDesignConfigGetSelectionMode(cfg, &e), 0);
}

} // namespace
