// The encapsulated view file: its exact bytes, the round trip of properties of every type, and
// the refusal of damaged and hostile data (which leaves the view empty).
#include <gtest/gtest.h>

#include <string>

#include "cfidr.h"
#include "io/io.h"
#include "pi/pi.h"
#include "utils/fileio.h"

namespace {

struct EncViewFile : testing::Test {
    void SetUp() override {
        setenv("ZIL_NYX_LIBRARYMAP", ".", 1);
        cfidrPIInit(&e);
        lib = cfidrPICreateLib("flib", &e);
        cell = cfidrLibCreateCell(lib, "fcell", &e);
        ASSERT_EQ(e, 0);
    }
    void TearDown() override { cfidrPIQuit(&e); }

    nyxEncapsulatedView *make(const char *name, const char *type, const char *key) {
        cfiOID v = cfidrCellCreateEncapsulatedView(cell, name, type, key, &e);
        EXPECT_EQ(e, 0);
        return nyxpi::object<nyxEncapsulatedView>(v);
    }
    std::string bytesOf(nyxEncapsulatedView *view) {
        nyxMemorySink sink;
        cfidrErrorT err = 0;
        EXPECT_TRUE(nyxEncViewIO::encode(view, sink, &err));
        return sink.bytes();
    }
    // Decodes data into a new listed view; the error code.
    cfidrErrorT decode(const std::string &data, nyxEncapsulatedView **out = nullptr) {
        cfidrErrorT err = 0;
        nyxEncapsulatedView *view = nyxEncapsulatedView::construct(
            nyxpi::object<nyxCell>(cell), ("d" + std::to_string(++d_count)).c_str(), cfidrUpdateMode, false, &err);
        EXPECT_NE(view, nullptr);
        nyxEncViewIO::decode(view, data, &err);
        if (err != 0) {
            EXPECT_STREQ(nyxEncapsulatedView::getKey(view), "");
            EXPECT_EQ(view->d_propList, nullptr);
        }
        if (out != nullptr) *out = view;
        return err;
    }

    cfidrErrorT e = 0;
    cfiOID lib{}, cell{};
    int d_count = 0;
};

const std::string kHeader = std::string(" \x14\x5A\x4C\x39\x33\x10\x11\x45", 9);

} // namespace

TEST_F(EncViewFile, ViewWithoutPropertiesIsHeaderStringsEndAndClosingMark) {
    EXPECT_EQ(bytesOf(make("e", "t", "")), kHeader + "\x31" "e" "\x31" "t" "\x30" "\x11\x0F" "\x11\x51");
}

TEST_F(EncViewFile, PropertiesOfEveryTypeRoundTripWithTheirDictionary) {
    nyxEncapsulatedView *view = make("v", "sym", "key");
    cfiOID id = nyxpi::handOut(view, nyxCodeEncapsulatedView, &e);
    const struct {
        const char *name;
        void (*set)(cfiOID);
    } props[] = {
        {"b", [](cfiOID p) { cfidrErrorT x; cfidrPropSetBooleanValue(p, 1, &x); }},
        {"i", [](cfiOID p) { cfidrErrorT x; cfidrPropSetInt32Value(p, -300, &x); }},
        {"z", [](cfiOID p) { cfidrErrorT x; cfidrPropSetInt32Value(p, 0, &x); }},
        {"f", [](cfiOID p) { cfidrErrorT x; cfidrPropSetFloat32Value(p, 2.25f, &x); }},
        {"s", [](cfiOID p) { cfidrErrorT x; cfidrPropSetStringValue(p, "text", &x); }},
        {"x", [](cfiOID p) { cfidrErrorT x; cfidrPropSetExpressionValue(p, "1+2", &x); }},
        {"n", [](cfiOID) {}},
    };
    cfiOID first{};
    for (const auto &p : props) {
        cfiOID prop = cfidrObjectCreateProp(id, p.name, &e);
        p.set(prop);
        if (first.object == 0) first = prop;
    }
    cfidrPropSetInt32Value(cfidrObjectCreateProp(first, "deep", &e), 5, &e);
    ASSERT_EQ(e, 0);
    const std::string bytes = bytesOf(view);
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\x11\x51");

    nyxEncapsulatedView *back = nullptr;
    ASSERT_EQ(decode(bytes, &back), 0);
    EXPECT_FALSE(back->changed());
    EXPECT_STREQ(nyxEncapsulatedView::getViewType(back), "sym");
    EXPECT_STREQ(nyxEncapsulatedView::getKey(back), "key");
    // Written again, the decoded view (listed as "d1") gives the same bytes after its name.
    EXPECT_EQ(bytesOf(back).substr(kHeader.size() + 3), bytes.substr(kHeader.size() + 2));
    cfidrErrorT err = 0;
    nyxObjRef deep = nyxPropFind(nyxPropsOnProp(back->d_propList, 0), "deep", &err);
    EXPECT_EQ(nyxPropGetInt(static_cast<nyxPropList *>(deep.obj), deep.member, &err), 5);
    EXPECT_EQ(err, 0);
}

TEST_F(EncViewFile, DamagedOrHostileDataIsRefusedAndLeavesTheViewEmpty) {
    nyxEncapsulatedView *view = make("v", "t", "k");
    cfidrPropSetInt32Value(cfidrObjectCreateProp(nyxpi::handOut(view, nyxCodeEncapsulatedView, &e), "p", &e), 9, &e);
    const std::string good = bytesOf(view);
    const std::string empty = kHeader + "\x31v\x31t\x31k\x11\x0F\x11\x51";
    EXPECT_EQ(decode(empty), 0);
    // The end of an empty list may stand as a small tag.
    EXPECT_EQ(decode(kHeader + "\x31v\x31t\x31k\x7F\x11\x51"), 0);
    testing::internal::CaptureStderr();
    const std::string bad[] = {
        std::string(" \x14\x5A\x4C\x39\x34\x10\x11\x45", 9) + empty.substr(9),  // marker
        std::string(" \x14\x5A\x4C\x39\x33\x11\x01\x11\x45", 10) + empty.substr(9),  // version 1
        std::string(" \x14\x5A\x4C\x39\x33\x10\x11\x4E", 9) + empty.substr(9),  // kind 'N'
        empty + "\x10",                                 // bytes after the closing mark
        empty.substr(0, empty.size() - 2),              // no closing mark
        kHeader + std::string("\x31v\x31t\x32k\0", 7) + "\x11\x0F\x11\x51",  // NUL in the key
        good.substr(0, good.size() - 3) + "\x11\x51",   // dictionary cut short
        good.substr(0, kHeader.size() + 6) + std::string("\x10", 1) + good.substr(kHeader.size() + 6),
        good.substr(0, kHeader.size() + 6) + "\x15",    // a tag of no value
        kHeader + "\x31v\x31t\x31k\x11\x10\x11\x07\x11\x0C\x10\x11\x51",  // name id 3 undefined
    };
    for (const std::string &data : bad) EXPECT_EQ(decode(data), cfidrErrInternal) << testing::PrintToString(data);
    testing::internal::GetCapturedStderr();
}

TEST_F(EncViewFile, FileLargerThanTheReaderTakesIsNeverWritten) {
    nyxEncapsulatedView *view = make("big", "t", "k");
    cfiOID id = nyxpi::handOut(view, nyxCodeEncapsulatedView, &e);
    cfidrPropSetStringValue(cfidrObjectCreateProp(id, "s", &e), std::string(size_t{64} << 20, 'x').c_str(), &e);
    ASSERT_EQ(e, 0);
    nyxMemorySink sink;
    cfidrErrorT err = 0;
    EXPECT_FALSE(nyxEncViewIO::encode(view, sink, &err));
    EXPECT_EQ(err, cfidrErrInternal);
    cfidrViewSave(id, &e);
    EXPECT_EQ(e, cfidrErrInternal);
    EXPECT_FALSE(nyxFileIO::isFile(std::string(view->pathnameObj()) + ".nyxEncapsulatedView"));
}
