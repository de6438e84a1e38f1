// Describer records and describers: sharing, versions, release with the last instance, opening
// describers on demand, views going away on either side, records built from stored data.
#include "dm/netlist/instInt.h"
#include "dm/inst_fixture.h"
#include "dm/netlist/netlist.h"
#include "dm/dm_checks.h"

#include <cstdio>
#include <filesystem>
#include "common/modes.h"

using insttest::Session;

namespace {

struct Describers : Session {
    nyxFootPrint *record(cfiOID i) { return object(i)->footPrint(); }
};

} // namespace

TEST_F(Describers, RecordsSharedPerVersionAndReleasedWithTheLastInstance) {
    cfiOID d = describer("symbol", 0);
    addPort(d, "a");
    cfidrNetlistViewCreatePortBus(d, "bus(3:0)", -1, 3, -1, &e);
    cfiOID bundle = cfidrNetlistViewCreatePortBundle(d, "grp", -1, &e);
    ASSERT_CODE(cfidrPortBundleCreatePortScalar(bundle, "x", -1, cfidrOutputDirection, &e), 0);
    cfiOID i1 = inst("i1", d), i2 = inst("i2", d);
    EXPECT_EQ(records(), 1);
    nyxFootPrint *fp = record(i1);
    EXPECT_EQ(fp, record(i2));
    EXPECT_EQ(fp->d_useCount, 2);
    EXPECT_STREQ(fp->libName(), "ilib");
    EXPECT_STREQ(fp->cellName(), "leaf");
    EXPECT_STREQ(fp->viewName(), "symbol");
    // The copy of the port tree: kinds, directions, bus range, members.
    ASSERT_EQ(fp->d_portCount, 3);
    EXPECT_EQ(fp->d_ports[0].d_code, 5);
    EXPECT_EQ(fp->d_ports[0].d_dirOrStart, 1);
    EXPECT_EQ(fp->d_ports[1].d_code, 4);
    EXPECT_EQ(fp->d_ports[1].d_dirOrStart, 3);
    EXPECT_EQ(fp->d_ports[1].d_step, -1);
    ASSERT_EQ(fp->d_ports[2].d_memberCount, 1);
    EXPECT_STREQ(fp->d_ports[2].d_members[0].name(), "x");
    EXPECT_EQ(fp->d_ports[2].d_members[0].d_dirOrStart, 2);
    EXPECT_EQ(object(i1)->slotCount(), 3);

    // An edit of the describer: the next instance gets a record of the new version.
    addPort(d, "late");
    cfiOID i3 = inst("i3", d);
    EXPECT_EQ(records(), 2);
    EXPECT_NE(record(i3), fp);
    EXPECT_EQ(record(i3)->d_portCount, 4);
    EXPECT_EQ(object(i1)->slotCount(), 3);
    cfidrObjectDestroy(i1, &e);
    EXPECT_EQ(records(), 2);
    cfidrObjectDestroy(i2, &e);
    EXPECT_EQ(records(), 1);
    EXPECT_EQ(viewObj(d)->cachedBy().nitems(), 1);
    EXPECT_EQ(nyxInstance::instanceRefs(viewObj(d)).nitems(), 1);
    cfidrObjectDestroy(i3, &e);
    EXPECT_EQ(records(), 0);
    EXPECT_EQ(viewObj(d)->cachedBy().nitems(), 0);
    EXPECT_EQ(nyxInstance::instanceRefs(viewObj(d)).nitems(), 0);
}

TEST_F(Describers, DescriberOfInstanceAndItsReferences) {
    cfiOID d = describer("symbol", 2);
    cfiOID i1 = inst("i1", d), i2 = inst("i2", d);
    EXPECT_TRUE(cfidrObjectIsSame(cfidrInstGetDescriber(i1, &e), d, &e));
    EXPECT_EQ(nyxInstance::instanceRefs(viewObj(d)).nitems(), 2);
    EXPECT_STREQ(nyxdrInstGetInterfaceName(i1, &e), "");
    EXPECT_CODE(nyxdrInstGetPrimitiveDescriber(i2, &e), cfidrErrDescriberNotFound);
    ASSERT_TRUE(record(i1)->setInterfaceName("iface"));
    EXPECT_STREQ(nyxdrInstGetInterfaceName(i2, &e), "iface");
    // A primitive describer follows its view's life like the describer.
    cfiOID sym = describer("sym", 2);
    record(i1)->setSymbolView(viewObj(sym));
    EXPECT_TRUE(record(i1)->symbolView());
    EXPECT_TRUE(cfidrObjectIsSame(nyxdrInstGetPrimitiveDescriber(i2, &e), sym, &e));
    cfidrViewPurge(sym, &e);
    EXPECT_CODE(nyxdrInstGetPrimitiveDescriber(i2, &e), cfidrErrDescriberNotFound);

    // Purging the instantiating view takes its instances out of the describer's references.
    cfiOID other = cfidrCellCreateNetlistView(topCell, "second", &e);
    cfiOID j = inst("j", d, other);
    cfiOID jp = cfidrObjectCreateProp(j, "w", &e);
    EXPECT_EQ(nyxInstance::instanceRefs(viewObj(d)).nitems(), 3);
    EXPECT_CODE(cfidrViewPurge(other, &e), 0);
    EXPECT_FALSE(cfidrObjectIsUsable(j, &e));
    EXPECT_FALSE(cfidrObjectIsUsable(jp, &e));
    EXPECT_EQ(nyxInstance::instanceRefs(viewObj(d)).nitems(), 2);
    EXPECT_EQ(viewObj(d)->cachedBy().nitems(), 1);

    // Purging the describer (never saved) leaves the record without it; it cannot be found then.
    nyxFootPrint *fp = record(i1);
    EXPECT_CODE(cfidrViewPurge(d, &e), 0);
    EXPECT_EQ(fp->d_describer, nullptr);
    cfiOID none = cfidrInstGetDescriber(i1, &e);
    EXPECT_EQ(e, cfidrErrDescriberNotFound);
    EXPECT_EQ(none.object, 0u);
    // The instances themselves are untouched.
    EXPECT_EQ(insts(top), "i1 i2");
}

TEST_F(Describers, ListedDescriberIsFoundByNameAndReadOnDemand) {
    cfiOID d = describer("symbol", 2);
    cfiOID i1 = inst("i1", d);
    inst("i2", d);
    // A file of the view's name that is no view file: the cell lists it again after the purge.
    std::filesystem::create_directories(nyxDMUtil::pathOf("ilib", "leaf"));
    std::string file = nyxDMUtil::pathOf("ilib", "leaf") + "/symbol.nyxNetlistView";
    std::FILE *f = std::fopen(file.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    ASSERT_CODE(cfidrViewPurge(d, &e), 0);
    EXPECT_EQ(record(i1)->d_describer, nullptr);
    // Trusted program mode takes the listed view without reading it.
    nyxtest::setTrustedModes(true, false);
    cfiOID again = cfidrInstGetDescriber(i1, &e);
    nyxtest::clearTrustedModes();
    ASSERT_EQ(e, 0);
    EXPECT_STREQ(viewObj(again)->nameObj(), "symbol");
    EXPECT_FALSE(viewObj(again)->loaded());
    // Every instance of the record is a reference of the describer found.
    EXPECT_EQ(nyxInstance::instanceRefs(viewObj(again)).nitems(), 2);
    // Otherwise it is read, and a view that exists but cannot be read is 40.
    EXPECT_CODE(cfidrInstGetDescriber(i1, &e), cfidrErrViewOpenFailed);
    // A record naming a library that does not exist.
    nyxFootPrint *gone = nyxInstance::footPrintFromStored(viewObj(top), "nolib", "c", "v", 0, 0, &e);
    ASSERT_NE(gone, nullptr);
    EXPECT_EQ(gone->getDescriber(&e), nullptr);
    EXPECT_EQ(e, cfidrErrDescriberNotFound);
}

TEST_F(Describers, StoredRecordsAreCheckedBeforeUse) {
    nyxNetlistView *v = viewObj(top);
    e = 0;
    nyxFootPrint *fp = nyxInstance::footPrintFromStored(v, "ilib", "leaf", "sym\tbol\n1", 7, 2, &e);
    ASSERT_NE(fp, nullptr);
    EXPECT_STREQ(fp->viewName(), "sym/bol.1");
    EXPECT_EQ(fp->d_version, 7);
    EXPECT_EQ(nyxInstance::footPrintFromStored(v, "l", "c", "v", 0, -1, &e), nullptr);
    EXPECT_EQ(e, cfidrErrInternal);
    e = 0;
    // Half filled: an instance of it is refused.
    ASSERT_TRUE(nyxInstance::setPort(fp, &fp->d_ports[0], "a", 5, 0, 1, -1, &e));
    EXPECT_EQ(nyxInstance::createInstanceOf(v, fp, "x", &e), nullptr);
    EXPECT_EQ(e, cfidrErrInternal);
    e = 0;
    // Bad codes, a scalar with members, a port set twice.
    EXPECT_FALSE(nyxInstance::setPort(fp, &fp->d_ports[1], "b", 6, 0, 0, 0, &e));
    EXPECT_FALSE(nyxInstance::setPort(fp, &fp->d_ports[1], "b", 5, 2, 0, 0, &e));
    EXPECT_FALSE(nyxInstance::setPort(fp, &fp->d_ports[0], "a", 5, 0, 0, 0, &e));
    EXPECT_EQ(e, cfidrErrInternal);
    e = 0;
    ASSERT_TRUE(nyxInstance::setPort(fp, &fp->d_ports[1], "b(1:0)", 4, 2, 1, -1, &e));
    EXPECT_EQ(nyxInstance::createInstanceOf(v, fp, "x", &e), nullptr);
    ASSERT_TRUE(nyxInstance::setPort(fp, &fp->d_ports[1].d_members[0], "b(1)", 5, 0, 0, -1, &e));
    ASSERT_TRUE(nyxInstance::setPort(fp, &fp->d_ports[1].d_members[1], "b(0)", 5, 0, 0, -1, &e));
    e = 0;
    nyxInst *inst = nyxInstance::createInstanceOf(v, fp, "x", &e);
    ASSERT_NE(inst, nullptr);
    EXPECT_EQ(inst->slotCount(), 2);
    EXPECT_EQ(fp->d_useCount, 1);
    // No describer is cached for a stored record: no references yet.
    EXPECT_EQ(fp->d_describer, nullptr);
    EXPECT_EQ(records(), 1);
    nyxInstance::destroy(inst, &e);
    EXPECT_EQ(records(), 0);
}

TEST_F(Describers, FixSwitchOffKeepsStoredViewNames) {
    setenv("NYX_DISABLE_DR124407", "1", 1);
    testing::internal::CaptureStderr();
    nyxFootPrint *fp = nyxInstance::footPrintFromStored(viewObj(top), "l", "c", "a\tb", 0, 0, &e);
    testing::internal::GetCapturedStderr();
    ASSERT_NE(fp, nullptr);
    EXPECT_STREQ(fp->viewName(), "a\tb");
}

namespace {

// The record a new instance of `d` in `v` must take, by the rule the record index serves: the
// first record of the list caching d at its version, else the first of d's names (ignoring
// case) and version; null when a new record is due.
nyxFootPrint *recordByScan(nyxNetlistView *v, nyxNetlistView *d) {
    nyxDynArray &list = v->describers();
    for (int32_t i = 0; i < list.nitems(); ++i) {
        auto *fp = static_cast<nyxFootPrint *>(list[i]);
        if (fp->d_describer == d && fp->d_version == d->d_version) return fp;
    }
    nyxCell *cell = d->owner();
    for (int32_t i = 0; i < list.nitems(); ++i) {
        auto *fp = static_cast<nyxFootPrint *>(list[i]);
        if (fp->d_version == d->d_version && nyxDMUtil::sameName(fp->libName(), cell->d_lib->nameObj()) &&
            nyxDMUtil::sameName(fp->cellName(), cell->nameObj()) && nyxDMUtil::sameName(fp->viewName(), d->nameObj())) {
            return fp;
        }
    }
    return nullptr;
}

} // namespace

TEST_F(Describers, RecordIndexGivesWhatTheListScanGives) {
    nyxNetlistView *v = viewObj(top);
    cfiOID d = describer("symbol", 1);
    nyxNetlistView *dv = viewObj(d);
    auto stored = [&](const char *lib, const char *cell, const char *view, int32_t version) {
        nyxFootPrint *fp = nyxInstance::footPrintFromStored(v, lib, cell, view, version, 1, &e);
        EXPECT_TRUE(fp != nullptr && nyxInstance::setPort(fp, &fp->d_ports[0], "p0", 5, 0, 1, -1, &e));
        return fp;
    };
    // Each instance takes the record the scan names (a new one when it names none), and the index
    // holds exactly the list.
    auto check = [&](const char *name) -> cfiOID {
        nyxFootPrint *want = recordByScan(v, dv);
        cfiOID i = inst(name, d);
        if (want != nullptr) EXPECT_EQ(record(i), want) << name;
        else EXPECT_EQ(record(i), static_cast<nyxFootPrint *>(v->describers()[records() - 1])) << name;
        EXPECT_NE(v->recordIndex(), nullptr);
        if (v->recordIndex() == nullptr) return i;
        EXPECT_EQ(v->recordIndex()->byName->size(), static_cast<uint32_t>(records()));
        EXPECT_TRUE(v->recordIndex()->byName->isValid() && v->recordIndex()->byDescriber->isValid());
        return i;
    };
    // Stored records of the describer's names in other letter cases, twice at its version and
    // once at another: the first at its version wins, before and after the index exists.
    stored("ILIB", "Leaf", "symbol", dv->d_version + 1);
    nyxFootPrint *first = stored("ilib", "LEAF", "Symbol", dv->d_version);
    stored("iLib", "leaf", "SYMBOL", dv->d_version);
    cfiOID i1 = check("i1");
    EXPECT_EQ(record(i1), first);
    stored("ilib", "leaf", "symbol", dv->d_version);
    check("i2");
    // An edit of the describer: a second record, then shared again.
    addPort(d, "late");
    cfiOID i3 = check("i3");
    EXPECT_EQ(record(check("i4")), record(i3));
    // Released with its last instance: the next record of those names at that version takes over.
    addPort(d, "later");
    cfiOID i5 = check("i5");
    nyxFootPrint *fresh = record(i5);
    nyxFootPrint *spare = stored("ILIB", "leaf", "symbol", dv->d_version);
    EXPECT_EQ(record(check("i6")), fresh);
    cfidrObjectDestroy(i5, &e);
    cfidrObjectDestroy(cfidrNetlistViewFindInstByName(top, "i6", &e), &e);
    ASSERT_EQ(e, 0);
    EXPECT_EQ(record(check("i5")), spare);
    // The describer purged: no record caches it any more; a new describer of the same names is
    // found by name, at its own version.
    cfidrViewPurge(d, &e);
    d = describer("symbol", 1);
    dv = viewObj(d);
    check("i7");
    check("i8");
    cfidrObjectDestroy(i1, &e);
    check("i9");
    // Made again in another case of letters: the record of the old names is taken by name.
    cfiOID other = cfidrCellCreateNetlistView(leafCell, "other", &e);
    addPort(other, "p0");
    nyxFootPrint *o = stored("ilib", "leaf", "OTHER", viewObj(other)->d_version);
    cfiOID i10 = inst("i10", other);
    EXPECT_EQ(record(i10), o);
    EXPECT_EQ(o->d_describer, viewObj(other));
}

// Instances read from a file come with a record that caches no describer. When the describer is
// found, the record owes its instances to the describer's references (no scan of the view); the
// references settle to exactly the live instances whatever was made or destroyed meanwhile, and
// to none once the instantiating view is purged.
TEST_F(Describers, StoredInstancesJoinTheDescribersReferencesWhenItIsFound) {
    cfiOID d = describer("symbol", 2);
    for (const char *name : {"i1", "i2", "i3"}) inst(name, d);
    ASSERT_CODE(cfidrLibSave(lib, &e), 0);
    for (bool settleFirst : {true, false}) {
        cfidrPIQuit(&e);
        cfidrPIInit(&e);
        cfiOID v = cfidrPIOpenView("ilib", "top", "netlist", cfidrUpdateMode, &e);
        ASSERT_EQ(e, 0);
        auto instNamed = [&](const char *name) { return cfidrNetlistViewFindInstByName(v, name, &e); };
        cfiOID i1 = instNamed("i1");
        ASSERT_EQ(record(i1)->d_describer, nullptr);
        cfiOID found = cfidrInstGetDescriber(i1, &e);
        ASSERT_EQ(e, 0);
        nyxNetlistView *dv = viewObj(found);
        if (settleFirst) {
            EXPECT_EQ(nyxInstance::instanceRefs(dv).nitems(), 3);
        }
        inst("j", found, v);
        ASSERT_CODE(cfidrObjectDestroy(instNamed("i2"), &e), 0);
        EXPECT_EQ(nyxInstance::instanceRefs(dv).nitems(), 3) << settleFirst;
        for (const char *name : {"i1", "i3", "j"}) {
            EXPECT_GE(nyxInstance::instanceRefs(dv).index_of(object(instNamed(name))), 0) << name;
        }
        ASSERT_CODE(cfidrViewPurge(v, &e), 0);
        EXPECT_EQ(nyxInstance::instanceRefs(dv).nitems(), 0);
        EXPECT_EQ(dv->cachedBy().nitems(), 0);
    }
}
