// The library session of `nyx import` (see import_session.h). Report lines, "name<TAB>value":
//
//   modules              netlist views the compilation made (the top and the modules below it)
//   instances, nets      summed over those views (nets as `nyx stats` counts them)
//   leaf cells           occurrences of cells no file defines, through the whole hierarchy
//   leaf cell views made views of the import's name made for those cells (ports only)
//   compile wall s       the open that compiled the top, wall clock
//   compile cpu s        the same, processor time of this process (the library's side)
//   global flat nets     --flat only: the design's global flat nets, and the wall time of
//   tree and flat nets wall s   its occurrence tree and flat nets
//   save wall s          --save only: the library's save
//   compiler cpu s       processor time of the compiler process(es), reaped at the session's end
//   peak rss MB          this process; compiler peak rss MB: the largest compiler process
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <strings.h>
#include <unordered_map>
#include <sys/resource.h>
#include <unistd.h>

#include "cfidr.h"
#include "import_session.h"
#include "nyxdr.h"
#include "nyxdw.h"

namespace nyxtool {
namespace {

int fail(const std::string &what, cfidrErrorT code) {
    cfidrErrorT e = 0;
    std::fprintf(stderr, "nyx import: %s (error %d: %s)\n", what.c_str(), code, cfidrPIGetErrorText(code, &e));
    return 1;
}

double seconds(clockid_t clock) {
    timespec ts;
    clock_gettime(clock, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// A module whose cell already holds a stored view of the name: compiling again would leave
// the stored one in place, so the import refuses. "" when none does.
std::string storedClash(cfiOID lib, const ImportRequest &r) {
    for (const std::string &m : r.modules) {
        cfidrErrorT e = 0;
        cfiOID cell = cfidrLibFindCellByName(lib, m.c_str(), &e);
        if (cell.object == 0) continue;
        const int32_t n = nyxdrCellGetEntryCount(cell, &e);
        for (int32_t i = 0; i < n; ++i) {
            const std::string kind = nyxdrCellGetEntryKind(cell, i, &e);
            if (kind.rfind("netlist view", 0) == 0 && strcasecmp(nyxdrCellGetEntryName(cell, i, &e), r.view.c_str()) == 0) {
                return m;
            }
        }
    }
    return "";
}

// Opens the top, compiling it; the compiler's messages reach the standard error stream with
// the lines of the library's copy named as lines of the input files.
cfiOID openTop(const ImportRequest &r, cfidrErrorT *err) {
    std::fflush(stderr);
    const int saved = ::dup(2);
    std::FILE *capture = std::tmpfile();
    if (saved < 0 || capture == nullptr || ::dup2(::fileno(capture), 2) < 0) {
        if (saved >= 0) ::close(saved);
        if (capture != nullptr) std::fclose(capture);
        return cfidrPIOpenView(r.lib.c_str(), r.top.c_str(), r.view.c_str(), cfidrUpdateMode, err);
    }
    cfiOID view = cfidrPIOpenView(r.lib.c_str(), r.top.c_str(), r.view.c_str(), cfidrUpdateMode, err);
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    std::string text;
    std::rewind(capture);
    char buf[65536];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, capture)) > 0;) text.append(buf, n);
    std::fclose(capture);
    const std::string mapped = mapLines(text, r.copy, r.parts);
    std::fwrite(mapped.data(), 1, mapped.size(), stderr);
    return view;
}

struct Counts {
    long modules = 0, instances = 0, nets = 0;
};

// Lookups by string_view in maps keyed by std::string, without a copy per instance.
struct NameHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
};

// The design below one module's view: counts each module once; returns its leaf occurrences.
class Tree {
public:
    Tree(cfiOID lib, const ImportRequest &r) : lib_(lib), view_(r.view), modules_(r.modules.begin(), r.modules.end()) {}

    long leaves(const std::string &module, cfiOID view) {
        auto done = leaves_.find(module);
        if (done != leaves_.end()) return done->second;
        leaves_[module] = 0;  // a module that instantiates itself counts nothing twice
        ++counts.modules;
        cfidrErrorT e = 0;
        counts.nets += nyxdrNetlistViewGetNetTotal(view, &e);
        // Instances by cell, from the view's describer records: each record counts the
        // instances that use it, so no instance is visited.
        std::unordered_map<std::string, long, NameHash, std::equal_to<>> used;
        const int32_t records = nyxdrNetlistViewGetDescriberCount(view, &e);
        for (int32_t k = 0; k < records; ++k) {
            const long count = nyxdrNetlistViewGetDescriberInstCount(view, k, &e);
            if (count <= 0) continue;
            counts.instances += count;
            const std::string cell = nyxdrNetlistViewGetDescriberCellName(view, k, &e);  // the ring is reused below
            auto slot = used.find(cell);
            if (slot != used.end()) {
                slot->second += count;
                continue;
            }
            used.emplace(cell, count);
            if (modules_.count(cell) == 0 && leafCells.count(cell) == 0) {
                leafCells.emplace(cell, instanceOf(view, cell));
            }
        }
        long total = 0;
        for (const auto &[cell, count] : used) total += count * (modules_.count(cell) != 0 ? below(cell) : 1);
        return leaves_[module] = total;
    }

    Counts counts;
    std::map<std::string, cfiOID> leafCells;  // cells no file defines, each with one instance of it

private:
    // An instance of `cell` in `view` (one whose describer record names the cell).
    static cfiOID instanceOf(cfiOID view, std::string_view cell) {
        cfidrErrorT e = 0;
        cfiOID found{};
        cfidrIterT it = cfidrNetlistViewGetInsts(view, &e);
        for (cfiOID i = cfidrIterNextInst(it, &e); i.object != 0; i = cfidrIterNextInst(it, &e)) {
            if (cell == nyxdrInstGetDescriberCellName(i, &e)) {
                found = i;
                break;
            }
        }
        cfidrIterQuit(it, &e);
        return found;
    }

    long below(const std::string &module) {
        cfidrErrorT e = 0;
        cfiOID cell = cfidrLibFindCellByName(lib_, module.c_str(), &e);
        cfiOID view = e == 0 ? cfidrCellFindViewByName(cell, view_.c_str(), &e) : cfiOID{};
        return view.object != 0 ? leaves(module, view) : 0;
    }

    cfiOID lib_;
    std::string view_;
    std::set<std::string> modules_;
    std::map<std::string, long> leaves_;
};

// The ports of a footprint, from the port instances of `it` (an instance's or a group's), made
// below `owner` (a view, or a bus or bundle when `group`).
bool copyPorts(cfidrIterT it, cfiOID owner, bool group) {
    cfidrErrorT e = 0;
    for (cfiOID p = cfidrIterNextPortInst(it, &e); p.object != 0 && e == 0; p = cfidrIterNextPortInst(it, &e)) {
        const std::string name = nyxdrPortInstGetRecordName(p, &e);
        const int32_t type = cfidrObjectGetObjectType(p, &e);
        cfiOID made{};
        if (type == cfidrPortInstScalarType) {
            const cfidrPortDirectionT dir = cfidrPortInstScalarGetDescriberDirection(p, &e);
            if (group) cfidrPortBundleCreatePortScalar(owner, name.c_str(), -1, dir, &e);
            else cfidrNetlistViewCreatePortScalar(owner, name.c_str(), -1, dir, &e);
            continue;
        }
        if (type == cfidrPortInstBusType) {
            const int32_t start = cfidrPortInstBusGetStart(p, &e), step = cfidrPortInstBusGetStep(p, &e);
            made = group ? cfidrPortBundleCreatePortBus(owner, name.c_str(), -1, start, step, &e)
                         : cfidrNetlistViewCreatePortBus(owner, name.c_str(), -1, start, step, &e);
        } else {
            made = group ? cfidrPortBundleCreatePortBundle(owner, name.c_str(), -1, &e)
                         : cfidrNetlistViewCreatePortBundle(owner, name.c_str(), -1, &e);
        }
        if (e != 0 || !copyPorts(cfidrPortInstBundleGetPortInsts(p, cfidrTopLevelIterMode, &e), made, true)) break;
    }
    cfidrErrorT q = 0;
    cfidrIterQuit(it, &q);
    return e == 0;
}

// Cells that no file defines get a view of the import's name holding their ports only (no nets,
// so that walks take their instances as leaves), from the footprint the compiler gave them; a
// cell that already has a view of the name keeps it. The number made; -1 after a message.
long makeLeafViews(cfiOID lib, const ImportRequest &r, const std::map<std::string, cfiOID> &leafCells) {
    long made = 0;
    for (const auto &[name, inst] : leafCells) {
        cfidrErrorT e = 0;
        cfiOID cell = cfidrLibFindCellByName(lib, name.c_str(), &e);
        if (cell.object != 0 && cfidrCellFindViewByName(cell, r.view.c_str(), &e).object != 0) continue;
        e = 0;
        if (cell.object == 0) cell = cfidrLibCreateCell(lib, name.c_str(), &e);
        cfiOID view = e == 0 ? cfidrCellCreateNetlistView(cell, r.view.c_str(), &e) : cfiOID{};
        if (e == 0) copyPorts(cfidrInstGetPortInsts(inst, cfidrTopLevelIterMode, &e), view, false);
        if (e != 0) return fail("cannot make the view " + r.view + " of leaf cell " + name, e), -1;
        ++made;
    }
    return made;
}

// The design configuration of the top for --save and --flat: the one of the name when it
// exists (kept as it is), else a new one. Null after a message.
cfiOID designConfig(cfiOID view, const ImportRequest &r) {
    cfidrErrorT err = 0;
    cfiOID cell = cfidrViewGetOwner(view, &err);
    cfidrErrorT findErr = 0;
    cfiOID config = nyxdrCellFindDesignConfigByName(cell, r.config.c_str(), &findErr);
    if (config.object != 0) {
        std::fprintf(stderr, "nyx import: design configuration %s of %s exists and is kept\n", r.config.c_str(),
                     r.top.c_str());
        return config;
    }
    config = nyxdrCellCreateDesignConfig(cell, r.config.c_str(), view, nyxdrSelectionModeT{0}, &err);
    if (err != 0) fail("cannot make the design configuration " + r.config, err);
    return err == 0 ? config : cfiOID{};
}

// --save: the library's save, the design configuration with it.
bool save(cfiOID lib, const ImportRequest &r) {
    cfidrErrorT err = 0;
    cfidrLibSave(lib, &err);
    return err == 0 || fail("cannot save library " + r.lib, err) == 0;
}

// --flat: the occurrence tree of the configuration and its flat nets, built in this session
// the way a tool that reads the design would; nothing is kept per occurrence, so a design of
// many occurrences of few modules costs little. The flat nets are computed when the first one
// is asked for; only the global ones are counted here, since counting the others means visiting
// each (`nyx flat` lists them all from a saved library). False after a message.
struct FlatFigures {
    long globalFlatNets = 0;
    double wall = 0;
};

bool buildFlat(cfiOID config, FlatFigures &f) {
    const double wall0 = seconds(CLOCK_MONOTONIC);
    cfidrErrorT err = 0;
    const cfiOID top = nyxdwPICreateTopOcc(config, &err);
    if (err != 0) return fail("cannot make the occurrence tree", err) == 0;
    cfidrIterT it = nyxdwTopOccGetFlatNets(top, 3, &err);
    for (cfiOID n = nyxdwIterNextFlatNet(it, &err); n.object != 0 && err == 0; n = nyxdwIterNextFlatNet(it, &err)) {
        if (nyxdwFlatNetGetIsGlobal(n, &err) == 0) break;  // globals come first
        ++f.globalFlatNets;
    }
    cfidrErrorT q = 0;
    nyxdwIterQuit(it, &q);
    if (err != 0) return fail("cannot compute the flat nets", err) == 0;
    f.wall = seconds(CLOCK_MONOTONIC) - wall0;
    return true;
}

void report(const ImportRequest &r, const Counts &c, long leaves, long leafViews, double wall, double cpu,
            double saveWall, const FlatFigures &flat) {
    rusage self{}, children{};
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_CHILDREN, &children);
    const double childCpu = double(children.ru_utime.tv_sec + children.ru_stime.tv_sec) +
                            double(children.ru_utime.tv_usec + children.ru_stime.tv_usec) * 1e-6;
    std::printf("library\t%s\ntop\t%s\nview\t%s\n", r.lib.c_str(), r.top.c_str(), r.view.c_str());
    std::printf("modules\t%ld\ninstances\t%ld\nnets\t%ld\nleaf cells\t%ld\nleaf cell views made\t%ld\n", c.modules,
                c.instances, c.nets, leaves, leafViews);
    std::printf("compile wall s\t%.3f\ncompile cpu s\t%.3f\n", wall, cpu);
    if (r.flat) {
        std::printf("global flat nets\t%ld\ntree and flat nets wall s\t%.3f\n", flat.globalFlatNets, flat.wall);
    }
    if (r.save) std::printf("save wall s\t%.3f\n", saveWall);
    std::printf("compiler cpu s\t%.3f\npeak rss MB\t%.1f\ncompiler peak rss MB\t%.1f\n", childCpu,
                double(self.ru_maxrss) / 1024.0, double(children.ru_maxrss) / 1024.0);
    std::fflush(stdout);
}

} // namespace

int importSession(const ImportRequest &r) {
    cfidrErrorT err = 0;
    cfidrPIInit(&err);
    int status = 1;
    cfiOID lib = cfidrPIOpenLib(r.lib.c_str(), cfidrUpdateMode, &err);
    if (lib.object == 0) {
        fail("cannot open library " + r.lib, err);
    } else if (const std::string clash = storedClash(lib, r); !clash.empty()) {
        std::fprintf(stderr, "nyx import: cell %s of library %s already holds a stored view %s (choose another "
                     "--view, or remove it)\n", clash.c_str(), r.lib.c_str(), r.view.c_str());
    } else {
        err = 0;
        if (!r.cells.empty()) {
            cfiOID param = nyxdrPICreateParameter("nyxvc_lib", &err);
            if (err == 0) cfidrPropSetStringValue(param, r.cells.c_str(), &err);
        }
        const double wall0 = seconds(CLOCK_MONOTONIC), cpu0 = seconds(CLOCK_PROCESS_CPUTIME_ID);
        cfiOID view = err == 0 ? openTop(r, &err) : cfiOID{};
        const double wall = seconds(CLOCK_MONOTONIC) - wall0, cpu = seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
        if (view.object == 0) {
            fail("cannot compile module " + r.top + " into view " + r.view, err);
        } else {
            Tree tree(lib, r);
            const long leaves = tree.leaves(r.top, view);
            const long leafViews = makeLeafViews(lib, r, tree.leafCells);
            const cfiOID config = leafViews >= 0 && (r.save || r.flat) ? designConfig(view, r) : cfiOID{};
            FlatFigures flat;
            const bool configured = leafViews >= 0 && (config.object != 0 || !(r.save || r.flat));
            const double save0 = seconds(CLOCK_MONOTONIC);
            if (configured && (!r.flat || buildFlat(config, flat)) && (!r.save || save(lib, r))) {
                const double saveWall = seconds(CLOCK_MONOTONIC) - save0 - flat.wall;
                cfidrPIQuit(&err);
                report(r, tree.counts, leaves, leafViews, wall, cpu, saveWall, flat);
                return 0;
            }
        }
    }
    cfidrPIQuit(&err);
    return status;
}

} // namespace nyxtool
