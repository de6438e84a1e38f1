// The view file with instances: describer records, instances of every size, port instances of
// every kind with their connections and properties, through save, purge and reload; the bytes of
// the instance records; cut and damaged files with instances.
#include <cstdlib>

#include "io/view_fixture.h"

using iotest::readBytes;
using iotest::ViewSession;

namespace {

nyxObjRef makeProp(void *owner, int32_t code, const char *name) {
    cfidrErrorT e = 0;
    nyxObjRef r = nyxClasses::row(code)->createProp(owner, 0, name, &e);
    EXPECT_EQ(e, 0) << name;
    return r;
}

void setInt(nyxObjRef p, int32_t v) {
    cfidrErrorT e = 0;
    nyxPropSetInt(static_cast<nyxPropList *>(p.obj), p.member, v, &e);
    EXPECT_EQ(e, 0);
}

void setText(nyxObjRef p, const char *v) {
    cfidrErrorT e = 0;
    nyxPropSetString(static_cast<nyxPropList *>(p.obj), p.member, v, &e);
    EXPECT_EQ(e, 0);
}

struct InstSession : ViewSession {
    // A cell of the session's library with a view "netlist" that gets its ports from `fill`.
    template <class Fill>
    nyxNetlistView *leaf(const char *cellName, Fill fill) {
        cfidrErrorT err = 0;
        cfiOID c = cfidrLibCreateCell(lib, cellName, &err);
        cfiOID v = cfidrCellCreateNetlistView(c, "netlist", &err);
        EXPECT_EQ(err, 0);
        fill(v);
        return asView(v);
    }
    nyxInst *inst(nyxNetlistView *describer, const char *name) {
        cfidrErrorT err = 0;
        nyxInst *i = nyxInstance::createInst(asView(view), describer, name, &err);
        EXPECT_EQ(err, 0) << name;
        EXPECT_NE(i, nullptr);
        return i;
    }
    nyxNetScalar *net(const char *name) {
        cfidrErrorT err = 0;
        return nyxpi::object<nyxNetScalar>(cfidrNetlistViewFindNetByName(view, name, &err));
    }
    void attach(const char *netName, uintptr_t *word) {
        cfidrErrorT err = 0;
        nyxNet::attach(net(netName), word, nyxPortInstSide, 1, &err);
        EXPECT_EQ(err, 0) << netName;
    }

    // Describers with nested groups, 250 top-level ports, a bus of 300 members and seventeen
    // small ones; 300 nets; instances sharing records and a describer edited in between.
    void populate() {
        cfidrErrorT err = 0;
        nyxNetlistView *a = leaf("cellA", [&](cfiOID v) {
            cfidrNetlistViewCreatePortScalar(v, "in", -1, cfidrInputDirection, &err);
            cfidrNetlistViewCreatePortScalar(v, "out", -1, cfidrOutputDirection, &err);
            cfiOID b = cfidrNetlistViewCreatePortBus(v, "b", -1, 3, -1, &err);
            for (int i = 0; i < 4; ++i)
                cfidrPortBundleCreatePortScalar(b, ("b" + std::to_string(i)).c_str(), -1,
                                                cfidrInOutDirection, &err);
            cfiOID g = cfidrNetlistViewCreatePortBundle(v, "g", -1, &err);
            cfidrPortBundleCreatePortScalar(g, "s", -1, cfidrUndefinedDirection, &err);
            cfiOID inner = cfidrPortBundleCreatePortBus(g, "w", -1, 7, 5, &err);
            cfidrPortBundleCreatePortScalar(inner, "w0", -1, cfidrInputDirection, &err);
            cfidrPortBundleCreatePortScalar(inner, "w1", -1, cfidrInputDirection, &err);
            cfidrPortBundleCreatePortBundle(g, "none", -1, &err);
        });
        nyxNetlistView *big = leaf("cellBig", [&](cfiOID v) {
            for (int i = 0; i < 250; ++i) cfidrNetlistViewCreatePortScalar(v, ("p" + std::to_string(i)).c_str(), -1, i & 3, &err);
        });
        nyxNetlistView *wide = leaf("cellWide", [&](cfiOID v) {
            cfiOID b = cfidrNetlistViewCreatePortBus(v, "wide", -1, 0, 1, &err);
            for (int i = 0; i < 300; ++i)
                cfidrPortBundleCreatePortScalar(b, ("x" + std::to_string(i)).c_str(), -1,
                                                cfidrUndefinedDirection, &err);
        });
        ASSERT_EQ(err, 0);
        for (int i = 0; i < 300; ++i) cfidrNetlistViewCreateNetScalar(view, ("n" + std::to_string(i)).c_str(), &err);
        ASSERT_EQ(err, 0);

        nyxInst *a1 = inst(a, "a1");
        attach("n0", a1->slot(0));
        attach("n299", a1->slot(1));  // net id above 255: the long form
        attach("n1", nyxPortInst::member(a1->slot(2), 3));
        uintptr_t *w = nyxPortInst::member(a1->slot(3), 1);
        attach("n2", nyxPortInst::member(w, 1));
        nyxInst *a2 = inst(a, "a2");
        attach("n0", a2->slot(0));  // two port instances on one net
        // The describer changes: the next instance gets a record of the new version.
        cfidrNetlistViewCreatePortScalar(cfidrCellFindViewByName(cfidrLibFindCellByName(lib, "cellA", &err), "netlist", &err),
                                         "late", -1, cfidrInOutDirection, &err);
        ASSERT_EQ(err, 0);
        nyxInst *a3 = inst(a, "a3");
        attach("n3", a3->slot(4));

        nyxInst *big1 = inst(big, "big1");
        attach("n4", big1->slot(0));
        attach("n5", big1->slot(249));  // in the continuation block
        nyxInst *wide1 = inst(wide, "wide1");
        attach("n6", nyxPortInst::member(wide1->slot(0), 0));
        attach("n7", nyxPortInst::member(wide1->slot(0), 299));  // in the continuation block
        for (int i = 0; i < 17; ++i) {
            nyxNetlistView *t = leaf(("tiny" + std::to_string(i)).c_str(), [&](cfiOID v) {
                cfidrNetlistViewCreatePortScalar(v, "t", -1, cfidrInputDirection, &err);
            });
            nyxInst *ti = inst(t, ("t" + std::to_string(i)).c_str());  // record ids above 15
            attach(("n" + std::to_string(100 + i)).c_str(), ti->slot(0));
        }

        // Properties on instances, on properties of instances and on port instances of every kind.
        setInt(makeProp(a1, nyxCodeInst, "weight"), 12);
        nyxObjRef note = makeProp(a1, nyxCodeInst, "note");
        setText(note, "first of two");
        cfidrErrorT e = 0;
        nyxObjRef deeper = nyxPropCreateOnProp(static_cast<nyxPropList *>(note.obj), note.member, "deeper", &e);
        setInt(deeper, -4);
        setInt(makeProp(a1->slot(0), nyxCodePortInstScalar, "cap"), 7);
        setText(makeProp(a1->slot(2), nyxCodePortInstBus, "busnote"), "on a bus");
        setText(makeProp(a1->slot(3), nyxCodePortInstBundle, "bundlenote"), "");
        setInt(makeProp(nyxPortInst::member(wide1->slot(0), 250), nyxCodePortInstScalar, "far"), 250);
        setInt(makeProp(big1->slot(245), nyxCodePortInstScalar, "late_slot"), 245);
        makeProp(big1, nyxCodeInst, "flagless");
        ASSERT_EQ(e, 0);
    }
};

// Peak resident bytes of the process so far.
long peakResident() {
    std::ifstream status("/proc/self/status");
    std::string key;
    long kb = 0;
    while (status >> key) {
        if (key == "VmHWM:" && status >> kb) return kb * 1024;
    }
    return 0;
}

// Test files for the fuzz target's corpus, when NYX_WRITE_SEEDS names a directory.
void writeSeed(const char *name, const std::string &bytes) {
    const char *dir = std::getenv("NYX_WRITE_SEEDS");
    if (dir != nullptr) std::ofstream(std::string(dir) + "/" + name, std::ios::binary) << bytes;
}

} // namespace

TEST_F(InstSession, RoundTripKeepsInstancesRecordsAndPortInstances) {
    populate();
    nyxNetlistView *v = asView(view);
    const std::string before = iotest::dumpView(v);
    const int32_t records = v->describers().nitems();
    ASSERT_EQ(records, 21);  // cellA twice (two versions), big, wide, seventeen tiny ones

    saveAndPurge(view);
    cfiOID again = cfidrCellFindViewByName(cell, "netlist", &e);
    ASSERT_EQ(e, 0);
    nyxNetlistView *loaded = asView(again);
    EXPECT_EQ(iotest::dumpView(loaded), before);
    EXPECT_EQ(loaded->describers().nitems(), records);
    EXPECT_EQ(loaded->d_changed, 0);
    // Instances of the same describer version share their record after the reload too.
    cfidrErrorT err = 0;
    nyxInst *a1 = nyxInstance::findByName(loaded, "a1", &err);
    nyxInst *a2 = nyxInstance::findByName(loaded, "a2", &err);
    nyxInst *a3 = nyxInstance::findByName(loaded, "a3", &err);
    ASSERT_EQ(err, 0);
    EXPECT_EQ(a1->footPrint(), a2->footPrint());
    EXPECT_NE(a1->footPrint(), a3->footPrint());
    EXPECT_EQ(a1->footPrint()->d_useCount, 2);
    // Connections work from the net side as well: n0 reaches both port instances.
    nyxNetScalar *n0 = nyxPortInst::net(a1->slot(0));
    ASSERT_NE(n0, nullptr);
    EXPECT_EQ(n0, nyxPortInst::net(a2->slot(0)));
    cfidrIterT it = cfidrNetGetPortInsts(cfidrNetlistViewFindNetByName(again, "n0", &err), &err);
    int found = 0;
    for (cfiOID p = cfidrIterNextPortInst(it, &err); p.object != 0; p = cfidrIterNextPortInst(it, &err)) ++found;
    cfidrIterQuit(it, &err);
    EXPECT_EQ(found, 2);

    // Written again from the reloaded view, the file is byte for byte the same.
    const std::string first = readBytes(filePath());
    nyxMemorySink sink;
    ASSERT_TRUE(nyxViewIO::encode(loaded, sink, &err));
    EXPECT_EQ(sink.bytes(), first);
    // A destroyed instance leaves the file with its record when it was the last user.
    nyxInstance::destroy(nyxInstance::findByName(loaded, "t3", &err), &err);
    ASSERT_EQ(err, 0);
    saveAndPurge(again);
    again = cfidrCellFindViewByName(cell, "netlist", &e);
    EXPECT_EQ(asView(again)->describers().nitems(), records - 1);
    EXPECT_EQ(nyxInstance::findByName(asView(again), "t3", &err), nullptr);
}

TEST_F(InstSession, InstanceRecordsHaveTheDocumentedBytes) {
    cfidrErrorT err = 0;
    nyxNetlistView *d = leaf("leaf", [&](cfiOID v) {
        cfidrNetlistViewCreatePortScalar(v, "p", -1, cfidrOutputDirection, &err);
        cfidrNetlistViewCreatePortScalar(v, "q", -1, cfidrUndefinedDirection, &err);
    });
    for (int i = 0; i < 301; ++i) cfidrNetlistViewCreateNetScalar(view, ("n" + std::to_string(i)).c_str(), &err);
    nyxInst *i1 = inst(d, "i1");
    attach("n1", i1->slot(0));
    attach("n300", i1->slot(1));
    ASSERT_EQ(err, 0);
    nyxMemorySink sink;
    ASSERT_TRUE(nyxViewIO::encode(asView(view), sink, &err));
    const std::string &bytes = sink.bytes();
    // Record 13: "iolib", "leaf", "netlist", version, 2 ports; record ports (type 4) of
    // scalars with direction 2 and 0.
    const std::string describer = std::string("\x11\x0D") + "\x35iolib" + "\x34leaf" + "\x37netlist";
    const size_t at = bytes.find(describer);
    ASSERT_NE(at, std::string::npos);
    size_t pos = at + describer.size();
    // The version: an integer of 0 to 4 following bytes.
    const int tag = static_cast<unsigned char>(bytes[pos]);
    ASSERT_TRUE(tag >= 0x10 && tag <= 0x14);
    pos += 1 + static_cast<size_t>(tag - 0x10);
    EXPECT_EQ(bytes.substr(pos, 2), std::string("\x11\x02", 2));                // two ports
    EXPECT_EQ(bytes.substr(pos + 2, 5), std::string("\x12\x00\x94\x31p", 5));  // 4 | (1 | 2 << 2) << 4
    EXPECT_EQ(bytes.substr(pos + 7, 4), std::string("\x11\x14\x31q", 4));      // 4 | 1 << 4
    // Record 2 with short id 0 (0x12), the name, then the port instances: net id 1 in the short
    // form (1 << 5 | 17 = 0x31), net id 300 as the integers 1 and 300.
    EXPECT_EQ(bytes.substr(pos + 11, 5), std::string("\x11\x12\x32i1", 5));
    EXPECT_EQ(bytes.substr(pos + 16, 7), std::string("\x11\x31\x11\x01\x12\x01\x2C", 7));
    EXPECT_EQ(bytes.substr(pos + 23, 2), std::string("\x11\x0F", 2));  // end of body
    writeSeed("insts", bytes);

    // A stored describer view name may hold a tab or a newline: read as "/" and ".".
    std::string tabbed = bytes;
    tabbed.replace(at + describer.size() - 8, 8, std::string("\x37net\tis\n", 8));
    nyxNetlistView *fresh = asView(cfidrCellCreateNetlistView(cell, "fresh", &err));
    nyxViewIO::decode(fresh, tabbed.data(), tabbed.size(), &err);
    ASSERT_EQ(err, 0);
    ASSERT_EQ(fresh->describers().nitems(), 1);
    EXPECT_STREQ(static_cast<nyxFootPrint *>(fresh->describers()[0])->viewName(), "net/is.");
}

TEST_F(InstSession, CutOrDamagedFilesWithInstancesFailCleanly) {
    cfidrErrorT err = 0;
    nyxNetlistView *d = leaf("leaf", [&](cfiOID v) {
        cfidrNetlistViewCreatePortScalar(v, "p", -1, cfidrOutputDirection, &err);
        cfiOID b = cfidrNetlistViewCreatePortBus(v, "b", -1, 2, 2, &err);
        cfidrPortBundleCreatePortScalar(b, "b0", -1, cfidrInputDirection, &err);
        cfidrPortBundleCreatePortScalar(b, "b1", -1, cfidrInputDirection, &err);
    });
    cfidrNetlistViewCreateNetScalar(view, "n", &err);
    cfidrNetlistViewCreateNetScalar(view, "m", &err);
    nyxInst *i1 = inst(d, "i1");
    nyxInst *i2 = inst(d, "i2");
    attach("n", i1->slot(0));
    attach("m", nyxPortInst::member(i1->slot(1), 1));
    attach("n", i2->slot(0));
    setInt(makeProp(i2, nyxCodeInst, "k"), 5);
    setInt(makeProp(nyxPortInst::member(i2->slot(1), 0), nyxCodePortInstScalar, "pk"), 6);
    ASSERT_EQ(err, 0);
    nyxMemorySink sink;
    ASSERT_TRUE(nyxViewIO::encode(asView(view), sink, &err));
    const std::string bytes = sink.bytes();
    writeSeed("insts_props", bytes);

    cutAndDamage(bytes, 4242);

    // Port instance records that do not follow the record's shape, ids out of range, a net
    // id naming a bus: each is refused.
    const std::string instWord("\x11\x12\x32i1", 5);
    const size_t at = bytes.find(instWord);
    ASSERT_NE(at, std::string::npos);
    std::string bad = bytes;
    bad[at + 1] = '\x32';  // record 2 with short describer id 1: no such record
    EXPECT_EQ(tryDecode(bad), 4);
    bad = bytes;
    bad[at + 5 + 1] = static_cast<char>(5 << 5 | 17);  // net id 5 of two nets
    EXPECT_EQ(tryDecode(bad), 4);
}

TEST_F(InstSession, NestedRecordPortsCannotClaimMoreThanTheFileHolds) {
    // A describer record whose bundles nest fifty deep, each claiming a million members, in a
    // file of a few megabytes: refused before the claims add up to more than the file holds.
    nyxMemorySink sink;
    nyxTagWriter out(sink);
    const unsigned char lead = ' ';
    out.putRaw(&lead, 1);
    out.put("%d%d%d%s%s%d", 1514944819, 0, 'N', "v", "CFIDR_NETLISTVIEW", 0);
    const uint64_t patchAt = out.offset();
    out.putRaw("\0\0\0\0", 4);
    out.put("%d%s%s%s%d%d", 13, "lib", "cell", "view", 0, 1);
    for (int i = 0; i < 50; ++i) out.put("%d%s%d%d", 4 | 2 << 4, "g", 15, 1000000);
    out.putInt(15);
    const uint64_t trailer = out.offset();
    out.put("%d%d%d%d%d", 0, 12, 0, 15, 81);
    out.patch32(patchAt, static_cast<uint32_t>(trailer));
    std::string bytes = sink.bytes() + std::string(4 << 20, '\0');
    ASSERT_TRUE(out.ok());
    const long peak = peakResident();
    nyxViewIO::decode(asView(view), bytes.data(), bytes.size(), &e);
    EXPECT_EQ(e, cfidrErrInternal);
    // The first claim fits (its member array is made); the second does not.
    EXPECT_LT(peakResident() - peak, 256L << 20);
    EXPECT_EQ(asView(view)->describers().nitems(), 0);
}
