// The record reader against hostile streams: every fault ends the read with 4, marks the stream,
// leaves nothing the stream built and pops expert mode.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <limits>

#include "compiler/netreader_fixture.h"
#include "utils/nyx.h"

namespace {

using nyxproto::Prop;
using nyxproto::Writer;

// A stream of one view L/c/v whose data `body` writes (after the name table), with or without
// the end record.
std::string viewStream(const std::function<void(Writer &)> &body, bool end = true) {
    Writer w;
    w.streamStart();
    w.viewRecordStart();
    w.names({{0, 2, "i"}, {1, 3, "f"}});
    w.netlistViewStart("L", "c", "v");
    body(w);
    w.netlistViewEnd();
    w.viewRecordEnd();
    if (end) w.streamEnd();
    return w.take();
}

class CompilerReaderFaults : public readertest::ReaderTest {
protected:
    // The fault leaves no library L behind (the stream made it).
    void expectCorruptAndGone(const std::string &bytes) {
        expectCorrupt(bytes);
        EXPECT_TRUE(cfidrObjectIsNull(lib("L"), nullptr));
        EXPECT_EQ(nyx::expertDepth(), 0);
    }
};

TEST_F(CompilerReaderFaults, IndicesNameOnlyEntriesDefinedBefore) {
    // A port on a net not defined yet, on a bus, on -2; a port instance on a net out of range.
    expectCorruptAndGone(viewStream([](Writer &w) { w.portScalar("p", 1, 0); w.netScalar("n"); }));
    expectCorruptAndGone(viewStream([](Writer &w) { w.netBus("b", 0, 0); w.netMembers(0); w.portScalar("p", 1, 0); }));
    expectCorruptAndGone(viewStream([](Writer &w) { w.netScalar("n"); w.portScalar("p", 1, -2); }));
    expectCorruptAndGone(viewStream([](Writer &w) {
        w.footprint("L", "leaf", "v", 1);
        w.fpPortScalar("a", 1);
        w.instance(0, "u");
        w.portInstScalar(3);
    }));
    // An instance of a footprint not read yet; a member reference at the top level.
    expectCorruptAndGone(viewStream([](Writer &w) { w.instance(0, "u"); }));
    expectCorruptAndGone(viewStream([](Writer &w) { w.netScalar("n"); w.netRef(0); }));
    // A property name index beyond the table, and one the table does not hold.
    expectCorruptAndGone(viewStream([](Writer &w) { w.viewProps({Prop::Int(2, 1)}); }));
    Writer w;
    w.streamStart();
    w.viewRecordStart();
    w.names({{0, 2, "i"}, {2, 2, "k"}});  // index 1 is left empty
    w.netlistViewStart("L", "c", "v");
    w.viewProps({Prop::Int(1, 1)});
    w.netlistViewEnd();
    w.viewRecordEnd();
    w.streamEnd();
    expectCorruptAndGone(w.bytes());
}

TEST_F(CompilerReaderFaults, ValueTypesOutsideTheKnownOnesAreCorrupt) {
    for (int32_t type : {6, 7, 8, 10, -1, 1000}) {
        Prop p = Prop::Int(0, 1);
        p.type = type;
        expectCorruptAndGone(viewStream([&](Writer &w) { w.viewProps({p}); }));
    }
    // Types 0 (none) and 4 (deleted) carry no value.
    Prop none = Prop::Int(0, 0);
    none.type = 0;
    Prop deleted = Prop::Int(1, 0);
    deleted.type = 4;
    EXPECT_EQ(read(viewStream([&](Writer &w) { w.viewProps({none, deleted}); })), 0);
}

TEST_F(CompilerReaderFaults, FloatsThatAreNotFiniteSkipOnlyTheirProperty) {
    testing::internal::CaptureStderr();
    const std::string bytes = viewStream([](Writer &w) {
        w.viewProps({Prop::Float(1, std::numeric_limits<float>::quiet_NaN()).with({Prop::Int(0, 3)}), Prop::Int(0, 2)});
        w.netScalar("n");
        w.props({Prop::Float(1, std::numeric_limits<float>::infinity())});
    });
    ASSERT_EQ(read(bytes), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "NYX: property f skipped: its float is not finite\nNYX: property f skipped: its float is not finite\n");
    EXPECT_EQ(readertest::dumpView(view("L", "c", "v")), "type CFIDR_NETLISTVIEW{i:2=2;}\n12:n\n");
}

TEST_F(CompilerReaderFaults, NamesFollowTheNameRuleAndAreUniqueInTheirSpace) {
    for (const char *bad : {"", "a\nb", "tab\there", "\x80hi"}) {
        expectCorruptAndGone(viewStream([&](Writer &w) { w.netScalar(bad); }));
    }
    Writer w;
    w.streamStart();
    w.viewRecordStart();
    w.netlistViewStart("L", "bad\x01", "v");
    w.netlistViewEnd();
    w.viewRecordEnd();
    w.streamEnd();
    expectCorruptAndGone(w.bytes());
    // Nets and aliases share a name space; ports are unique per owner; instances per view;
    // properties per owner; one stream names a view once.
    expectCorruptAndGone(viewStream([](Writer &w) { w.netScalar("n"); w.netScalar("n"); }));
    expectCorruptAndGone(viewStream([](Writer &w) { w.netScalar("n"); w.netScalar("m"); w.alias("n"); }));
    expectCorruptAndGone(viewStream([](Writer &w) { w.netScalar("m"); w.alias("n"); w.netScalar("n"); }));
    expectCorruptAndGone(viewStream([](Writer &w) { w.portScalar("p", 1); w.portScalar("p", 2); }));
    expectCorruptAndGone(viewStream([](Writer &w) {
        w.portBundle("g");
        w.portMembers(2);
        w.portScalar("p", 1);
        w.portScalar("p", 1);
    }));
    expectCorruptAndGone(viewStream([](Writer &w) {
        w.footprint("L", "leaf", "v", 0);
        w.instance(0, "u");
        w.instance(0, "u");
    }));
    expectCorruptAndGone(viewStream([](Writer &w) { w.viewProps({Prop::Int(0, 1), Prop::Str(0, "again")}); }));
    expectCorruptAndGone(viewStream([](Writer &w) {
        w.viewProps({Prop::Int(0, 1)});
        w.viewProps({Prop::Int(0, 2)});
    }));
    expectCorruptAndGone(viewStream([](Writer &w) { w.viewProps({Prop::Int(0, 1).with({Prop::Int(1, 1), Prop::Int(1, 2)})}); }));
    // Ports of different owners may share a name.
    EXPECT_EQ(read(viewStream([](Writer &w) {
                  w.portScalar("p", 1);
                  w.portBundle("g");
                  w.portMembers(1);
                  w.portScalar("p", 1);
              })),
              0);
}

TEST_F(CompilerReaderFaults, TheSameViewTwiceInOneStreamIsCorrupt) {
    Writer w;
    w.streamStart();
    w.viewRecordStart();
    w.netlistViewStart("L", "c", "v");
    w.netlistViewEnd();
    w.netlistViewStart("L", "c", "V");
    w.netlistViewEnd();
    w.viewRecordEnd();
    w.streamEnd();
    expectCorruptAndGone(w.bytes());
}

TEST_F(CompilerReaderFaults, AFootprintOfTheViewBeingBuiltIsCorrupt) {
    expectCorruptAndGone(viewStream([](Writer &w) { w.footprint("l", "C", "v", 0); }));
}

TEST_F(CompilerReaderFaults, GroupsNeverContainThemselves) {
    // A bus naming its own index; a bundle naming the bundle that holds it.
    expectCorruptAndGone(viewStream([](Writer &w) {
        w.netBus("b", 0, 1);
        w.netMembers(1);
        w.netRef(0);
    }));
    expectCorruptAndGone(viewStream([](Writer &w) {
        w.netBundle("outer");
        w.netMembers(1);
        w.netBundle("inner");
        w.netMembers(1);
        w.netRef(0);
    }));
    // A group finished before may be a member, even twice.
    EXPECT_EQ(read(viewStream([](Writer &w) {
                  w.netBundle("inner");
                  w.netMembers(0);
                  w.netBundle("outer");
                  w.netMembers(2);
                  w.netRef(0);
                  w.netRef(0);
              })),
              0);
}

// Net bundles nested `depth` deep (the innermost holds a scalar).
std::string nestedNets(int depth) {
    return viewStream([&](Writer &w) {
        for (int i = 0; i < depth; ++i) {
            w.netBundle("g" + std::to_string(i));
            w.netMembers(1);
        }
        w.netScalar("leaf");
    });
}

TEST_F(CompilerReaderFaults, NestingStopsAtTwoHundred) {
    EXPECT_EQ(read(nestedNets(nyxCompilerNetlist::kMaxNesting)), 0);
    cfidrErrorT e = 0;
    cfidrLibPurge(lib("L"), &e);
    expectCorruptAndGone(nestedNets(nyxCompilerNetlist::kMaxNesting + 1));
    // References cannot stack groups deeper than definitions can.
    expectCorruptAndGone(viewStream([](Writer &w) {
        for (int i = 0; i < nyxCompilerNetlist::kMaxNesting; ++i) {
            w.netBundle("g" + std::to_string(i));
            w.netMembers(1);
        }
        w.netScalar("leaf");
        w.netBundle("top");
        w.netMembers(1);
        w.netRef(0);
    }));
    // Ports, footprint ports and properties on properties.
    expectCorruptAndGone(viewStream([](Writer &w) {
        for (int i = 0; i <= nyxCompilerNetlist::kMaxNesting; ++i) {
            w.portBundle("p");
            w.portMembers(1);
        }
        w.portScalar("leaf", 1);
    }));
    expectCorruptAndGone(viewStream([](Writer &w) {
        w.footprint("L", "leaf", "v", 1);
        for (int i = 0; i <= nyxCompilerNetlist::kMaxNesting; ++i) w.fpPortBundle("p", 1);
        w.fpPortScalar("leaf", 1);
    }));
    Prop deep = Prop::Int(0, 0);
    for (int i = 0; i <= nyxCompilerNetlist::kMaxNesting; ++i) deep = Prop::Int(0, i).with({deep});
    expectCorruptAndGone(viewStream([&](Writer &w) { w.viewProps({deep}); }));
}

TEST_F(CompilerReaderFaults, AHugeCountFollowedByTheEndStopsAtOnce) {
    for (int kind = 0; kind < 4; ++kind) {
        Writer w;
        w.streamStart();
        w.viewRecordStart();
        w.netlistViewStart("L", "c", "v");
        switch (kind) {
        case 0: w.netBus("b", 0, 1); w.netMembers(INT32_MAX); break;
        case 1: w.portBundle("p"); w.portMembers(INT32_MAX); break;
        case 2: w.ty(0); w.i32(INT32_MAX); break;  // the view's properties
        default: w.ch(0); break;
        }
        const auto start = std::chrono::steady_clock::now();
        nyxCompilerStream::State state;
        EXPECT_EQ(read(w.bytes(), &state), cfidrErrInternal);
        EXPECT_EQ(state, nyxCompilerStream::kEnd);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
        EXPECT_TRUE(cfidrObjectIsNull(lib("L"), nullptr));
    }
}

TEST_F(CompilerReaderFaults, DeclaredFootprintPortsStayWithinTheBudget) {
    // Each footprint declares the most a record may hold and then ends: the budget of ports
    // declared and not read ends the read before memory does.
    expectCorruptAndGone(viewStream([](Writer &w) {
        w.footprint("L", "a", "v", 1 << 20);
        w.fpPortBus("b", 0, 1, 1 << 20);
        w.fpPortBus("c", 0, 1, 1 << 20);
    }));
    expectCorruptAndGone(viewStream([](Writer &w) { w.footprint("L", "a", "v", (1 << 20) + 1); }));
}

TEST_F(CompilerReaderFaults, EveryTruncationFailsFastAndLeavesNothing) {
    nyxproto::Writer w;
    w.streamStart();
    w.viewRecordStart();
    w.names({{0, 2, "i"}, {1, 5, "s"}});
    w.netlistViewStart("L", "c", "v");
    w.viewProps({Prop::Str(1, "x").with({Prop::Int(0, 1)})});
    w.netScalar("a");
    w.alias("b");
    w.netBus("d", 1, 0);
    w.netMembers(2);
    w.netRef(0);
    w.netScalar("e");
    w.portScalar("p", 1, 0);
    w.footprint("L", "leaf", "v", 2);
    w.fpPortScalar("x", 1);
    w.fpPortBus("y", 0, 0, 1);
    w.fpPortScalar("y0", 1);
    w.instance(0, "u");
    w.portInstScalar(0, {Prop::Int(0, 3)});
    w.portInstGroup(nyxproto::kPortInstBus, 1);
    w.portInstScalar(2);
    w.netlistViewEnd();
    w.viewRecordEnd("src");
    w.occPropSet("s", "L", "c", {{"u", {Prop::Int(0, 1).named("p")}}}, {}, {{"u:x", {}}});
    w.designConfig("cfg", "L", "c", "L", "c", "v", 0, {{"L", "c", "s"}});
    w.streamEnd();
    const std::string full = w.take();
    const auto start = std::chrono::steady_clock::now();
    for (size_t n = 0; n < full.size(); ++n) {
        nyxCompilerStream::State state;
        ASSERT_EQ(read(full.substr(0, n), &state), cfidrErrInternal) << n;
        ASSERT_EQ(state, nyxCompilerStream::kEnd) << n;
        ASSERT_TRUE(cfidrObjectIsNull(lib("L"), nullptr)) << n;
        ASSERT_EQ(nyx::expertDepth(), 0);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    ASSERT_EQ(read(full), 0);
}

TEST_F(CompilerReaderFaults, AFailureKeepsWhatWasThereBefore) {
    cfidrErrorT e = 0;
    cfiOID l = cfidrPICreateLib("L", &e);
    cfiOID c = cfidrLibCreateCell(l, "c", &e);
    ASSERT_EQ(e, 0);
    expectCorrupt(viewStream([](Writer &w) { w.netScalar("n"); w.netScalar("n"); }));
    EXPECT_TRUE(cfidrObjectIsUsable(l, &e));
    EXPECT_TRUE(cfidrObjectIsUsable(c, &e));
    EXPECT_TRUE(cfidrObjectIsNull(view("L", "c", "v"), &e));
}

TEST_F(CompilerReaderFaults, StreamShapeFaults) {
    // Not beginning with T; without its end record; an unknown net or port kind.
    EXPECT_EQ(read("X"), cfidrErrInternal);
    EXPECT_EQ(read(""), cfidrErrInternal);
    nyxCompilerStream::State state;
    EXPECT_EQ(read(viewStream([](Writer &w) { w.netScalar("n"); }, false), &state), cfidrErrInternal);
    EXPECT_EQ(state, nyxCompilerStream::kEnd);
    EXPECT_TRUE(cfidrObjectIsNull(lib("L"), nullptr));
    expectCorruptAndGone(viewStream([](Writer &w) { w.ty(3); w.i32(0); w.ot(99); w.str("n"); }));
    expectCorruptAndGone(viewStream([](Writer &w) { w.ty(4); w.ot(6); w.str("p"); }));
    // Directions outside 0-3, a selection mode outside 0-2, a compiled-from with a newline.
    expectCorruptAndGone(viewStream([](Writer &w) { w.portScalar("p", 4); }));
    Writer d;
    d.streamStart();
    d.designConfig("cfg", "L", "c", "", "", "", 3);
    d.streamEnd();
    expectCorruptAndGone(d.bytes());
    Writer t;
    t.streamStart();
    t.viewRecordStart();
    t.netlistViewStart("L", "c", "v");
    t.netlistViewEnd();
    t.viewRecordEnd("two\nlines");
    t.streamEnd();
    expectCorruptAndGone(t.bytes());
    // A library made by a record is a plain name, never a path.
    Writer p;
    p.streamStart();
    p.designConfig("cfg", "../elsewhere", "c", "", "", "", 0);
    p.streamEnd();
    expectCorrupt(p.bytes());
}

} // namespace
