// Instances through the exported interface: creation codes, storage by slot count and large
// instances, positions after destruction, names and renaming, iteration order.
#include "dm/netlist/instInt.h"
#include "dm/inst_fixture.h"
#include "dm/dm_checks.h"
#include "common/modes.h"

using insttest::Session;

namespace {
struct Insts : Session {};
}

TEST_F(Insts, CreationCodesInOrderAndTrustedDataSkipsThem) {
    cfiOID leaf = describer("symbol", 2);
    cfiOID sibling = cfidrCellCreateNetlistView(topCell, "other", &e);
    inst("i1", leaf);
    // The describer being the view itself comes before the name check.
    EXPECT_CODE(cfidrNetlistViewCreateInst(top, top, "bad\x01", &e), cfidrErrRecursiveDescriber);
    EXPECT_CODE(cfidrNetlistViewCreateInst(top, leaf, "bad\x01", &e), cfidrErrBadName);
    EXPECT_CODE(cfidrNetlistViewCreateInst(top, leaf, nullptr, &e), cfidrErrBadName);
    // A duplicate name is found before the cell test.
    EXPECT_CODE(cfidrNetlistViewCreateInst(top, sibling, "i1", &e), cfidrErrAlreadyExists);
    cfiOID none = cfidrNetlistViewCreateInst(top, sibling, "i2", &e);
    EXPECT_EQ(e, cfidrErrSameCellInst);
    EXPECT_EQ(none.object, 0u);
    EXPECT_CODE(cfidrNetlistViewCreateInst(top, lib, "i3", &e), cfidrErrDescriberNotView);
    // A view open for read refuses before anything else.
    nyxtest::setViewMode(top, cfidrReadMode);
    EXPECT_CODE(cfidrNetlistViewCreateInst(top, top, "bad\x01", &e), cfidrErrNotOpenForUpdate);
    nyxtest::setViewMode(top, cfidrUpdateMode);
    EXPECT_EQ(insts(top), "i1");

    nyxtest::setTrustedModes(false, true);
    cfiOID dup = cfidrNetlistViewCreateInst(top, leaf, "i1", &e);
    EXPECT_EQ(e, 0);
    nyxtest::clearTrustedModes();
    EXPECT_NE(dup.object, 0u);
    EXPECT_EQ(insts(top), "i1 i1");
}

TEST_F(Insts, LargeInstancesOwnTheirBlockAndContinue) {
    cfiOID small = describer("s242", 242), large = describer("s250", 250);
    cfiOID a = inst("a", small), b = inst("b", small), c = inst("c", large);
    nyxInst *ia = object(a), *ic = object(c);
    EXPECT_EQ(ia->slotCount(), 242);
    EXPECT_EQ(ic->slotCount(), 250);
    // 242 slots: one instance per block (988 / 984); the large one sits under header 244.
    nyxListBlock *ba = nyxListBlock::getHeader(ia, nyxInst::kBlockSize);
    EXPECT_EQ(ba->listType(), (242 << 8) | 6);
    EXPECT_EQ(ba->maxCount(), 1);
    nyxListBlock *bc = nyxListBlock::getHeader(ic, nyxInst::kBlockSize);
    EXPECT_EQ(bc->listType(), (244 << 8) | 6);
    EXPECT_EQ(nyxdrInstGetPosition(a, &e), 0);
    EXPECT_EQ(nyxdrInstGetPosition(b, &e), 1);
    EXPECT_EQ(nyxdrInstGetPosition(c, &e), 2);
    EXPECT_EQ(nyxdrNetlistViewGetInstCount(top, &e), 3);
    // Words 0-242 lie in the instance's own block, 243-249 in one continuation block.
    for (int32_t i : {0, 1, 242, 243, 244, 249}) {
        uintptr_t *w = ic->slot(i);
        nyxListBlock *b2 = nyxListBlock::getHeader(w, nyxInst::kBlockSize);
        EXPECT_EQ(b2 == bc, i < 243) << i;
        if (i >= 243) {
            EXPECT_EQ(b2->parent(), ic);
            EXPECT_EQ(b2->parentType(), 6);
        }
        int32_t at = -1;
        EXPECT_EQ(nyxInst::ofSlot(w, &at), ic) << i;
        EXPECT_EQ(at, i);
    }
    EXPECT_EQ(ic->slot(243) + 6, ic->slot(249));
    int32_t at = -1;
    // The body, a misaligned address and the word after the last slot are no slots.
    EXPECT_EQ(nyxInst::ofSlot(ic, &at), nullptr);
    EXPECT_EQ(nyxInst::ofSlot(reinterpret_cast<char *>(ic->slot(3)) + 4, &at), nullptr);
    EXPECT_EQ(nyxInst::ofSlot(ia->slot(241) + 1, &at), nullptr);
    EXPECT_EQ(nyxInst::ofSlot(ic->slot(249) + 1, &at), nullptr);
    // A describer of more than 243 + 247 ports needs a second continuation block.
    cfiOID huge = describer("s600", 600);
    nyxInst *ih = object(inst("h", huge));
    int32_t last = -1;
    EXPECT_EQ(nyxInst::ofSlot(ih->slot(599), &last), ih);
    EXPECT_EQ(last, 599);
    EXPECT_NE(nyxListBlock::getHeader(ih->slot(490), nyxInst::kBlockSize),
              nyxListBlock::getHeader(ih->slot(489), nyxInst::kBlockSize));
    EXPECT_CODE(cfidrObjectDestroy(c, &e), 0);
    EXPECT_EQ(nyxdrNetlistViewGetInstCount(top, &e), 4);
}

TEST_F(Insts, DestroyKeepsPositionsAndCount) {
    cfiOID d = describer("symbol", 3);
    cfiOID a = inst("a", d), b = inst("b", d), c = inst("c", d);
    ASSERT_CODE(cfidrPropSetInt32Value(cfidrObjectCreateProp(b, "w", &e), 7, &e), 0);
    // A view open for read keeps its instances and their names.
    nyxtest::setViewMode(top, cfidrReadMode);
    EXPECT_CODE(cfidrObjectDestroy(b, &e), cfidrErrNotOpenForUpdate);
    EXPECT_CODE(cfidrNamedObjectSetName(b, "bb", &e), cfidrErrNotOpenForUpdate);
    nyxtest::setViewMode(top, cfidrUpdateMode);
    EXPECT_TRUE(cfidrObjectIsUsable(b, &e));
    EXPECT_TRUE(cfidrObjectIsSame(nyxdrNetlistViewFindInstByPosition(top, 1, &e), b, &e));
    ASSERT_CODE(cfidrObjectDestroy(b, &e), 0);
    EXPECT_FALSE(cfidrObjectIsUsable(b, &e));
    int32_t count = 988 / (16 + 4 * 3);
    EXPECT_EQ(nyxdrNetlistViewGetInstCount(top, &e), count);
    cfiOID none = nyxdrNetlistViewFindInstByPosition(top, 1, &e);
    EXPECT_EQ(e, cfidrErrObjectUnusable);
    EXPECT_EQ(none.object, 0u);
    EXPECT_CODE(nyxdrNetlistViewFindInstByPosition(top, count, &e), cfidrErrNotFound);
    EXPECT_CODE(nyxdrNetlistViewFindInstByPosition(top, -1, &e), cfidrErrNotFound);
    EXPECT_EQ(nyxdrInstGetPosition(c, &e), 2);
    EXPECT_CODE(cfidrNetlistViewFindInstByName(top, "b", &e), cfidrErrNotFound);
    // The freed slot is the lowest free one of the current block: the next instance takes it.
    cfiOID n = inst("n", d);
    EXPECT_EQ(nyxdrInstGetPosition(n, &e), 1);
    EXPECT_EQ(insts(top), "a n c");
    // A block is added once the first is full, and the count grows by a whole block.
    for (int32_t i = 3; i <= count; ++i) inst(("x" + std::to_string(i)).c_str(), d);
    EXPECT_EQ(nyxdrNetlistViewGetInstCount(top, &e), 2 * count);
    EXPECT_TRUE(cfidrObjectIsSame(nyxdrNetlistViewFindInstByPosition(top, count, &e),
                                  cfidrNetlistViewFindInstByName(top, ("x" + std::to_string(count)).c_str(), &e), &e));
    EXPECT_TRUE(cfidrObjectIsSame(cfidrInstGetOwner(a, &e), top, &e));
}

TEST_F(Insts, IterationAndPositionsFollowAscendingSlotCounts) {
    cfiOID d3 = describer("three", 3), d1 = describer("one", 1), d2 = describer("two", 2), d0 = describer("none", 0);
    cfiOID a = inst("a3", d3);
    EXPECT_EQ(nyxdrInstGetPosition(a, &e), 0);
    inst("b1", d1);
    inst("c2", d2);
    inst("d3", d3);
    inst("e0", d0);
    EXPECT_EQ(insts(top), "e0 b1 c2 a3 d3");
    // Headers before the 3-slot one shift its positions by their whole blocks.
    int32_t before = 988 / 16 + 988 / 20 + 988 / 24;
    EXPECT_EQ(nyxdrInstGetPosition(a, &e), before);
    EXPECT_TRUE(cfidrObjectIsSame(nyxdrNetlistViewFindInstByPosition(top, before, &e), a, &e));
    EXPECT_EQ(nyxdrNetlistViewGetInstCount(top, &e), before + 988 / 28);
}

TEST_F(Insts, NamesRenamesAndTheNameMap) {
    cfiOID d = describer("symbol", 1);
    cfiOID a = inst("a", d), b = inst("b", d);
    // Before the map exists, renaming checks against the names all the same.
    EXPECT_CODE(cfidrNamedObjectSetName(a, "b", &e), cfidrErrNameTaken);
    EXPECT_CODE(cfidrNamedObjectSetName(a, "", &e), cfidrErrBadName);
    EXPECT_CODE(cfidrNamedObjectSetName(a, "a", &e), 0);
    EXPECT_CODE(cfidrNamedObjectSetName(a, "a_longer_name_than_eight", &e), 0);
    EXPECT_STREQ(cfidrNamedObjectGetName(a, &e), "a_longer_name_than_eight");
    EXPECT_TRUE(cfidrObjectIsSame(cfidrNetlistViewFindInstByName(top, "a_longer_name_than_eight", &e), a, &e));
    EXPECT_CODE(cfidrNetlistViewFindInstByName(top, "a", &e), cfidrErrNotFound);
    EXPECT_CODE(cfidrNetlistViewFindInstByName(top, "B", &e), cfidrErrNotFound);
    EXPECT_CODE(cfidrNetlistViewFindInstByName(top, "\x7f", &e), cfidrErrBadName);
    cfidrNamedObjectSetName(b, "a", &e);
    EXPECT_TRUE(cfidrObjectIsSame(cfidrNetlistViewFindInstByName(top, "a", &e), b, &e));
    // The map stays exact through many creations, destructions and renames (probe runs with gaps).
    std::vector<cfiOID> many;
    for (int32_t i = 0; i < 1500; ++i) many.push_back(inst(("m" + std::to_string(i)).c_str(), d));
    for (int32_t i = 0; i < 1500; i += 3) cfidrObjectDestroy(many[i], &e);
    for (int32_t i = 1; i < 1500; i += 3) cfidrNamedObjectSetName(many[i], ("r" + std::to_string(i)).c_str(), &e);
    nyxInstMap *map = viewObj(top)->instNameMap();
    ASSERT_NE(map, nullptr);
    EXPECT_TRUE(map->isValid());
    EXPECT_EQ(map->size(), 2u + 1000u);
    for (int32_t i = 0; i < 1500; ++i) {
        cfiOID f = cfidrNetlistViewFindInstByName(top, ("m" + std::to_string(i)).c_str(), &e);
        EXPECT_EQ(f.object != 0, i % 3 == 2) << i;
    }
    EXPECT_TRUE(cfidrObjectIsSame(cfidrNetlistViewFindInstByName(top, "r1498", &e), many[1498], &e));
    // Renaming and destroying record edits of the view.
    int32_t version = viewObj(top)->d_version;
    cfidrNamedObjectSetName(b, "bb", &e);
    EXPECT_EQ(viewObj(top)->d_version, version + 1);
}
