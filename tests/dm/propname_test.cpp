// The property name table and the lists underneath the interface: hashing and growth, type
// entries sharing a serial, write ids, the evaluation list and the release of the library.
#include <set>
#include <string>
#include <vector>

#include "dm/prop_owner.h"

namespace {

struct NameTable : propowner::Session {};

// Names that all hash to one chain of a table of `size` chains.
std::vector<std::string> collidingNames(int32_t size, size_t count) {
    std::vector<std::string> names;
    int32_t chain = nyxPropNameTable::hash("n0", size, false) % size;
    for (int i = 0; names.size() < count; ++i) {
        std::string n = "n" + std::to_string(i);
        if (nyxPropNameTable::hash(n.c_str(), size, false) % size == chain) names.push_back(n);
    }
    return names;
}

TEST(PropNameHash, FoldsTheHighBitsAndIgnoresCase) {
    // The top nibble is folded into bits 4-7 and cleared: long names stay within 28 bits.
    EXPECT_EQ(nyxPropNameTable::hash("AbC", 503, false), nyxPropNameTable::hash("abc", 503, true));
    EXPECT_NE(nyxPropNameTable::hash("AbC", 503, true), nyxPropNameTable::hash("abc", 503, true));
    std::string longName(200, 'z');
    int32_t h = nyxPropNameTable::hash(longName.c_str(), 8189, true);
    EXPECT_GE(h, 0);
    EXPECT_LT(h, 1 << 28);
}

TEST_F(NameTable, GrowsWhenAChainExceedsFourNames) {
    nyxPropNameTable *t = nyxPropNameTable::get();
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->size(), 503);
    EXPECT_EQ(t->sizeExponent(), 9);
    std::vector<std::string> names = collidingNames(503, 5);
    for (int i = 0; i < 4; ++i) ASSERT_NE(t->add_name_type(names[i].c_str(), nyxPropNone), nullptr);
    EXPECT_EQ(t->size(), 503);
    ASSERT_NE(t->add_name_type(names[4].c_str(), nyxPropNone), nullptr);
    EXPECT_EQ(t->size(), 1021);
    EXPECT_TRUE(t->isValid());
    for (const std::string &n : names) EXPECT_NE(t->find_name(n.c_str()), nullptr) << n;
    // Further steps: 2^k minus 5, 3, 3, 1 by k mod 4.
    names = collidingNames(1021, 5);
    for (const std::string &n : names) t->add_name_type(n.c_str(), nyxPropNone);
    EXPECT_EQ(t->size(), 2047);
    EXPECT_TRUE(t->isValid());
}

TEST_F(NameTable, TypesOfOneNameShareItsSerial) {
    nyxPropNameTable *t = nyxPropNameTable::get();
    nyxPropNameTableBucket *a0 = t->add_name_type("alpha", nyxPropNone);
    nyxPropNameTableBucket *b0 = t->add_name_type("beta", nyxPropNone);
    nyxPropNameTableBucket *a2 = t->add_name_type("ALPHA", nyxPropInt);
    EXPECT_EQ(a0->serial, 0);
    EXPECT_EQ(b0->serial, 1);
    EXPECT_EQ(a2->serial, 0);
    EXPECT_STREQ(a2->name, "alpha");  // the first spelling stays
    EXPECT_EQ(t->add_name_type("alpha", nyxPropNone), a0);
    // The newest type sits in the chain; the older ones hang from it.
    EXPECT_EQ(t->find_name("alpha"), a2);
    EXPECT_EQ(a2->nextType, a0);
    EXPECT_EQ(t->find_name_type("Alpha", nyxPropNone), a0);
    EXPECT_EQ(t->nameCount(), 2);
    EXPECT_EQ(t->entryCount(), 3);
    EXPECT_TRUE(t->isValid());

    std::vector<nyxPropNameTableBucket *> written;
    ASSERT_TRUE(t->get_write_props(written));
    EXPECT_TRUE(written.empty());
    t->set_all_write_ids(3);
    ASSERT_TRUE(t->get_write_props(written));
    EXPECT_EQ(std::set<nyxPropNameTableBucket *>(written.begin(), written.end()),
              (std::set<nyxPropNameTableBucket *>{a0, a2, b0}));
    t->set_all_write_ids(0);
    ASSERT_TRUE(t->get_write_props(written));
    EXPECT_TRUE(written.empty());
}

// Regression: changing the case rule during a session must not strand names hashed under the
// old rule.
TEST_F(NameTable, NamesStayReachableWhenTheCaseRuleChanges) {
    nyxSettings::setNameOptionBits(nyxSettings::kCaseSensitiveNames);
    nyxPropNameTable *t = nyxPropNameTable::get();
    std::vector<nyxPropNameTableBucket *> made;
    for (int i = 0; i < 40; ++i) made.push_back(t->add_name_type(("Mixed" + std::to_string(i)).c_str(), 0));
    EXPECT_EQ(t->find_name("mixed0"), nullptr);
    nyxSettings::clearNameOptionBits(nyxSettings::kCaseSensitiveNames);
    for (int i = 0; i < 40; ++i) EXPECT_EQ(t->find_name(("MIXED" + std::to_string(i)).c_str()), made[i]) << i;
    EXPECT_TRUE(t->isValid());
    nyxSettings::setNameOptionBits(nyxSettings::kCaseSensitiveNames);
    EXPECT_EQ(t->find_name("Mixed7"), made[7]);
    EXPECT_EQ(t->find_name("mixed7"), nullptr);
    EXPECT_EQ(t->nameCount(), 40);
}

TEST_F(NameTable, ValuesMoveBetweenTypeEntries) {
    propowner::Owner *o = nullptr;
    cfiOID obj = makeOwner(&o);
    cfiOID p = create(obj, "r");
    nyxPropList *list = o->props;
    uint32_t i = index(p);
    setTripletValue(list, i, "1:2:3", &e);
    EXPECT_EQ(nyxPropAt(list, i)->type(), nyxPropTriplet);
    setCasetripletValue(list, i, "a:b:c", &e);
    EXPECT_EQ(nyxdrPropGetValueType(p, &e), nyxdrCaseTripletValueType);
    EXPECT_STREQ(cfidrPropGetStringValue(p, &e), "a:b:c");
    setDeletedValue(list, i, &e);
    EXPECT_EQ(nyxdrPropGetValueType(p, &e), nyxdrDeletedValueType);
    EXPECT_EQ(cfidrPropGetValueType(p, &e), cfidrStringValueType);
    EXPECT_STREQ(cfidrPropGetStringValue(p, &e), "");
    // One name, four type entries, one serial.
    nyxPropNameTable *t = nyxPropNameTable::get();
    int types = 0;
    for (auto *b = t->find_name("r"); b != nullptr; b = b->nextType) ++types;
    EXPECT_EQ(types, 4);
    EXPECT_EQ(t->nameCount(), 1);
}

TEST_F(NameTable, EvaluationListAndRelease) {
    nyxPropList *eval = getEvalProplist();
    ASSERT_NE(eval, nullptr);
    EXPECT_EQ(getEvalProplist(), eval);
    EXPECT_TRUE(isEvalProplist(eval));
    EXPECT_FALSE(isEvalProplist(nullptr));
    nyxObjRef r = nyxPropCreate(eval, {nullptr, 0, 0, nyx::getGlobalHeap(), nullptr}, "x", &e);
    ASSERT_EQ(e, 0);
    nyxPropSetInt(eval, r.member, 4, &e);
    EXPECT_EQ(nyxPropListOwner(eval).obj, nullptr);
    // Release drops everything; the next session starts a new table and list.
    cfidrPIQuit(&e);
    EXPECT_EQ(nyxPropNameTable::peek(), nullptr);
    cfidrPIInit(&e);
    nyxPropList *again = getEvalProplist();
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(nyxPropListSize(again), 0);
    EXPECT_EQ(nyxPropNameTable::get()->nameCount(), 0);
    cfidrErrorT err = 0;
    nyxPropFind(again, "x", &err);
    EXPECT_EQ(err, cfidrErrNotFound);
}

TEST_F(NameTable, GrowthKeepsPropertiesOnPropertiesUnderTheirEntries) {
    propowner::Owner *o = nullptr;
    cfiOID obj = makeOwner(&o);
    std::vector<cfiOID> props;
    for (int i = 0; i < 3; ++i) {
        props.push_back(create(obj, ("p" + std::to_string(i)).c_str()));
        create(props.back(), "sub");
    }
    for (int i = 0; i < 100; ++i) create(obj, ("q" + std::to_string(i)).c_str());
    for (uint32_t i = 0; i < 3; ++i) {
        nyxPropList *sub = nyxPropsOnProp(o->props, i);
        ASSERT_NE(sub, nullptr) << i;
        EXPECT_EQ(sub->d_owner, o->props);
        EXPECT_EQ(sub->d_ownerIndex, i);
    }
    // The other entries have none, however their addresses fell.
    for (uint32_t i = 3; i < 103; ++i) EXPECT_EQ(nyxPropsOnProp(o->props, i), nullptr) << i;
}

} // namespace
