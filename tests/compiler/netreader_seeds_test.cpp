// Streams of every record kind that seed the compiler stream's fuzz target. Each must read
// cleanly; with NYX_WRITE_COMPILER_SEEDS=DIR set the test also writes them there (the corpus in
// fuzz/corpus/compiler_stream was written so).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>

#include "compiler/netreader_fixture.h"

namespace {

using nyxproto::Prop;
using nyxproto::Writer;

std::map<std::string, std::string> seeds() {
    std::map<std::string, std::string> out;
    Writer w;
    w.streamStart();
    w.viewRecordStart();
    w.names({{0, 2, "w"}, {1, 5, "m"}, {2, 3, "f"}, {3, 9, "e"}});
    w.netlistViewStart("L", "top", "net");
    w.viewProps({Prop::Str(1, "x").with({Prop::Int(0, 1)}), Prop::Expr(3, "w+1"), Prop::Skipped()});
    w.netScalar("a");
    w.props({Prop::Float(2, 0.5f)});
    w.alias("al", true);
    w.netScalar("g", true);
    w.netBus("d", 1, 0);
    w.netMembers(2);
    w.netScalar("d1");
    w.netRef(0);
    w.netBundle("b");
    w.netMembers(1);
    w.netRef(2);
    w.portScalar("p", 1, 0);
    w.portBus("q", 0, 1);
    w.portMembers(2);
    w.portScalar("q0", 2, 3);
    w.portScalar("q1", 2);
    const int32_t fp = w.footprint("L", "leaf", "net", 2, "sym");
    w.fpPortScalar("i", 1);
    w.fpPortBundle("o", 1);
    w.fpPortScalar("o0", 2);
    w.instance(fp, "u");
    w.props({Prop::Int(0, 2)});
    w.portInstScalar(0, {Prop::Bool(0, true)});
    w.portInstGroup(nyxproto::kPortInstBundle, 1);
    w.portInstScalar(1);
    w.netlistViewEnd();
    w.encapsulatedView("L", "top", "lay", "LAYOUT", "k", {Prop::Int(0, 1)});
    w.viewRecordEnd("top.v");
    w.streamEnd();
    out["view"] = w.take();

    Writer c;
    c.streamStart();
    c.viewRecordStart();
    c.netlistViewStart("L", "c", "v");
    c.netlistViewEnd();
    c.viewRecordEnd();
    c.occPropSet("s", "L", "c", {{"u1/u2", {Prop::Int(0, 1).named("p")}}}, {{"u1/n", {Prop::Str(0, "t").named("k")}}},
                 {{"u1:p/0", {Prop::Bool(0, true).named("b")}}}, {Prop::Float(0, 1.0f).named("f")}, "s.src");
    c.designConfig("cfg", "L", "c", "L", "c", "v", 1, {{"L", "c", "s"}}, {Prop::Int(0, 3).named("n")}, "cfg.src");
    c.streamEnd();
    out["config"] = c.take();

    Writer n;
    n.streamStart();
    n.viewRecordStart();
    n.netlistViewStart("L", "c", "nets");
    for (int i = 0; i < 8; ++i) n.netScalar("n" + std::to_string(i));
    n.netBus("bus", 7, 0);
    n.netMembers(8);
    for (int i = 0; i < 8; ++i) n.netRef(i);
    n.netlistViewEnd();
    n.viewRecordEnd();
    n.streamEnd();
    out["nets"] = n.take();

    Writer t;
    t.status(0);
    t.netlistFollows();
    out["text"] = t.take() + "T";
    return out;
}

class CompilerSeeds : public readertest::ReaderTest {};

TEST_F(CompilerSeeds, SeedStreamsReadCleanly) {
    const char *dir = std::getenv("NYX_WRITE_COMPILER_SEEDS");
    for (const auto &[name, bytes] : seeds()) {
        if (name != "text") {
            EXPECT_EQ(read(bytes), 0) << name;
        }
        if (dir != nullptr) std::ofstream(std::string(dir) + "/" + name, std::ios::binary) << bytes;
        cfidrErrorT e = 0;
        cfidrPIQuit(&e);
        cfidrPIInit(&e);
    }
}

} // namespace
