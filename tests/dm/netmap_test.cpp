// The net name map and the walk over a view's nets, at sizes beyond one block and one table:
// classes found by name, names of every length, creation into the slot a failed search found,
// and a walk that meets freed slots, block ends and nets made while it runs.
#include <string>
#include <vector>

#include "dm/netlist/netlist.h"
#include "dm/netlist/netmap.h"
#include "dm/port_fixture.h"
#include "pi/pi.h"
#include "dm/dm_checks.h"

using porttest::Session;

namespace {

struct NetMap : Session {
    nyxNetlistView *v() { return nyxpi::object<nyxNetlistView>(view); }
    cfiOID scalar(const std::string &name) {
        return dmtest::ok(cfidrNetlistViewCreateNetScalar, view, name.c_str());
    }
    std::string walk(int32_t mode) {
        return dmtest::iterNames(dmtest::ok(cfidrNetlistViewGetNets, view, mode), cfidrIterNextNet);
    }
};

} // namespace

TEST_F(NetMap, ClassesAndNamesOfEveryLength) {
    // Names of 1 to 40 characters sharing prefixes and suffixes, so that every read width of
    // the hash meets names that differ in one character only.
    std::vector<std::string> names;
    for (size_t len = 1; len <= 40; ++len) {
        for (char c : {'a', 'b'}) {
            std::string s(len, 'x');
            s[len / 2] = c;
            names.push_back(s);
        }
    }
    for (const std::string &s : names) scalar(s);
    cfidrNetlistViewCreateNetBus(view, "bus", 0, 1, &e);
    cfiOID bundle = cfidrNetlistViewCreateNetBundle(view, "bundle", &e);
    cfiOID alias = nyxdrNetCreateNetAlias(bundle, "other", &e);
    ASSERT_EQ(e, 0);
    ASSERT_NE(alias.object, 0u);
    nyxNetMap *map = v()->netNameMap();
    ASSERT_NE(map, nullptr);
    EXPECT_TRUE(map->isValid());
    for (const std::string &s : names) {
        cfiOID n = cfidrNetlistViewFindNetByName(view, s.c_str(), &e);
        ASSERT_EQ(e, 0) << s;
        EXPECT_EQ(cfidrNamedObjectGetName(n, &e), s);
        EXPECT_EQ(cfidrObjectGetObjectType(n, &e), cfidrNetScalarType);
    }
    // The class of what was found comes with the entry: bus, bundle, and an alias's net.
    cfiOID foundBus = cfidrNetlistViewFindNetByName(view, "bus", &e);
    EXPECT_EQ(cfidrObjectGetObjectType(foundBus, &e), cfidrNetBusType);
    cfiOID viaAlias = cfidrNetlistViewFindNetByName(view, "other", &e);
    EXPECT_EQ(cfidrObjectIsSame(viaAlias, bundle, &e), 1);
    int32_t code = 0;
    EXPECT_NE(map->find("other", &code), nullptr);
    EXPECT_EQ(code, nyxCodeNetAlias);
    // A name present as a prefix or extension of others is not found by them.
    EXPECT_CODE(cfidrNetlistViewFindNetByName(view, "xx", &e), cfidrErrNotFound);
}

// Creation puts a net into the free slot its duplicate search ended on. Destruction and renaming
// in between shift entries back; growth of the table moves everything.
TEST_F(NetMap, CreationAfterShiftsAndGrowth) {
    const int n = 5000;  // beyond the first table's half
    std::vector<cfiOID> nets;
    for (int i = 0; i < n; ++i) nets.push_back(scalar("net" + std::to_string(i)));
    ASSERT_TRUE(v()->netNameMap()->isValid());
    EXPECT_GT(v()->netNameMap()->capacity(), nyxNetMap::kInitialSlots);
    for (int i = 0; i < n; i += 3) ASSERT_CODE(cfidrObjectDestroy(nets[i], &e), 0);
    for (int i = 1; i < n; i += 3) {
        ASSERT_CODE(cfidrNamedObjectSetName(nets[i], ("renamed" + std::to_string(i)).c_str(), &e), 0);
    }
    for (int i = 0; i < n; i += 3) scalar("net" + std::to_string(i));
    nyxNetMap *map = v()->netNameMap();
    EXPECT_TRUE(map->isValid());
    EXPECT_EQ(map->size(), static_cast<uint32_t>(n));
    for (int i = 0; i < n; ++i) {
        std::string name = (i % 3 == 1 ? "renamed" : "net") + std::to_string(i);
        cfidrNetlistViewFindNetByName(view, name.c_str(), &e);
        EXPECT_EQ(e, 0) << name;
    }
}

// The walk reads each block's slots in place: freed slots are skipped, a new block is entered at
// a block end, nets made during the walk in later slots are met, and a reset starts over.
TEST_F(NetMap, WalkAcrossBlocksWithFreedAndNewSlots) {
    const int n = 3 * nyxNetlistView::kScalarSlots + 5;
    std::vector<cfiOID> nets;
    for (int i = 0; i < n; ++i) nets.push_back(scalar("s" + std::to_string(i)));
    cfiOID bus = cfidrNetlistViewCreateNetBus(view, "B", 0, 1, &e);
    cfidrNetBundleInsertNet(bus, nets[1], -1, &e);
    std::string expected;
    for (int i = 0; i < n; ++i) {
        // Freed: the first and last slot of a block, and a whole run.
        if (i == 0 || i == nyxNetlistView::kScalarSlots - 1 || (i >= 30 && i < 40)) {
            ASSERT_CODE(cfidrObjectDestroy(nets[i], &e), 0);
            continue;
        }
        expected += (expected.empty() ? "s" : " s") + std::to_string(i);
    }
    EXPECT_EQ(walk(1), expected);
    EXPECT_EQ(walk(4), expected + " B");
    EXPECT_EQ(walk(2), "B");
    EXPECT_EQ(walk(3), expected.substr(3) + " B");  // s1 is in the bus

    // Made during the walk: new nets take the free slots of the last block, ahead of the walk,
    // which meets them.
    cfidrIterT it = cfidrNetlistViewGetNets(view, cfidrScalarIterMode, &e);
    int seen = 0;
    bool made = false;
    for (cfiOID x = cfidrIterNextNet(it, &e); x.object != 0; x = cfidrIterNextNet(it, &e)) {
        ++seen;
        if (!made && seen == n - 12) {  // the last net: the walk is in the last block
            for (int k = 0; k < 15; ++k) scalar("late" + std::to_string(k));
            made = true;
        }
    }
    EXPECT_EQ(seen, n - 12 + 15);
    cfidrIterReset(it, &e);
    int again = 0;
    for (cfiOID x = cfidrIterNextNet(it, &e); x.object != 0; x = cfidrIterNextNet(it, &e)) ++again;
    EXPECT_EQ(again, n - 12 + 15);
    cfidrIterQuit(it, &e);
    EXPECT_EQ(cfidrIterNextNet(it, &e).object, 0u);
}

// A creation that fails its checks after the net was made in a free slot leaves nothing behind:
// same slot count, same position for the next net, the name free again.
TEST_F(NetMap, RefusedCreationLeavesNoNet) {
    scalar("a");
    cfiOID bus = cfidrNetlistViewCreateNetBus(view, "B", 0, 1, &e);
    ASSERT_EQ(e, 0);
    const int32_t slots = nyxdrNetlistViewGetNetCount(view, &e);
    EXPECT_CODE(cfidrNetlistViewCreateNetScalar(view, "a", &e), cfidrErrAlreadyExists);
    EXPECT_CODE(cfidrNetlistViewCreateNetScalar(view, "B", &e), cfidrErrNameTaken);
    EXPECT_CODE(cfidrNetlistViewCreateNetBus(view, "C", 0, 0, &e), cfidrErrBadValue);
    cfidrNetlistViewCreateNetBus(view, "B", 0, 0, &e);
    EXPECT_EQ(e, cfidrErrAlreadyExists);  // the duplicate is reported before the step
    EXPECT_EQ(nyxdrNetlistViewGetNetCount(view, &e), slots);
    EXPECT_EQ(walk(4), "a B");
    cfiOID b = scalar("b");
    EXPECT_EQ(nyxdrNetGetPosition(b, &e), 1);
    cfiOID c = cfidrNetlistViewCreateNetBus(view, "C", 0, 1, &e);
    ASSERT_EQ(e, 0);
    EXPECT_EQ(nyxdrNetGetPosition(c, &e), nyxdrNetGetPosition(bus, &e) + 1);
    EXPECT_TRUE(v()->netNameMap()->isValid());
    EXPECT_EQ(v()->netNameMap()->size(), 4u);
}
