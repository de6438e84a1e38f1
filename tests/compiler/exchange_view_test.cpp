// The exchange with answers that carry a netlist: orders of status, messages and netlist, the
// view asked for or another, data files of "NONE", and a compiler that fails mid-netlist.
#include <gtest/gtest.h>

#include <string>

#include "cfidr.h"
#include "compiler/netreader.h"
#include "config/config.h"
#include "nyxdr.h"
#include "pi/pi.h"
#include "compiler/process.h"
#include "nyx_protocol.h"
#include "process_testutil.h"

using namespace proctest;

namespace {

// The record stream of view `view` of L/top: one net, one port, one instance of a leaf.
std::string netlistOf(const std::string &view) {
    nyxproto::Writer w;
    w.streamStart();
    w.viewRecordStart();
    w.netlistViewStart("L", "top", view);
    int32_t net = w.netScalar("n1");
    w.footprint("L", "leaf", "V", 1);
    w.fpPortScalar("a", 1);
    w.portScalar("p", 1, net);
    w.instance(0, "i1");
    w.portInstScalar(net);
    w.netlistViewEnd();
    w.viewRecordEnd("test");
    w.streamEnd();
    return w.take();
}

const std::string kStatus0 = "#s 0\n", kMessages = "#m\nnote\n#endmsgs\n", kNetlist = "#netlist\n";

class CompilerExchangeViews : public testing::Test {
protected:
    void SetUp() override {
        cfidrErrorT e = 0;
        cfidrPIInit(&e);
        ASSERT_EQ(e, 0);
        cfidrPICreateLib("L", &e);
        ASSERT_EQ(e, 0);
        fakeEnvironment();
    }
    void TearDown() override {
        nyxCompilerIntf::stopAllCompilers();
        cfidrErrorT e = 0;
        cfidrPIQuit(&e);
        EXPECT_EQ(children().all, 0);
    }
    nyxObjRef compile(nyxCompilerRule &rule, const char *view, cfidrErrorT *e,
                      const std::string &dataPath = "unused", bool encapsulated = false) {
        *e = -1;
        return encapsulated
                   ? nyxCompilerIntf::compileEncapsulatedView(&rule, dataPath.c_str(), "L", "top", view, e)
                   : nyxCompilerIntf::compileNetlistView(&rule, dataPath.c_str(), "L", "top", view, e);
    }
    nyxObjRef canned(const std::string &bytes, const char *view, cfidrErrorT *e) {
        const std::string path = dir() + "/" + view + ".canned";
        writeFile(path, bytes);
        nyxCompilerRule none = fakeRule("canned", "NONE");
        return compile(none, view, e, path);
    }
};

TEST_F(CompilerExchangeViews, ViewIsFoundWhateverTheOrderOfTheAnswerLines) {
    const std::string n = kNetlist + netlistOf("V");
    for (const std::string &answer : {kStatus0 + kMessages + n, kMessages + n + kStatus0,
                                      n + kStatus0 + kMessages, n + kMessages + kStatus0}) {
        cfidrErrorT e;
        testing::internal::CaptureStderr();
        nyxObjRef view = canned(answer, "V", &e);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "note\n");
        EXPECT_EQ(e, 0);
        EXPECT_NE(view.obj, nullptr);
        EXPECT_EQ(view.code, 14);
    }
}

TEST_F(CompilerExchangeViews, RequestedNameUpToItsCommaFindsTheView) {
    cfidrErrorT e;
    nyxObjRef view = canned(kStatus0 + kMessages + kNetlist + netlistOf("V"), "V,suffix", &e);
    EXPECT_EQ(e, 0);
    EXPECT_NE(view.obj, nullptr);
}

TEST_F(CompilerExchangeViews, NetlistWithoutTheRequestedViewIsNotFound) {
    cfidrErrorT e;
    nyxObjRef view = canned(kStatus0 + kMessages + kNetlist + netlistOf("Other"), "V", &e);
    EXPECT_EQ(e, 27);
    EXPECT_EQ(view.obj, nullptr);
}

TEST_F(CompilerExchangeViews, ViewReadWholeIsTheResultWhateverTheStatus) {
    cfidrErrorT e;
    EXPECT_NE(canned("#s 12\n" + kMessages + kNetlist + netlistOf("V"), "V", &e).obj, nullptr);
    EXPECT_EQ(e, 0);
    // The compiler ended its output after the netlist, before any status.
    EXPECT_NE(canned(kNetlist + netlistOf("W"), "W", &e).obj, nullptr);
    EXPECT_EQ(e, 0);
}

TEST_F(CompilerExchangeViews, LongNetlistLineIsSkippedWhole) {
    cfidrErrorT e;
    const std::string line = "#netlist" + std::string(100000, 'x') + "\n";
    EXPECT_NE(canned(kStatus0 + kMessages + line + netlistOf("V"), "V", &e).obj, nullptr);
    EXPECT_EQ(e, 0);
}

TEST_F(CompilerExchangeViews, NoneCompilationsEachReadTheirOwnFile) {
    cfidrErrorT e;
    nyxObjRef a = canned(kStatus0 + kMessages + kNetlist + netlistOf("a"), "a", &e);
    EXPECT_EQ(e, 0);
    nyxObjRef b = canned(kStatus0 + kMessages + kNetlist + netlistOf("b"), "b", &e);
    EXPECT_EQ(e, 0);
    EXPECT_NE(a.obj, nullptr);
    EXPECT_NE(b.obj, nullptr);
    EXPECT_NE(a.obj, b.obj);
    nyxCompilerRule none = fakeRule("canned", "NONE");
    compile(none, "c", &e, dir() + "/c.canned");
    EXPECT_EQ(e, 4);
    EXPECT_NE(canned(kStatus0 + kMessages + kNetlist + netlistOf("c"), "c", &e).obj, nullptr);
    EXPECT_EQ(e, 0);
}

TEST_F(CompilerExchangeViews, RunningCompilerServesOneViewAfterAnother) {
    writeFile(dir() + "/V.reply", kStatus0 + kMessages + kNetlist + netlistOf("V"));
    writeFile(dir() + "/W.reply", kMessages + kStatus0 + kNetlist + netlistOf("W"));
    nyxCompilerRule rule = fakeRule();
    ASSERT_EQ(nyxCompilerIntf::startCompiler(&rule, "unused"), 0);
    cfidrErrorT e;
    for (const char *view : {"V", "W", "V"}) {
        testing::internal::CaptureStderr();
        EXPECT_NE(compile(rule, view, &e).obj, nullptr) << view;
        EXPECT_EQ(e, 0) << view;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "note\n") << view;
    }
    EXPECT_EQ(rule.proc->startCount, 1u);
}

TEST_F(CompilerExchangeViews, CompilerDyingMidNetlistLeavesNoViewAndRestarts) {
    writeFile(dir() + "/V.reply", kStatus0 + kMessages + kNetlist + netlistOf("V"));
    fakeMode("die-mid-stream");
    nyxCompilerRule rule = fakeRule();
    cfidrErrorT e;
    testing::internal::CaptureStderr();
    EXPECT_EQ(compile(rule, "V", &e).obj, nullptr);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(e, 4);
    EXPECT_FALSE(rule.proc->running);
    EXPECT_EQ(nyxCompilerNetlist::getView("L", "top", "V").obj, nullptr);
    fakeMode("");
    EXPECT_NE(compile(rule, "V", &e).obj, nullptr);
    EXPECT_EQ(e, 0);
    EXPECT_EQ(rule.proc->startCount, 2u);
}

TEST_F(CompilerExchangeViews, StaleStatusAfterANetlistDoesNotReachTheNextAnswer) {
    writeFile(dir() + "/V.reply", kStatus0 + kMessages + kNetlist + netlistOf("V"));
    fakeMode("stale-status");
    nyxCompilerRule rule = fakeRule();
    cfidrErrorT e;
    testing::internal::CaptureStderr();
    EXPECT_NE(compile(rule, "V", &e).obj, nullptr);
    EXPECT_EQ(e, 0);
    EXPECT_NE(compile(rule, "V", &e).obj, nullptr);
    EXPECT_EQ(e, 0);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("NYX: 5 stale bytes from the compiler"), std::string::npos) << said;
}

TEST_F(CompilerExchangeViews, SetsAreMarkedAsTaboWhenTheRuleViewTypeNamesTaboOrZil) {
    const std::pair<const char *, bool> cases[] = {
        {"TaboNet", true}, {"net.zIl", true}, {"tabzil", true}, {"verilog", false}, {"tab_o", false}};
    int n = 0;
    for (const auto &[viewType, tabo] : cases) {
        const std::string set = "S" + std::to_string(n++);
        nyxproto::Writer w;
        w.status(0);
        w.messages({});
        w.netlistFollows();
        w.streamStart();
        w.occPropSet(set, "L", "top", {}, {}, {});
        w.streamEnd();
        const std::string path = dir() + "/" + set + ".canned";
        writeFile(path, w.bytes());
        nyxCompilerRule none = fakeRule(viewType, "NONE");
        cfidrErrorT e;
        compile(none, "V", &e, path);
        EXPECT_EQ(e, 27) << viewType;  // a set but no view
        cfiOID cell = cfidrLibFindCellByName(cfidrPIOpenLib("L", cfidrUpdateMode, &e), "top", &e);
        cfiOID found = nyxdrCellFindOccPropSetByName(cell, set.c_str(), &e);
        ASSERT_EQ(e, 0) << viewType;
        EXPECT_EQ(nyxpi::object<nyxOccPropSet>(found)->d_fromTabo, tabo) << viewType;
    }
}

} // namespace
