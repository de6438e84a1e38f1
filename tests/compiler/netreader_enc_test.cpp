// Encapsulated views built by the record reader: compiled through a canned "NONE" answer by both
// compile entries, read back through the interface; a failing stream leaves none; replacement and
// keep rules; the compiled view saved with its library and read back by a new session; the seeds
// of the "NONE" fuzz target (written to NYX_WRITE_NONE_SEEDS=DIR when set; fuzz/corpus/
// compiler_none was written so).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

#include "compiler/netreader_fixture.h"
#include "pi/pi.h"
#include "process_testutil.h"

namespace {

using nyxproto::Prop;
using proctest::dir;
using proctest::fakeRule;
using proctest::writeFile;

// The stream of one encapsulated view L/top/<view>: a string with a property on it, an
// expression and a float (names by index, one entry skipped).
std::string encStream(const std::string &view, const std::string &key = "the key", bool end = true,
                      const std::string &lib = "L") {
    nyxproto::Writer w;
    w.streamStart();
    w.viewRecordStart();
    w.names({{0, 5, "model"}, {1, 2, "width"}, {2, 9, "expr"}, {3, 3, "delay"}});
    w.encapsulatedView(lib, "top", view, "LAYOUT", key,
                       {Prop::Str(0, "m1").with({Prop::Int(1, 8).with({Prop::Str(0, "deep")})}),
                        Prop::Skipped(), Prop::Expr(2, "width*2"), Prop::Float(3, 0.5f)});
    w.viewRecordEnd("ignored for encapsulated views");
    if (end) w.streamEnd();
    return w.take();
}

// A whole answer: status 0, no messages, the stream.
std::string answer(const std::string &stream) { return "#s 0\n#m\n#endmsgs\n#netlist\n" + stream; }

const char *const kProps = "{model:5='m1'{width:2=8{model:5='deep';};};expr:9='width*2';delay:3=0.500000;}";

std::string keyOf(cfiOID view) {
    cfidrErrorT e = 0;
    const std::string key = cfidrEncapsulatedViewGetKey(view, &e);
    return e == 0 ? key : "error " + std::to_string(e);
}

std::string describe(cfiOID view) {
    cfidrErrorT e = 0;
    std::string out = std::to_string(cfidrObjectGetObjectType(view, &e)) + " " + readertest::name(view) + " " +
                      cfidrViewGetViewType(view, &e) + " '" + keyOf(view) + "'";
    readertest::dumpProps(view, out);
    return e == 0 ? out : "error " + std::to_string(e);
}

class CompiledEncapsulatedView : public readertest::ReaderTest {
protected:
    // Compiles L/top/<view> through a "NONE" rule whose data file holds `answer`.
    nyxObjRef compile(const std::string &answer, const char *view, bool encapsulated, cfidrErrorT *e) {
        const std::string path = dir() + "/answer" + std::to_string(n_++);
        writeFile(path, answer);
        nyxCompilerRule none = fakeRule("LAYOUT", "NONE");
        return encapsulated ? nyxCompilerIntf::compileEncapsulatedView(&none, path.c_str(), "L", "top", view, e)
                            : nyxCompilerIntf::compileNetlistView(&none, path.c_str(), "L", "top", view, e);
    }
    int n_ = 0;
};

TEST_F(CompiledEncapsulatedView, BothCompileEntriesBuildTheViewWithKeyTypeAndProperties) {
    cfidrErrorT e = -1;
    nyxObjRef got = compile(answer(encStream("lay")), "lay", true, &e);
    ASSERT_EQ(e, 0);
    ASSERT_EQ(got.code, nyxCodeEncapsulatedView);
    cfiOID id = nyxpi::handOut(got, &e);
    EXPECT_EQ(describe(id), std::string("15 lay LAYOUT 'the key'") + kProps);
    EXPECT_TRUE(cfidrObjectIsSame(id, view("L", "top", "lay"), &e));

    // The netlist entry finds it by its whole name through getView; a name cut at a comma does
    // not name an encapsulated view.
    got = compile(answer(encStream("lay2")), "lay2", false, &e);
    ASSERT_EQ(e, 0);
    ASSERT_EQ(got.code, nyxCodeEncapsulatedView);
    EXPECT_EQ(describe(nyxpi::handOut(got, &e)), std::string("15 lay2 LAYOUT 'the key'") + kProps);
    got = compile(answer(encStream("lay3")), "lay3,x", false, &e);
    EXPECT_EQ(got.obj, nullptr);
    EXPECT_EQ(e, 27);
    EXPECT_EQ(describe(view("L", "top", "lay3")), std::string("15 lay3 LAYOUT 'the key'") + kProps);
}

TEST_F(CompiledEncapsulatedView, StreamFailingAfterTheRecordLeavesNoView) {
    cfidrErrorT e = -1;
    // Ends without its end record; then one whose second record is corrupt.
    EXPECT_EQ(compile(answer(encStream("lay", "k", false)), "lay", true, &e).obj, nullptr);
    EXPECT_EQ(e, 4);
    EXPECT_TRUE(cfidrObjectIsNull(lib("L"), &e));
    std::string bad = encStream("lay", "k", false) + "C";
    bad += std::string("\x00\x00\x00\x00\x00\x00\x00\x00", 8) + "VE" + std::string("\x01\x00\x00\x00L", 5) +
           std::string("\x00\x00\x00\x00", 4);  // an empty cell name
    EXPECT_EQ(read(bad + "Q"), cfidrErrInternal);
    EXPECT_TRUE(cfidrObjectIsNull(lib("L"), &e));
    // In a library and cell that exist, only the view goes.
    cfiOID l = cfidrPICreateLib("L", &e);
    cfidrLibCreateCell(l, "top", &e);
    ASSERT_EQ(e, 0);
    EXPECT_EQ(read(bad + "Q"), cfidrErrInternal);
    EXPECT_TRUE(cfidrObjectIsNull(view("L", "top", "lay"), &e));
    EXPECT_FALSE(cfidrObjectIsNull(cell("L", "top"), &e));
}

TEST_F(CompiledEncapsulatedView, RecordsThatMakeWhatCreationRefusesAreCorrupt) {
    nyxproto::Writer w;
    w.streamStart();
    w.viewRecordStart();
    w.encapsulatedView("L", "top", "lay", "CFIDR_NETLISTVIEW", "k");
    w.viewRecordEnd();
    w.streamEnd();
    expectCorrupt(w.bytes());
    // Two views of one name in one stream, whatever their kinds.
    nyxproto::Writer twice;
    twice.streamStart();
    twice.viewRecordStart();
    twice.netlistViewStart("L", "top", "lay");
    twice.netlistViewEnd();
    twice.encapsulatedView("L", "top", "lay", "LAYOUT", "k");
    twice.viewRecordEnd();
    twice.streamEnd();
    expectCorrupt(twice.bytes());
    cfidrErrorT e = 0;
    EXPECT_TRUE(cfidrObjectIsNull(lib("L"), &e));
}

TEST_F(CompiledEncapsulatedView, AnUneditedCompiledViewIsReplacedAndItsIdentifiersWithdrawn) {
    ASSERT_EQ(read(encStream("lay", "one")), 0);
    cfidrErrorT e = 0;
    cfiOID old = view("L", "top", "lay");
    cfiOID oldProp = cfidrObjectFindPropByName(old, "model", &e);
    ASSERT_EQ(e, 0);
    ASSERT_EQ(read(encStream("lay", "two")), 0);
    EXPECT_FALSE(cfidrObjectIsUsable(old, &e));
    EXPECT_FALSE(cfidrObjectIsUsable(oldProp, &e));
    EXPECT_EQ(keyOf(view("L", "top", "lay")), "two");
    // A compiled netlist view of the name gives way to an encapsulated one, and back.
    nyxproto::Writer w;
    w.streamStart();
    w.viewRecordStart();
    w.netlistViewStart("L", "top", "lay");
    w.netlistViewEnd();
    w.viewRecordEnd();
    w.streamEnd();
    ASSERT_EQ(read(w.bytes()), 0);
    EXPECT_EQ(cfidrObjectGetObjectType(view("L", "top", "lay"), &e), 14);
    ASSERT_EQ(read(encStream("lay", "three")), 0);
    EXPECT_EQ(keyOf(view("L", "top", "lay")), "three");
}

TEST_F(CompiledEncapsulatedView, ViewsThatHoldWorkAreKeptAndTheRecordDropped) {
    cfidrErrorT e = 0;
    // One the caller made, a compiled one whose property was edited, one given a new property,
    // one saved since.
    cfiOID made = cfidrCellCreateEncapsulatedView(cfidrLibCreateCell(cfidrPICreateLib("M", &e), "top", &e), "lay",
                                                  "LAYOUT", "mine", &e);
    ASSERT_EQ(e, 0);
    cfidrPropSetInt32Value(cfidrObjectCreateProp(made, "model", &e), 1, &e);
    for (const char *libName : {"E", "N", "S"}) {
        ASSERT_EQ(read(encStream("lay", "compiled", true, libName)), 0) << libName;
    }
    cfidrPropSetInt32Value(cfidrObjectFindPropByName(cfidrObjectFindPropByName(view("E", "top", "lay"), "model", &e),
                                                     "width", &e),
                           9, &e);
    cfidrObjectCreateProp(view("N", "top", "lay"), "new", &e);
    cfidrViewSave(view("S", "top", "lay"), &e);
    ASSERT_EQ(e, 0);
    for (const char *libName : {"M", "E", "N", "S"}) {
        const std::string before = describe(view(libName, "top", "lay"));
        testing::internal::CaptureStderr();
        EXPECT_EQ(read(encStream("lay", "again", true, libName)), 0) << libName;
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  std::string("NYX: compiled view ") + libName + "/top/lay not replaced\n");
        EXPECT_EQ(describe(view(libName, "top", "lay")), before) << libName;
    }
}

TEST_F(CompiledEncapsulatedView, SavedWithItsLibraryAndReadBackByANewSession) {
    cfidrErrorT e = -1;
    ASSERT_NE(compile(answer(encStream("lay")), "lay", true, &e).obj, nullptr);
    ASSERT_EQ(e, 0);
    cfidrLibSave(lib("L"), &e);
    ASSERT_EQ(e, 0);
    cfidrPIQuit(&e);
    cfidrPIInit(&e);
    ASSERT_EQ(e, 0);
    cfiOID l = cfidrPIOpenLib("L", cfidrReadMode, &e);
    ASSERT_EQ(e, 0);
    cfiOID v = cfidrCellFindViewByName(cfidrLibFindCellByName(l, "top", &e), "lay", &e);
    ASSERT_EQ(e, 0);
    EXPECT_EQ(describe(v), std::string("15 lay LAYOUT 'the key'") + kProps);
}

// Seeds: a mode byte (bit 0 encapsulated entry, bit 1 a fixed text part put before the rest),
// then the answer, and the result each must give.
struct Seed {
    std::string bytes;
    cfidrErrorT result;
};

std::map<std::string, Seed> noneSeeds() {
    std::map<std::string, Seed> out;
    out["enc_whole"] = {std::string(1, '\x01') + answer(encStream("v")), 0};
    out["enc_stream"] = {std::string(1, '\x03') + encStream("v"), 0};
    nyxproto::Writer n;
    n.streamStart();
    n.viewRecordStart();
    n.netlistViewStart("L", "top", "v");
    const int32_t net = n.netScalar("n");
    n.portScalar("p", 1, net);
    n.netlistViewEnd();
    n.viewRecordEnd("v.src");
    n.streamEnd();
    out["net_stream"] = {std::string(1, '\x02') + n.bytes(), 0};
    out["net_whole"] = {std::string(1, '\x00') + "#m\nsaid\n#endmsgs\n#netlist\n" + n.bytes() + "#s 0\n", 0};
    out["net_other"] = {std::string(1, '\x02') + encStream("w"), 27};
    out["none"] = {std::string(1, '\x01') + "#s 27\n#m\n#endmsgs\n#nonetlist\n", 27};
    out["cut"] = {std::string(1, '\x03') + encStream("v", "k", false), 4};
    return out;
}

TEST_F(CompiledEncapsulatedView, NoneFuzzSeedsGiveTheirResults) {
    const char *seedDir = std::getenv("NYX_WRITE_NONE_SEEDS");
    for (const auto &[name, seed] : noneSeeds()) {
        const uint8_t mode = static_cast<uint8_t>(seed.bytes[0]);
        std::string text = (mode & 2) != 0 ? ((mode & 1) != 0 ? "#s 27\n#m\n#endmsgs\n#netlist\n" : "#s 0\n#m\n#endmsgs\n#netlist\n") : "";
        text += seed.bytes.substr(1);
        cfidrErrorT e = -1;
        testing::internal::CaptureStderr();
        compile(text, "v", (mode & 1) != 0, &e);
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(e, seed.result) << name;
        if (seedDir != nullptr) std::ofstream(std::string(seedDir) + "/" + name, std::ios::binary) << seed.bytes;
        cfidrPIQuit(&e);
        cfidrPIInit(&e);
    }
}

} // namespace
