// Argument checks in their fixed order, the type walk, and the functions on any object.
#include <gtest/gtest.h>

#include "pi/fake_classes.h"
#include "common/modes.h"

namespace {

struct FrameObjects : fake::Session {};

TEST(FrameTypeWalk, MasksAgreeWithTheParentChains) {
    for (int32_t c = 0; c < nyxpi::kClassCodes; ++c) {
        for (int32_t t = -8; t < nyxpi::kClassCodes; ++t) {
            EXPECT_EQ(nyxpi::typeMatches(c, t), nyxpi::typeWalk(c, t)) << c << " " << t;
        }
    }
    EXPECT_TRUE(nyxpi::typeMatches(nyxCodePortBus, nyxCodePortBundle));  // a bus is a bundle
    EXPECT_FALSE(nyxpi::typeMatches(nyxCodePortBundle, nyxCodePortBus));
    EXPECT_TRUE(nyxpi::typeMatches(nyxCodeNetBus, nyxCodeNet));
    EXPECT_TRUE(nyxpi::typeMatches(nyxCodeDesignConfig, nyxCodeNamedObject));
    // Port instances and library selectors are objects but not named objects.
    EXPECT_FALSE(nyxpi::typeMatches(nyxCodePortInstScalar, nyxCodeNamedObject));
    EXPECT_FALSE(nyxpi::typeMatches(nyxCodeLibrarySelector, nyxCodeNamedObject));
    EXPECT_TRUE(nyxpi::typeMatches(nyxCodeLibrarySelector, nyxCodeAnyObject));
    // Occurrences (odd tags) are objects of no data-model family; code 0 matches nothing.
    EXPECT_TRUE(nyxpi::typeMatches(29, nyxCodeAnyObject));
    EXPECT_FALSE(nyxpi::typeMatches(29, nyxCodeNamedObject));
    EXPECT_FALSE(nyxpi::typeMatches(0, 0));
    EXPECT_FALSE(nyxpi::typeMatches(0, nyxCodeAnyObject));
}

// One case per step of the check order; each failing step must report its own code even when
// later steps would fail too.
TEST(FrameChecks, OrderOfSteps) {
    cfidrErrorT e = -1;
    // Step 2: no global state (an identifier that would otherwise be fine).
    EXPECT_FALSE(nyxpi::checkArg({8, 2}, nyxCodeLib, &e));
    EXPECT_EQ(e, cfidrErrObjectUnusable);
    cfidrPIInit(&e);
    fake::Node *cell = fake::makeNode(nyxCodeCell, "c");
    cfiOID id = fake::handOut(cell, nyxCodeCell);
    // Step 3: null object word, reported in trusted program mode too.
    nyxtest::setTrustedModes(true, false);
    EXPECT_FALSE(nyxpi::checkArg({0, 4}, nyxCodeLib, &e));
    EXPECT_EQ(e, cfidrErrObjectUnusable);
    // Trusted program mode skips registry, class and enumeration checks.
    EXPECT_TRUE(nyxpi::checkArg({12345, 2}, nyxCodeNet, &e));
    EXPECT_TRUE(nyxpi::checkAccessMode(7, &e));
    nyxtest::clearTrustedModes();
    // Step 4: registry.
    EXPECT_FALSE(nyxpi::checkArg({id.object + 1, id.tag}, nyxCodeCell, &e));
    EXPECT_EQ(e, cfidrErrObjectUnusable);
    // Step 5: class.
    EXPECT_FALSE(nyxpi::checkArg(id, nyxCodeLib, &e));
    EXPECT_EQ(e, cfidrErrWrongType);
    EXPECT_TRUE(nyxpi::checkArg(id, nyxCodeNamedObject, &e));
    // Step 6: further arguments report their own pairs.
    EXPECT_FALSE(nyxpi::checkArg({id.object + 1, id.tag}, nyxCodePort, &e, nyxpi::kPortCodes));
    EXPECT_EQ(e, cfidrErrPortUnusable);
    EXPECT_FALSE(nyxpi::checkArg(id, nyxCodePort, &e, nyxpi::kPortCodes));
    EXPECT_EQ(e, cfidrErrNotPort);
    EXPECT_FALSE(nyxpi::checkArg(id, nyxCodeNet, &e, nyxpi::kNetCodes));
    EXPECT_EQ(e, cfidrErrNotNet);
    EXPECT_FALSE(nyxpi::checkArg(id, nyxCodeView, &e, nyxpi::kDescriberCodes));
    EXPECT_EQ(e, cfidrErrDescriberNotView);
    // Step 7: enumerations.
    EXPECT_FALSE(nyxpi::checkAccessMode(3, &e));
    EXPECT_EQ(e, cfidrErrBadAccessMode);
    EXPECT_FALSE(nyxpi::checkIterMode(0, &e));
    EXPECT_EQ(e, cfidrErrBadIterMode);
    EXPECT_FALSE(nyxpi::checkAttachMode(3, &e));
    EXPECT_EQ(e, cfidrErrBadAttachMode);
    EXPECT_TRUE(nyxpi::checkIterMode(4, &e));
    cfidrPIQuit(&e);
}

TEST_F(FrameObjects, NullAndSameness) {
    fake::Node *cell = fake::makeNode(nyxCodeCell, "c");
    cfiOID id = fake::handOut(cell, nyxCodeCell);
    EXPECT_EQ(cfidrObjectIsNull({0, 0}, &e), 1);
    EXPECT_EQ(e, 0);
    EXPECT_EQ(cfidrObjectIsNull(id, &e), 0);
    EXPECT_EQ(e, 0);
    EXPECT_EQ(cfidrObjectIsNull({id.object + 2, id.tag}, &e), 0);
    EXPECT_EQ(e, cfidrErrObjectUnusable);
    EXPECT_EQ(cfidrObjectIsSame({0, 2}, {0, 4}, &e), 1);  // only the object words count
    EXPECT_EQ(e, 0);
    EXPECT_EQ(cfidrObjectIsSame(id, id, &e), 1);
    // A copy with an altered tag was never handed out.
    EXPECT_EQ(cfidrObjectIsSame(id, {id.object, id.tag + 2}, &e), 0);
    EXPECT_EQ(e, cfidrErrObjectUnusable);
    EXPECT_EQ(cfidrObjectIsSame(id, {0, 0}, &e), 0);
    EXPECT_EQ(e, 0);
    EXPECT_EQ(cfidrObjectIsUsable(id, &e), 1);
    EXPECT_EQ(cfidrObjectIsUsable({id.object, 6}, &e), 0);
    EXPECT_EQ(e, 0);
    EXPECT_EQ(cfidrObjectGetObjectType(id, &e), cfidrCellType);
    EXPECT_EQ(cfidrObjectGetObjectType({0, 0}, &e), 0);
    EXPECT_EQ(e, cfidrErrObjectUnusable);
}

TEST_F(FrameObjects, OddTagsAreUsableButHaveNoClass) {
    fake::Install rows;
    cfiOID occ = {4242, 2 * 3 + 1};  // built by the caller, never handed out
    EXPECT_EQ(cfidrObjectIsUsable(occ, &e), 1);
    EXPECT_EQ(cfidrObjectIsNull(occ, &e), 0);
    EXPECT_EQ(e, 0);
    EXPECT_EQ(cfidrObjectGetObjectType(occ, &e), 0);
    EXPECT_EQ(e, cfidrErrWrongType);
    EXPECT_STREQ(cfidrNamedObjectGetName(occ, &e), "");
    EXPECT_EQ(e, cfidrErrWrongType);
    cfidrObjectDestroy(occ, &e);
    EXPECT_EQ(e, cfidrErrWrongType);
    EXPECT_TRUE(nyxpi::checkArg(occ, nyxCodeAnyObject, &e));
    EXPECT_FALSE(nyxpi::checkArg(occ, nyxCodeLib, &e));
}

TEST_F(FrameObjects, NamesDispatchToTheClass) {
    fake::Install rows;
    fake::Node *lib = fake::makeNode(nyxCodeLib, "mylib");
    fake::Node *cell = fake::makeNode(nyxCodeCell, "mycell");
    cfiOID libId = fake::handOut(lib, nyxCodeLib);
    cfiOID cellId = fake::handOut(cell, nyxCodeCell);
    const char *name = cfidrNamedObjectGetName(libId, &e);
    EXPECT_STREQ(name, "mylib");
    EXPECT_NE(name, lib->name);  // a ring copy, not the object's own string
    cfidrNamedObjectSetName(libId, "other", &e);
    EXPECT_EQ(e, 0);
    EXPECT_STREQ(cfidrNamedObjectGetName(libId, &e), "other");
    cfidrNamedObjectSetName(libId, "", &e);
    EXPECT_EQ(e, cfidrErrBadName);
    cfidrNamedObjectSetName(cellId, "x", &e);  // no rename operation
    EXPECT_EQ(e, cfidrErrIllegalOperation);
    EXPECT_STREQ(cell->name, "mycell");
    // In trusted program mode the object's own string comes back.
    nyxtest::setTrustedModes(true, false);
    EXPECT_EQ(cfidrNamedObjectGetName(cellId, &e), static_cast<const char *>(cell->name));
    nyxtest::clearTrustedModes();
    // A class whose row is absent (its subsystem is not linked) cannot answer.
    const nyxClassOps *saved = nyxClasses::install(nyxCodeViewOccProp, nullptr);
    cfiOID occProp = fake::handOut(fake::makeNode(nyxCodeViewOccProp, "a"), nyxCodeViewOccProp);
    EXPECT_STREQ(cfidrNamedObjectGetName(occProp, &e), "");
    EXPECT_EQ(e, cfidrErrWrongType);
    nyxClasses::install(nyxCodeViewOccProp, saved);
}

TEST_F(FrameObjects, DestroyWithdrawsTheWholeTree) {
    fake::Install rows;
    fake::Node *lib = fake::makeNode(nyxCodeLib, "lib");
    lib->nprops = 1;
    fake::Node *cells[2] = {fake::makeNode(nyxCodeCell, "a"), fake::makeNode(nyxCodeCell, "b")};
    for (fake::Node *c : cells) {
        c->nprops = 2;
        lib->kids[lib->nkids++] = c;
    }
    cfiOID libId = fake::handOut(lib, nyxCodeLib);
    cfiOID cellId = fake::handOut(cells[1], nyxCodeCell);
    cfiOID propId = fake::handOut(cells[0]->propList, nyxCodeProp, 2);
    cfiOID libPropId = fake::handOut(lib->propList, nyxCodeProp, 1);
    fake::Node *other = fake::makeNode(nyxCodeCell, "other");
    cfiOID otherId = fake::handOut(other, nyxCodeCell);

    // A refused destruction leaves every identifier usable.
    lib->refuseDestroy = true;
    cfidrObjectDestroy(libId, &e);
    EXPECT_EQ(e, cfidrErrNotOpenForUpdate);
    for (cfiOID id : {libId, cellId, propId, libPropId}) EXPECT_EQ(cfidrObjectIsUsable(id, &e), 1);

    lib->refuseDestroy = false;
    cfidrObjectDestroy(libId, &e);
    EXPECT_EQ(e, 0);
    EXPECT_EQ(lib->destroyed, 1);
    for (cfiOID id : {libId, cellId, propId, libPropId}) {
        EXPECT_EQ(cfidrObjectIsUsable(id, &e), 0);
        EXPECT_EQ(cfidrObjectGetObjectType(id, &e), 0);
        EXPECT_EQ(e, cfidrErrObjectUnusable);
    }
    EXPECT_EQ(cfidrObjectIsUsable(otherId, &e), 1);
    // The walk returned its iterators.
    EXPECT_EQ(fake::cache().cached(), 1);

    // A class without a destroy operation reports 4 and keeps its identifier.
    const nyxClassOps *saved = nyxClasses::install(nyxCodeViewOccProp, nullptr);
    cfiOID occProp = fake::handOut(fake::makeNode(nyxCodeViewOccProp, "a"), nyxCodeViewOccProp);
    cfidrObjectDestroy(occProp, &e);
    EXPECT_EQ(e, cfidrErrInternal);
    EXPECT_EQ(cfidrObjectIsUsable(occProp, &e), 1);
    nyxClasses::install(nyxCodeViewOccProp, saved);
}

} // namespace
