// Start and end, modes and the expert stack, error texts, the returned-string ring, iterators.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <new>
#include <stdexcept>
#include <string>

#include "dm/store/store.h"
#include "expr/expr.h"
#include "pi/fake_classes.h"
#include "common/modes.h"

namespace {

// A getter written the way the class getters are: a library's cells.
cfidrIterT getCells(cfiOID lib, cfidrErrorT *err) {
    return nyxpi::guardIter(err, [&](cfidrErrorT *e) {
        if (!nyxpi::checkArg(lib, nyxCodeLib, e)) return nyxpi::nullIter();
        nyxIter *it = fake::getKids(nyxpi::object<void>(lib), 0, e);
        return nyxpi::handOutIter(it, nyxIterCell, e);
    });
}

TEST(FrameSession, InitAndQuitRules) {
    cfidrErrorT e = -1;
    cfidrPIQuit(&e);  // without a prior init
    EXPECT_EQ(e, 0);
    EXPECT_EQ(nyx::session, nullptr);
    cfidrPIInit(&e);
    nyx *first = nyx::session;
    ASSERT_NE(first, nullptr);
    fake::Node *lib = fake::makeNode(nyxCodeLib, "kept");
    nyxLib::sessionList().add(lib);
    cfiOID id = fake::handOut(lib, nyxCodeLib);
    nyxdwPIInit(&e);  // a second init keeps everything
    EXPECT_EQ(e, 0);
    EXPECT_EQ(nyx::session, first);
    EXPECT_EQ(nyxLib::sessionList().nitems(), 1);
    EXPECT_EQ(cfidrObjectIsUsable(id, &e), 1);
    nyxdwPIQuit(&e);  // leaves the library initialised
    EXPECT_EQ(nyx::session, first);
    nyxLib::sessionList().clear();  // the stand-in is no real library for the release steps
    cfidrPIQuit(&e);
    EXPECT_EQ(nyx::session, nullptr);
    EXPECT_EQ(nyx::globalNYXHeap, nullptr);
    // Identifiers of an earlier initialisation are not usable in the next one.
    cfidrPIInit(&e);
    EXPECT_EQ(cfidrObjectIsNull(id, &e), 0);
    EXPECT_EQ(e, cfidrErrObjectUnusable);
    EXPECT_EQ(nyxLib::sessionList().nitems(), 0);
    // Without a global state object functions report 16, iterator functions 11.
    cfidrPIQuit(&e);
    EXPECT_EQ(cfidrObjectGetObjectType(id, &e), 0);
    EXPECT_EQ(e, cfidrErrObjectUnusable);
    EXPECT_EQ(cfidrObjectIsUsable(id, &e), 0);
    cfidrIterReset(reinterpret_cast<cfidrIterT>(uintptr_t{64}), &e);
    EXPECT_EQ(e, cfidrErrBadIterator);
    cfidrPIQuit(nullptr);  // a null error pointer is tolerated
}

// Steps of subsystems still to come, filled in as their start calls will fill them. Each records
// what it saw of the state when it ran, and fails on demand.
namespace later {
std::string trace;
bool fail = false;
void openSelectorSetFile(const char *path, const char *name) {
    if (fail) throw std::bad_alloc();
    trace += std::string("set ") + path + " " + name + "; ";
}
void terminateSvc() { trace += "svc; "; }
void stopCompilers() {
    trace += "compilers";
    if (nyxExprSessionMgr() != nullptr) trace += " expr";
    if (nyxLib::sessionList().nitems() > 0) trace += " libs";
    trace += "; ";
    if (fail) throw std::runtime_error("compiler did not stop");
}
const char *banner() { return "2.0"; }
struct Fill {
    Fill() {
        nyxLater.openSelectorSetFile = openSelectorSetFile;
        nyxLater.terminateSvc = terminateSvc;
        nyxLater.stopCompilers = stopCompilers;
        nyxLater.svcReleaseBanner = banner;
    }
    ~Fill() { nyxLater = {}; }
};
} // namespace later

TEST(FrameSession, FailingSubsystemStepsLeaveNoDanglingState) {
    later::Fill fill;
    std::fclose(std::fopen("sets.nyxSelectorSet", "w"));
    setenv("ZIL_NYX_LIBRARYMAP", ".", 1);
    cfidrErrorT e = -1;
    later::fail = true;
    cfidrPIInit(&e);  // the selector-set step runs out of memory: everything started goes again
    EXPECT_EQ(e, cfidrErrInternal);
    EXPECT_EQ(nyx::session, nullptr);
    EXPECT_EQ(nyx::globalNYXHeap, nullptr);
    EXPECT_EQ(nyxExprSessionMgr(), nullptr);
    EXPECT_EQ(later::trace, "compilers expr; ");
    later::trace.clear();
    later::fail = false;
    cfidrPIInit(&e);
    ASSERT_EQ(e, 0);
    ASSERT_NE(nyx::session, nullptr);
    EXPECT_EQ(later::trace, "set sets.nyxSelectorSet sets; ");
    later::fail = true;
    cfidrPIQuit(&e);  // the failing step does not stop the release
    later::fail = false;
    EXPECT_EQ(e, 0);
    EXPECT_EQ(nyx::session, nullptr);
    EXPECT_EQ(nyx::globalNYXHeap, nullptr);
    EXPECT_EQ(nyxExprSessionMgr(), nullptr);
}

TEST(FrameSession, LaterStepsRunInTheirPlacesOfTheRelease) {
    later::Fill fill;
    cfidrErrorT e = -1;
    // Outside schematic-compiler mode the schematic compiler's steps are skipped.
    cfidrPIInit(&e);
    EXPECT_EQ(std::string(nyxdrPIGetVersion(&e)).rfind("nyx release ", 0), 0u);
    nyxLib::sessionList().add(fake::makeNode(nyxCodeLib, "l"));
    cfidrPIQuit(&e);
    // The compilers stop while the libraries are still listed and the expression manager lives.
    EXPECT_EQ(later::trace, "compilers expr libs; ");
    later::trace.clear();
    setenv("ZIL_SVC_COMPILER", "1", 1);
    cfidrPIInit(&e);
    EXPECT_STREQ(nyxdrPIGetVersion(&e), "XA SVC  2.0");
    cfidrPIQuit(&e);
    EXPECT_EQ(later::trace, "svc; compilers expr; ");
}

TEST(FrameSession, ModesAndExpertStack) {
    cfidrErrorT e = -1;
    nyxprivPIPopExpertMode(&e);
    EXPECT_EQ(e, cfidrErrInternal);
    EXPECT_EQ(nyxdrPIGetTrustedProgramMode(&e), 0);
    EXPECT_EQ(nyxdrPIGetTrustedDataMode(&e), 0);
    nyxdrPISetTrustedDataMode(7, &e);  // any non-zero value sets the bit
    EXPECT_EQ(nyxdrPIGetTrustedDataMode(&e), 1);
    nyxprivPIPushExpertMode(&e);
    EXPECT_EQ(nyxdrPIGetTrustedProgramMode(&e), 1);
    nyxdrPISetTrustedDataMode(0, &e);
    nyxprivPIPushExpertMode(&e);
    nyxprivPIPopExpertMode(&e);
    EXPECT_EQ(e, 0);
    EXPECT_EQ(nyxdrPIGetTrustedProgramMode(&e), 1);
    EXPECT_EQ(nyxdrPIGetTrustedDataMode(&e), 0);
    nyxprivPIPopExpertMode(&e);
    EXPECT_EQ(nyxdrPIGetTrustedProgramMode(&e), 0);
    EXPECT_EQ(nyxdrPIGetTrustedDataMode(&e), 1);
    nyxprivPIPopExpertMode(&e);
    EXPECT_EQ(e, cfidrErrInternal);
    EXPECT_EQ(nyxdrPIGetTrustedDataMode(&e), 1);
    // The modes outlive a release; the stack does not.
    nyxprivPIPushExpertMode(&e);
    cfidrPIQuit(&e);
    cfidrPIInit(&e);
    EXPECT_EQ(nyxdrPIGetTrustedProgramMode(&e), 1);
    nyxprivPIPopExpertMode(&e);
    EXPECT_EQ(e, cfidrErrInternal);
    EXPECT_EQ(nyxdrPIGetTrustedProgramMode(&e), 1);
    nyxtest::clearTrustedModes();
    cfidrPIQuit(&e);
}

TEST(FrameSession, ErrorTextsAndVersion) {
    cfidrErrorT e = -1;
    EXPECT_STREQ(cfidrPIGetErrorText(0, &e), "No error occurred.");
    EXPECT_EQ(e, 0);
    EXPECT_STREQ(cfidrPIGetErrorText(cfidrErrSameCellInst, &e),
                 "The Instance would reference another view in the same cell.");
    EXPECT_STREQ(cfidrPIGetErrorText(54, &e), "");
    EXPECT_EQ(e, cfidrErrBadErrorCode);
    EXPECT_STREQ(cfidrPIGetErrorText(-1, &e), "");
    EXPECT_EQ(e, cfidrErrBadErrorCode);
    EXPECT_STREQ(cfidrPIGetErrorText(nyxdrErrBadPath, &e),
                 ""); // the extension table is not reached here
    EXPECT_EQ(e, cfidrErrBadErrorCode);
    // All 26 extension codes have texts through the walk's function, and nothing in the gaps.
    int found = 0;
    for (int code = 30000; code <= 31020; ++code) {
        const char *t = nyxdwPIGetErrorText(code, &e);
        if (e == 0) {
            ++found;
            EXPECT_STRNE(t, "") << code;
        } else {
            EXPECT_EQ(e, cfidrErrBadErrorCode) << code;
            EXPECT_STREQ(t, "");
        }
    }
    EXPECT_EQ(found, 26);
    EXPECT_STREQ(nyxdwPIGetErrorText(nyxdrErrBadPath, &e),
                 "Path is empty or contains invalid name strings.");
    EXPECT_STREQ(nyxdwPIGetErrorText(cfidrErrBadIterator, &e),
                 "The Iterator ID refers to a non-existant iterator.");
    std::string banner = nyxdrPIGetVersion(&e);
    EXPECT_EQ(banner.rfind("nyx release ", 0), 0u) << banner;
    // The heap summary names every live heap of the global state.
    nyx::getIterHeap();
    testing::internal::CaptureStderr();
    nyxprivPIPrintHeapSummary(&e);
    std::string summary = testing::internal::GetCapturedStderr();
    EXPECT_EQ(e, 0);
    EXPECT_NE(summary.find("NYX Global Object Heap"), std::string::npos) << summary;
    EXPECT_NE(summary.find("NYX Iterator Object Heap"), std::string::npos) << summary;
    cfidrPIQuit(&e);
}

TEST(FrameSession, StringRingKeepsTenCopies) {
    cfidrErrorT e = -1;
    cfidrPIInit(&e);
    const char *first = cfidrPIGetErrorText(1, &e);
    const char *copies[10] = {first};
    for (int i = 1; i < 10; ++i) copies[i] = cfidrPIGetErrorText(i + 1, &e);
    EXPECT_EQ(nyx::session->ringCount(), 10);
    long blocks = nyx::globalNYXHeap->blocksInUse();
    EXPECT_STREQ(first, "Describer Port associated with PortInst not found.");
    // The eleventh string frees the first: the heap holds no more blocks than before.
    const char *eleventh = cfidrPIGetErrorText(11, &e);
    EXPECT_EQ(nyx::globalNYXHeap->blocksInUse(), blocks);
    EXPECT_EQ(nyx::session->ringCount(), 10);
    for (int i = 1; i < 10; ++i) EXPECT_STREQ(copies[i], nyxpi::errorText(i + 1));
    EXPECT_STREQ(eleventh, "The Iterator ID refers to a non-existant iterator.");
    // Trusted program mode returns the static text itself, without a copy.
    nyxtest::setTrustedModes(true, false);
    EXPECT_EQ(cfidrPIGetErrorText(cfidrErrBadAttachMode, &e),
              cfidrPIGetErrorText(cfidrErrBadAttachMode, &e));
    nyxtest::clearTrustedModes();
    cfidrPIQuit(&e);
}

struct FrameIterators : fake::Session {};

TEST_F(FrameIterators, NullIteratorsAndKinds) {
    fake::Install rows;
    // A getter given an unusable object: 16 and a null iterator.
    cfidrIterT none = getCells({999, 2}, &e);
    EXPECT_EQ(e, cfidrErrObjectUnusable);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(none) & 1, 1u);
    cfidrIterT other = getCells({999, 2}, &e);
    EXPECT_NE(none, other);
    EXPECT_EQ(cfidrIterNextCell(none, &e).object, 0u);
    EXPECT_EQ(e, 0);
    EXPECT_EQ(cfidrIterNextProp(none, &e).object, 0u);  // any kind: exhausted at once
    EXPECT_EQ(e, 0);
    cfidrIterReset(none, &e);
    EXPECT_EQ(e, 0);
    cfidrIterQuit(none, &e);
    EXPECT_EQ(e, 0);
    cfidrIterQuit(none, &e);
    EXPECT_EQ(e, cfidrErrBadIterator);
    cfidrIterReset(none, &e);
    EXPECT_EQ(e, cfidrErrBadIterator);

    fake::Node *lib = fake::makeNode(nyxCodeLib, "lib");
    fake::Node *cell = fake::makeNode(nyxCodeCell, "c");
    lib->kids[lib->nkids++] = cell;
    cfidrIterT cells = getCells(fake::handOut(lib, nyxCodeLib), &e);
    ASSERT_EQ(e, 0);
    EXPECT_EQ(cfidrIterNextView(cells, &e).object, 0u);
    EXPECT_EQ(e, cfidrErrIterWrongType);
    EXPECT_EQ(cfidrIterNextCell(reinterpret_cast<cfidrIterT>(cell), &e).object, 0u);
    EXPECT_EQ(e, cfidrErrBadIterator);  // never handed out
    cfiOID got = cfidrIterNextCell(cells, &e);
    EXPECT_EQ(got.tag, 2u * nyxCodeCell);
    EXPECT_EQ(cfidrObjectIsUsable(got, &e), 1);  // stepping registers what it returns
    EXPECT_EQ(cfidrIterNextCell(cells, &e).object, 0u);
    cfidrIterReset(cells, &e);
    EXPECT_TRUE(cfidrObjectIsSame(cfidrIterNextCell(cells, &e), got, &e));
    cfidrIterQuit(cells, &e);
    EXPECT_EQ(e, 0);
    EXPECT_EQ(cfidrIterNextCell(cells, &e).object, 0u);
    EXPECT_EQ(e, cfidrErrBadIterator);

    // Trusted program mode: nothing is registered, a real iterator is still stepped and freed,
    // but a null iterator (never registered) cannot be quit.
    nyxtest::setTrustedModes(true, false);
    size_t registered = nyx::session->iterRegistry()->size();
    cfidrIterT fast = getCells(fake::handOut(lib, nyxCodeLib), &e);
    EXPECT_EQ(nyx::session->iterRegistry()->size(), registered);
    EXPECT_EQ(cfidrIterNextCell(fast, &e).object, got.object);
    cfidrIterQuit(fast, &e);
    EXPECT_EQ(e, 0);
    cfidrIterQuit(nyxpi::nullIter(), &e);
    EXPECT_EQ(e, cfidrErrBadIterator);
}

TEST_F(FrameIterators, SessionLists) {
    // The plain list iterator over the global state's libraries (the library family's own getter
    // also reads each library it hands out).
    cfidrIterT libs = nyxpi::handOutIter(
        nyxMakeListIter(&nyxLib::sessionList(), nyxCodeLib), nyxIterLib, &e);
    EXPECT_EQ(e, 0);
    EXPECT_EQ(cfidrIterNextLib(libs, &e).object, 0u);
    EXPECT_EQ(e, 0);
    // Objects added while the iterator runs are seen; a reset starts over.
    fake::Node *lib = fake::makeNode(nyxCodeLib, "l");
    nyxLib::sessionList().add(lib);
    cfiOID id = cfidrIterNextLib(libs, &e);
    EXPECT_EQ(id.tag, 2u);
    EXPECT_EQ(nyxpi::object<fake::Node>(id), lib);
    cfidrIterReset(libs, &e);
    EXPECT_EQ(cfidrIterNextLib(libs, &e).object, id.object);
    EXPECT_EQ(cfidrIterNextSelectorSet(libs, &e).object, 0u);
    EXPECT_EQ(e, cfidrErrIterWrongType);
    cfidrIterT sets = cfidrPIGetSelectorSets(&e);
    EXPECT_EQ(cfidrIterNextSelectorSet(sets, &e).object, 0u);
    EXPECT_EQ(e, 0);
    cfidrIterQuit(libs, &e);
    cfidrIterQuit(sets, &e);
    EXPECT_EQ(e, 0);
    nyxLib::sessionList().clear();
}

} // namespace
