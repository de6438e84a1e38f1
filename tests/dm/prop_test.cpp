// Properties through the exported interface: values and their types, names and their case rule,
// stable indices, read-only owners, properties on properties and identifier withdrawal.
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "dm/prop_owner.h"
#include "dm/dm_checks.h"
#include "common/modes.h"

namespace {

using propowner::Owner;

struct Props : propowner::Session {};

// Identifiers an iterator yields, in order.
std::vector<cfiOID> listProps(cfiOID obj) {
    cfidrErrorT e = -1;
    cfidrIterT it = cfidrObjectGetProps(obj, &e);
    EXPECT_EQ(e, 0);
    std::vector<cfiOID> out;
    for (cfiOID p = cfidrIterNextProp(it, &e); p.object != 0; p = cfidrIterNextProp(it, &e)) out.push_back(p);
    cfidrIterQuit(it, &e);
    return out;
}

TEST_F(Props, ValueTypesFollowTheLastValueSet) {
    cfiOID obj = makeOwner();
    cfiOID p = create(obj, "width");
    EXPECT_EQ(nyxdrPropGetValueType(p, &e), cfidrNoValueType);
    EXPECT_EQ(cfidrPropGetValueType(p, &e), cfidrNoValueType);
    EXPECT_EQ(cfidrPropGetInt32Value(p, &e), 0);
    EXPECT_EQ(e, cfidrErrWrongType);
    EXPECT_STREQ(cfidrPropGetStringValue(p, &e), "");
    EXPECT_EQ(e, cfidrErrWrongType);

    ASSERT_CODE(cfidrPropSetStringValue(p, "a long string value, kept on the heap", &e), 0);
    EXPECT_STREQ(cfidrPropGetStringValue(p, &e), "a long string value, kept on the heap");
    // An integer on a string property makes it an integer property.
    ASSERT_CODE(cfidrPropSetInt32Value(p, -7, &e), 0);
    EXPECT_EQ(cfidrPropGetValueType(p, &e), cfidrInt32ValueType);
    EXPECT_STREQ(cfidrPropGetStringValue(p, &e), "");
    EXPECT_EQ(e, cfidrErrWrongType);
    EXPECT_EQ(cfidrPropGetInt32Value(p, &e), -7);
    EXPECT_EQ(cfidrPropGetBooleanValue(p, &e), 0);
    EXPECT_EQ(e, cfidrErrWrongType);

    cfidrPropSetExpressionValue(p, "w * 2", &e);
    EXPECT_EQ(cfidrPropGetValueType(p, &e), cfidrStringValueType);
    EXPECT_EQ(nyxdrPropGetValueType(p, &e), nyxdrExpressionValueType);
    EXPECT_STREQ(cfidrPropGetStringValue(p, &e), "w * 2");  // unevaluated

    cfidrPropSetBooleanValue(p, 1, &e);
    EXPECT_EQ(cfidrPropGetBooleanValue(p, &e), 1);
    cfidrPropSetFloat32Value(p, 2.5f, &e);
    EXPECT_EQ(cfidrPropGetValueType(p, &e), cfidrFloat32ValueType);
    EXPECT_EQ(cfidrPropGetFloat32Value(p, &e), 2.5f);
    // Any type of the name is found by name.
    cfiOID found = cfidrObjectFindPropByName(obj, "width", &e);
    EXPECT_EQ(found.object, p.object);
    EXPECT_EQ(found.tag, p.tag);

    // Trusted program mode skips the type test.
    nyxtest::setTrustedModes(true, false);
    EXPECT_EQ(cfidrPropGetInt32Value(p, &e), 0);
    EXPECT_EQ(e, 0);
}

TEST_F(Props, RangeAndNullChecksKeepTheOldValue) {
    cfiOID p = create(makeOwner(), "v");
    cfidrPropSetFloat32Value(p, 1.5f, &e);
    for (float bad : {1e38f, -1e38f, std::nanf(""), INFINITY}) {
        cfidrPropSetFloat32Value(p, bad, &e);
        EXPECT_EQ(e, cfidrErrBadValue) << bad;
    }
    EXPECT_CODE(cfidrPropSetStringValue(p, nullptr, &e), cfidrErrBadValue);
    EXPECT_CODE(cfidrPropSetExpressionValue(p, nullptr, &e), cfidrErrBadValue);
    EXPECT_EQ(cfidrPropGetFloat32Value(p, &e), 1.5f);
    EXPECT_CODE(cfidrPropSetFloat32Value(p, -1e37f, &e), 0);
    // A property identifier's object word is its list: other classes are refused.
    EXPECT_CODE(cfidrPropGetInt32Value(makeOwner(), &e), cfidrErrWrongType);
    EXPECT_CODE(cfidrPropSetInt32Value({0, 26}, 1, &e), cfidrErrObjectUnusable);
}

TEST_F(Props, CaseSensitiveWhenTheVariableIsSetAtInit) {
    cfidrPIQuit(&e);
    setenv("ZIL_NYX_CASE_SENSITIVE", "", 1);  // an empty value counts
    cfidrPIInit(&e);
    // The new session installed the real class of the owner's code again.
    nyxClasses::install(propowner::kCode, &propowner::kOps);
    cfiOID obj = makeOwner();
    cfiOID a = create(obj, "len");
    cfiOID b = create(obj, "LEN");
    EXPECT_NE(a.tag, b.tag);
    EXPECT_EQ(cfidrObjectFindPropByName(obj, "Len", &e).object, 0u);
    EXPECT_EQ(e, cfidrErrNotFound);
    EXPECT_EQ(cfidrObjectFindPropByName(obj, "LEN", &e).tag, b.tag);
}

TEST_F(Props, IndicesStayStableAcrossDestruction) {
    cfiOID obj = makeOwner();
    cfiOID p0 = create(obj, "a");
    cfiOID p1 = create(obj, "b");
    cfiOID p2 = create(obj, "c");
    EXPECT_EQ(index(p0), 0u);
    EXPECT_EQ(index(p2), 2u);
    cfidrPropSetStringValue(p0, "a string long enough for the heap", &e);
    ASSERT_CODE(cfidrObjectDestroy(p0, &e), 0);
    EXPECT_EQ(cfidrObjectIsUsable(p0, &e), 0);
    EXPECT_CODE(cfidrPropGetValueType(p0, &e), cfidrErrObjectUnusable);
    EXPECT_STREQ(cfidrNamedObjectGetName(p1, &e), "b");
    EXPECT_STREQ(cfidrNamedObjectGetName(p2, &e), "c");
    std::vector<cfiOID> live = listProps(obj);
    ASSERT_EQ(live.size(), 2u);
    EXPECT_EQ(index(live[0]), 1u);
    EXPECT_EQ(index(live[1]), 2u);
    EXPECT_CODE(cfidrObjectFindPropByName(obj, "a", &e), cfidrErrNotFound);
    cfiOID again = create(obj, "d");
    EXPECT_EQ(index(again), 0u);
    EXPECT_EQ(nyxdrPropGetValueType(again, &e),
              cfidrNoValueType); // nothing of the old value remains
    EXPECT_EQ(listProps(obj).size(), 3u);
    // The lowest free entry is taken first, whatever the order of destruction.
    ASSERT_CODE(cfidrObjectDestroy(p2, &e), 0);
    ASSERT_CODE(cfidrObjectDestroy(p1, &e), 0);
    EXPECT_EQ(index(create(obj, "e")), 1u);
    EXPECT_EQ(index(create(obj, "f")), 2u);
    EXPECT_EQ(index(create(obj, "g")), 3u);
    // An owner without properties lists nothing.
    EXPECT_TRUE(listProps(makeOwner()).empty());
}

TEST_F(Props, ReadOnlyOwnerRefusesEveryChange) {
    Owner *o = nullptr;
    cfiOID obj = makeOwner(&o);
    cfiOID p = create(obj, "keep");
    cfidrPropSetInt32Value(p, 5, &e);
    o->readOnly = true;
    EXPECT_CODE(cfidrObjectCreateProp(obj, "x", &e), cfidrErrNotOpenForUpdate);
    EXPECT_CODE(cfidrObjectCreateProp(obj, "", &e),
                cfidrErrNotOpenForUpdate); // read-only is tested before the name
    EXPECT_CODE(cfidrPropSetInt32Value(p, 6, &e), cfidrErrNotOpenForUpdate);
    EXPECT_CODE(cfidrPropSetFloat32Value(p, NAN, &e),
                cfidrErrNotOpenForUpdate); // and before the value
    EXPECT_CODE(cfidrNamedObjectSetName(p, "other", &e), cfidrErrNotOpenForUpdate);
    EXPECT_CODE(cfidrObjectDestroy(p, &e), cfidrErrNotOpenForUpdate);
    EXPECT_EQ(cfidrObjectIsUsable(p, &e), 1);
    // Properties on its properties are read-only with it.
    o->readOnly = false;
    cfiOID sub = create(p, "sub");
    o->readOnly = true;
    EXPECT_CODE(cfidrPropSetInt32Value(sub, 1, &e), cfidrErrNotOpenForUpdate);
    EXPECT_EQ(cfidrPropGetInt32Value(p, &e), 5);
    // Trusted data mode skips the test.
    nyxtest::setTrustedModes(false, true);
    EXPECT_CODE(cfidrPropSetInt32Value(p, 6, &e), 0);
}

TEST_F(Props, NameChecksOnCreateAndRename) {
    cfiOID obj = makeOwner();
    for (const char *bad : {"", "tab\there", "caf\xc3\xa9", "del\x7f"}) {
        cfidrObjectCreateProp(obj, bad, &e);
        EXPECT_EQ(e, cfidrErrBadName) << bad;
    }
    EXPECT_CODE(cfidrObjectCreateProp(obj, nullptr, &e), cfidrErrBadName);
    cfiOID a = create(obj, "a");
    cfiOID b = create(obj, "b");
    cfidrPropSetStringValue(b, "text", &e);
    EXPECT_CODE(cfidrObjectCreateProp(obj, "A", &e), cfidrErrAlreadyExists);
    EXPECT_CODE(cfidrNamedObjectSetName(a, "B", &e), cfidrErrNameTaken);
    EXPECT_CODE(cfidrNamedObjectSetName(a, "", &e), cfidrErrBadName);
    EXPECT_CODE(cfidrNamedObjectSetName(a, "A", &e), 0);  // its own name in another case
    ASSERT_CODE(cfidrNamedObjectSetName(b, "renamed", &e), 0);
    EXPECT_STREQ(cfidrNamedObjectGetName(b, &e), "renamed");
    EXPECT_STREQ(cfidrPropGetStringValue(b, &e), "text");
    EXPECT_EQ(cfidrObjectFindPropByName(obj, "renamed", &e).tag, b.tag);
    EXPECT_CODE(cfidrObjectFindPropByName(obj, "b", &e), cfidrErrNotFound);
    // Trusted data mode takes duplicate names.
    nyxtest::setTrustedModes(false, true);
    EXPECT_CODE(cfidrObjectCreateProp(obj, "renamed", &e), 0);
}

TEST_F(Props, OwnersAndPropertiesOnProperties) {
    cfiOID obj = makeOwner();
    cfiOID p = create(obj, "p");
    cfiOID owner = cfidrPropGetOwner(p, &e);
    EXPECT_EQ(owner.object, obj.object);
    EXPECT_EQ(owner.tag, obj.tag);
    cfiOID sub = create(p, "unit");
    owner = cfidrPropGetOwner(sub, &e);
    EXPECT_EQ(owner.object, p.object);
    EXPECT_EQ(owner.tag, p.tag);
    EXPECT_EQ(cfidrObjectFindPropByName(p, "UNIT", &e).tag, sub.tag);
    EXPECT_EQ(listProps(p).size(), 1u);
    // A new property on the reused entry of a destroyed one starts without properties.
    cfiOID deep = create(sub, "deep");
    ASSERT_CODE(cfidrObjectDestroy(p, &e), 0);
    EXPECT_EQ(cfidrObjectIsUsable(sub, &e), 0);
    EXPECT_EQ(cfidrObjectIsUsable(deep, &e), 0);
    cfiOID reused = create(obj, "p2");
    EXPECT_EQ(index(reused), 0u);
    EXPECT_TRUE(listProps(reused).empty());
    EXPECT_CODE(cfidrObjectFindPropByName(reused, "unit", &e), cfidrErrNotFound);
}

TEST_F(Props, DestroyingTheOwnerReleasesPropertiesOnProperties) {
    Owner *o = nullptr;
    cfiOID obj = makeOwner(&o);
    cfiOID p = create(obj, "p");
    cfiOID sub = create(p, "s");
    create(sub, "t");
    ASSERT_NE(nyxPropsOnProp(o->props, 0), nullptr);
    ASSERT_CODE(cfidrObjectDestroy(obj, &e), 0);
    EXPECT_EQ(o->props, nullptr);
    EXPECT_EQ(cfidrObjectIsUsable(p, &e), 0);
    EXPECT_EQ(cfidrObjectIsUsable(sub, &e), 0);
    // Nothing of the owner is left in the table of properties on properties.
    cfiOID other = makeOwner();
    cfiOID q = create(other, "q");
    EXPECT_TRUE(listProps(q).empty());
}

TEST_F(Props, ClassesWithoutPropertiesAndOccurrencesAreRefused) {
    static const nyxClassOps kNone = {};
    const nyxClassOps *saved = nyxClasses::install(nyxCodeOccPropSet, &kNone);
    cfiOID it = {makeOwner().object, 2 * nyxCodeOccPropSet};
    nyxpi::handOut(nyxpi::address(it.object), nyxCodeOccPropSet, &e);
    EXPECT_CODE(cfidrObjectCreateProp(it, "x", &e), cfidrErrWrongType);
    cfidrIterT iter = cfidrObjectGetProps(it, &e);
    EXPECT_EQ(e, cfidrErrWrongType);
    EXPECT_EQ(cfidrIterNextProp(iter, &e).object, 0u);
    EXPECT_CODE(cfidrObjectFindPropByName({5, 2 * 26 + 1}, "x", &e), cfidrErrWrongType);
    nyxClasses::install(nyxCodeOccPropSet, saved);
}

} // namespace
