// A two-level design built, saved, reloaded and edited through the C interface while memory or the
// disk fails at one point of it after another. Whatever the point, the call that meets the failure
// reports an error, the model stays consistent, and the scenario taken up again from that call
// with the fault gone ends in exactly the design of a run without faults.
#include <filesystem>
#include <functional>

#include "dm/netlist/instInt.h"
#include "dm/netlist/netmap.h"
#include "io/view_fixture.h"
#include "utils/heap.h"

namespace {

using Step = std::function<void(cfidrErrorT *)>;

cfiOID cellOf(cfiOID lib, const char *cell, cfidrErrorT *e) {
    return cfidrLibFindCellByName(lib, cell, e);
}

// The netlist view of a cell, read from its file when it was purged; null after an error.
cfiOID viewOf(cfiOID lib, const char *cell, cfidrErrorT *e) {
    cfiOID c = cellOf(lib, cell, e);
    return *e != 0 ? cfiOID{} : cfidrCellFindViewByName(c, "netlist", e);
}

cfiOID topNet(cfiOID lib, const char *net, cfidrErrorT *e) {
    cfiOID v = viewOf(lib, "top", e);
    return *e != 0 ? cfiOID{} : cfidrNetlistViewFindNetByName(v, net, e);
}

cfiOID topInst(cfiOID lib, const char *inst, cfidrErrorT *e) {
    cfiOID v = viewOf(lib, "top", e);
    return *e != 0 ? cfiOID{} : cfidrNetlistViewFindInstByName(v, inst, e);
}

cfiOID portInst(cfiOID lib, const char *inst, const char *port, cfidrErrorT *e) {
    cfiOID i = topInst(lib, inst, e);
    return *e != 0 ? cfiOID{} : cfidrInstFindPortInstByDescriberName(i, port, e);
}

struct FaultSweep : testing::Test {
    void TearDown() override {
        nyxFileIO::failOperation(0);
        Hx_topheap::failPageRequest(0);
        cfidrPIQuit(&e);
    }

    // A new session with an empty library "sweep" (none on disk).
    void fresh() {
        cfidrPIQuit(&e);
        std::filesystem::remove_all("sweep");
        setenv("ZIL_NYX_LIBRARYMAP", ".", 1);
        cfidrPIInit(&e);
        ASSERT_EQ(e, 0);
        lib = cfidrPICreateLib("sweep", &e);
        ASSERT_EQ(e, 0);
    }

    // Each step makes at most one change, as its last call, so that a step that failed can be run
    // again as it stands; objects are found by name since a reload makes new handles.
    std::vector<Step> scenario() {
        std::vector<Step> s;
        auto add = [&](Step step) { s.push_back(std::move(step)); };
        add([this](cfidrErrorT *e) { cfidrLibCreateCell(lib, "leaf", e); });
        add([this](cfidrErrorT *e) {
            cfiOID c = cellOf(lib, "leaf", e);
            if (*e == 0) cfidrCellCreateNetlistView(c, "netlist", e);
        });
        for (const char *port : {"a", "b", "y"})
            add([this, port](cfidrErrorT *e) {
                cfiOID v = viewOf(lib, "leaf", e);
                if (*e == 0) cfidrNetlistViewCreatePortScalar(v, port, -1, port[0] == 'y' ? 2 : 1, e);
            });
        add([this](cfidrErrorT *e) {
            cfiOID v = viewOf(lib, "leaf", e);
            if (*e == 0) cfidrNetlistViewCreateNetScalar(v, "inner", e);
        });
        add([this](cfidrErrorT *e) {
            cfiOID v = viewOf(lib, "leaf", e);
            cfiOID net = *e == 0 ? cfidrNetlistViewFindNetByName(v, "inner", e) : cfiOID{};
            cfiOID port = *e == 0 ? cfidrNetlistViewFindPortByName(v, "a", e) : cfiOID{};
            if (*e == 0) cfidrNetAttachPort(net, port, cfidrPositionAttachMode, e);
        });
        add([this](cfidrErrorT *e) { cfidrLibCreateCell(lib, "top", e); });
        add([this](cfidrErrorT *e) {
            cfiOID c = cellOf(lib, "top", e);
            if (*e == 0) cfidrCellCreateNetlistView(c, "netlist", e);
        });
        for (const char *net : {"n1", "n2", "n3"})
            add([this, net](cfidrErrorT *e) {
                cfiOID v = viewOf(lib, "top", e);
                if (*e == 0) cfidrNetlistViewCreateNetScalar(v, net, e);
            });
        for (const char *inst : {"i0", "i1", "i2"})
            add([this, inst](cfidrErrorT *e) {
                cfiOID v = viewOf(lib, "top", e);
                cfiOID leaf = *e == 0 ? viewOf(lib, "leaf", e) : cfiOID{};
                if (*e == 0) cfidrNetlistViewCreateInst(v, leaf, inst, e);
            });
        const char *wiring[][3] = {{"i0", "a", "n1"}, {"i0", "y", "n2"}, {"i1", "a", "n2"},
                                   {"i1", "y", "n3"}, {"i2", "a", "n3"}, {"i2", "b", "n1"}};
        for (auto &w : wiring)
            add([this, w](cfidrErrorT *e) {
                cfiOID pi = portInst(lib, w[0], w[1], e);
                cfiOID net = *e == 0 ? topNet(lib, w[2], e) : cfiOID{};
                if (*e == 0) cfidrNetAttachPortInst(net, pi, cfidrPositionAttachMode, e);
            });
        // Properties on the library, both views, an instance, a net and a port.
        using Owner = std::function<cfiOID(cfidrErrorT *)>;
        const std::pair<const char *, Owner> owners[] = {
            {"rev", [this](cfidrErrorT *) { return lib; }},
            {"top", [this](cfidrErrorT *e) { return viewOf(lib, "top", e); }},
            {"leaf", [this](cfidrErrorT *e) { return viewOf(lib, "leaf", e); }},
            {"w", [this](cfidrErrorT *e) { return topInst(lib, "i1", e); }},
            {"cap", [this](cfidrErrorT *e) { return topNet(lib, "n1", e); }},
            {"pin", [this](cfidrErrorT *e) {
                 cfiOID v = viewOf(lib, "leaf", e);
                 return *e != 0 ? cfiOID{} : cfidrNetlistViewFindPortByName(v, "y", e);
             }},
        };
        for (const auto &[name, owner] : owners) {
            add([name, owner](cfidrErrorT *e) {
                cfiOID o = owner(e);
                if (*e == 0) cfidrObjectCreateProp(o, name, e);
            });
            add([name, owner](cfidrErrorT *e) {
                cfiOID o = owner(e);
                cfiOID p = *e == 0 ? cfidrObjectFindPropByName(o, name, e) : cfiOID{};
                if (*e == 0) cfidrPropSetInt32Value(p, static_cast<int32_t>(strlen(name)), e);
            });
        }
        add([this](cfidrErrorT *e) { cfidrLibSave(lib, e); });
        for (const char *cell : {"top", "leaf"})
            add([this, cell](cfidrErrorT *e) {
                cfiOID v = viewOf(lib, cell, e);
                if (*e == 0) cfidrViewPurge(v, e);
            });
        // Touching an instance reads the top view and, through its record, finds the leaf again.
        add([this](cfidrErrorT *e) {
            cfiOID pi = portInst(lib, "i2", "y", e);
            if (*e == 0) cfidrPortInstGetDescriber(pi, e);
        });
        add([this](cfidrErrorT *e) {
            cfiOID pi = portInst(lib, "i1", "y", e);
            cfiOID net = *e == 0 ? topNet(lib, "n3", e) : cfiOID{};
            if (*e == 0) cfidrNetDetachPortInst(net, pi, e);
        });
        add([this](cfidrErrorT *e) {
            cfiOID pi = portInst(lib, "i2", "y", e);
            cfiOID net = *e == 0 ? topNet(lib, "n1", e) : cfiOID{};
            if (*e == 0) cfidrNetAttachPortInst(net, pi, cfidrPositionAttachMode, e);
        });
        add([this](cfidrErrorT *e) {
            cfiOID i = topInst(lib, "i0", e);
            if (*e == 0) cfidrObjectDestroy(i, e);
        });
        add([this](cfidrErrorT *e) {
            cfiOID n = topNet(lib, "n2", e);
            if (*e == 0) cfidrObjectDestroy(n, e);
        });
        add([this](cfidrErrorT *e) {
            cfiOID v = viewOf(lib, "top", e);
            if (*e == 0) cfidrViewSave(v, e);
        });
        return s;
    }

    // Runs steps from `first` on; the index of the first that fails, or steps.size().
    size_t run(const std::vector<Step> &steps, size_t first) {
        for (size_t i = first; i < steps.size(); ++i) {
            steps[i](&e);
            if (e != 0) return i;
        }
        return steps.size();
    }

    // Both views (read from disk when purged) pass their checks; their dump, top then leaf.
    std::string checkedDesign() {
        std::string out;
        for (const char *cell : {"top", "leaf"}) {
            cfiOID v = viewOf(lib, cell, &e);
            if (e != 0) {
                out += std::string(cell) + " missing\n";
                continue;
            }
            nyxNetlistView *nv = nyxpi::object<nyxNetlistView>(v);
            EXPECT_TRUE(nyxPort::isValid(nv)) << cell;
            EXPECT_TRUE(nv->viewHeap()->isValid() && nv->blockHeap()->isValid()) << cell;
            EXPECT_TRUE(nv->netNameMap() == nullptr || nv->netNameMap()->isValid()) << cell;
            EXPECT_TRUE(nv->instNameMap() == nullptr || nv->instNameMap()->isValid()) << cell;
            out += iotest::dumpView(nv);
        }
        EXPECT_TRUE(Hx_topheap::isValid());
        return out;
    }

    // The design saved on disk as a new session reads it.
    std::string storedDesign() {
        cfidrPIQuit(&e);
        cfidrPIInit(&e);
        lib = cfidrPIOpenLib("sweep", cfidrUpdateMode, &e);
        EXPECT_EQ(e, 0);
        return checkedDesign();
    }

    // Sweeps injection points 1, 2, ... (armed by `inject`, counted by `count`) over the scenario:
    // each must fail a step with an error, leave a consistent model, and let the scenario finish
    // from that step into the design of the run without faults. Returns the number of points.
    // `absorbable`: a single refused page request may be met by another (smaller) one instead.
    long sweep(const std::function<void(long)> &inject, const std::function<long()> &count,
               bool absorbable) {
        const std::vector<Step> steps = scenario();
        fresh();
        inject(0);
        EXPECT_EQ(run(steps, 0), steps.size()) << "error " << e;
        const std::string expected = checkedDesign();
        const std::string stored = storedDesign();
        EXPECT_EQ(stored, expected);
        long n = 1;
        for (;; ++n) {
            SCOPED_TRACE("injection point " + std::to_string(n));
            fresh();
            inject(n);
            const size_t failed = run(steps, 0);
            const long used = count();
            const cfidrErrorT code = e;
            inject(0);
            if (failed == steps.size() && used < n) break;  // every point was met
            if (failed == steps.size()) {
                // Only a failure that is absorbed on the spot (memory found another way) may
                // go unreported, and it must change nothing.
                EXPECT_TRUE(absorbable) << "a failure was reported as success";
                EXPECT_EQ(checkedDesign(), expected);
                EXPECT_EQ(storedDesign(), stored);
                if (HasFailure()) break;
                continue;
            }
            SCOPED_TRACE("failing step " + std::to_string(failed));
            EXPECT_NE(code, 0);
            checkedDesign();
            e = 0;
            EXPECT_EQ(run(steps, failed), steps.size()) << "error " << e;
            if (HasFailure()) break;
            EXPECT_EQ(checkedDesign(), expected);
            EXPECT_EQ(storedDesign(), stored);
            if (HasFailure() || n > 2000) break;
        }
        return n;
    }

    cfidrErrorT e = 0;
    cfiOID lib{};
};

} // namespace

// Memory runs out at the nth page request and stays out until the step has failed.
TEST_F(FaultSweep, MemoryRunningOutAtAnyPageRequestIsReportedAndTheScenarioRecovers) {
    const long points =
        sweep([](long n) { Hx_topheap::failPageRequest(n); }, Hx_topheap::pageRequestCount, false);
    EXPECT_GT(points, 10);
}

// One page request is refused; the next ones are granted.
TEST_F(FaultSweep, OneRefusedPageRequestIsReportedOrAbsorbedAndTheScenarioRecovers) {
    const long points = sweep([](long n) { Hx_topheap::failPageRequest(n, true); },
                              Hx_topheap::pageRequestCount, true);
    EXPECT_GT(points, 10);
}

TEST_F(FaultSweep, FileOperationFailingAtAnyPointIsReportedAndTheScenarioRecovers) {
    const long points = sweep(nyxFileIO::failOperation, nyxFileIO::operationCount, false);
    EXPECT_GT(points, 30);
}
