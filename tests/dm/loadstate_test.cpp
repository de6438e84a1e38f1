// The loaded state of stored objects has one owner, nyxDMObj::openObj, whatever the kind: a kind
// only reads, reports and empties. A fake kind in the design-configuration row shows the moves.
#include <gtest/gtest.h>

#include "cfidr.h"
#include "dm/store/store.h"

namespace {

using State = nyxDMObj::LoadState;

struct Calls {
    int reads = 0, writes = 0, empties = 0;
    cfidrErrorT answer = 0;  // what the read reports
    bool reenter = false;    // the read opens its own object again
    bool innerOpened = true;
    cfidrErrorT innerErr = 0;
};
Calls g_calls;

class FakeStored final : public nyxDMObj {
public:
    explicit FakeStored(bool keeps) : nyxDMObj(nyxDMTypes::kDesignConfig, 2), d_keeps(keeps) {}
    const char *pathnameObj() override { return "fake"; }
    const char *nameObj() const override { return "fake"; }
    void deleteObj() override {}
    void emptyStored() override {
        ++g_calls.empties;
        d_built = 0;
    }
    int d_built = 0;  // what the read built

private:
    bool keepsFailedRead() const override { return d_keeps; }
    bool d_keeps;
};

void fakeRead(nyxDMObj *obj, const char *, cfidrErrorT *err) {
    ++g_calls.reads;
    EXPECT_EQ(obj->loadState(), State::kReading);
    static_cast<FakeStored *>(obj)->d_built = 3;
    if (g_calls.reenter) g_calls.innerOpened = obj->openObj(&g_calls.innerErr);
    if (g_calls.answer != 0) *err = g_calls.answer;
}

void fakeWrite(nyxDMObj *, const char *, cfidrErrorT *) { ++g_calls.writes; }

// Each test runs in a process of its own: the row keeps the fake operations.
struct LoadState : testing::Test {
    void SetUp() override {
        cfidrPIInit(&e);
        nyxDMTypes::install(nyxDMTypes::kDesignConfig, fakeRead, fakeWrite, nullptr, nullptr);
        g_calls = Calls{};
    }
    void TearDown() override { cfidrPIQuit(&e); }
    cfidrErrorT e = 0;
};

} // namespace

// A failed read left what it had built and counted the object as read: later uses saw half an
// object and no error.
TEST_F(LoadState, FailedReadIsEmptiedByItsKindAndEveryUseReadsAgain) {
    FakeStored obj(false);
    EXPECT_EQ(obj.loadState(), State::kUnread);
    g_calls.answer = 4;
    for (int use = 1; use <= 2; ++use) {
        cfidrErrorT err = 0;
        EXPECT_FALSE(obj.openObj(&err));
        EXPECT_EQ(err, cfidrErrInternal);
        EXPECT_EQ(obj.loadState(), State::kFailed);
        EXPECT_EQ(obj.readError(), 4);
        EXPECT_EQ(obj.d_built, 0);
        EXPECT_EQ(g_calls.reads, use);
        EXPECT_EQ(g_calls.empties, use);
    }
    g_calls.answer = 0;
    EXPECT_TRUE(obj.openObj(&e));
    EXPECT_TRUE(obj.openObj(&e));
    EXPECT_EQ(e, 0);
    EXPECT_EQ(g_calls.reads, 3);
    EXPECT_TRUE(obj.loaded());
    EXPECT_EQ(obj.readError(), 0);
    EXPECT_EQ(obj.d_built, 3);
}

// A save after a failed read reported success and wrote what memory held over the file.
TEST_F(LoadState, SaveWritesTheOwnFileOnlyWhenItWasReadWhole) {
    FakeStored unread(false), failed(false), kept(true), whole(false);
    g_calls.answer = 4;
    cfidrErrorT err = 0;
    failed.openObj(&err);
    EXPECT_FALSE(kept.openObj(&err));
    // A kind that keeps a failed read: what it built stays, the object counts as read and is not
    // read again, and its own file is not written.
    EXPECT_TRUE(kept.loaded());
    EXPECT_EQ(kept.readError(), 4);
    EXPECT_EQ(kept.d_built, 3);
    EXPECT_TRUE(kept.openObj(&err));
    EXPECT_EQ(g_calls.reads, 2);
    EXPECT_EQ(g_calls.empties, 1);
    for (FakeStored *obj : {&unread, &failed, &kept}) obj->saveObj(&err);
    EXPECT_EQ(g_calls.writes, 0);
    g_calls.answer = 0;
    ASSERT_TRUE(whole.openObj(&err));
    whole.saveObj(&err);
    EXPECT_EQ(g_calls.writes, 1);
}

// The view reader built through checked operations, which loaded the view being read: the load
// ran again in the middle of the read and marked the half-built view loaded.
TEST_F(LoadState, ReadThatOpensItsOwnObjectAgainIsRefusedInsteadOfReentered) {
    FakeStored obj(false);
    g_calls.reenter = true;
    EXPECT_TRUE(obj.openObj(&e));
    EXPECT_FALSE(g_calls.innerOpened);
    EXPECT_EQ(g_calls.innerErr, 4);
    EXPECT_EQ(g_calls.reads, 1);
    EXPECT_TRUE(obj.loaded());
}
