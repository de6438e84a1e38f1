// `nyx stats LIB CELL VIEW [--json]`: object counts of a netlist view, one "name<TAB>count" a line
// in a fixed order, or one JSON object whose keys are the names in snake_case. Counted through the
// exported interface, read-only.
#include <cstdio>
#include <string>

#include "cfidr.h"
#include "cmd_dump.h"
#include "command.h"
#include "json.h"
#include "nyxdr.h"
#include "options.h"

namespace {

struct Counts {
    long portScalars = 0, portBuses = 0, portBundles = 0;
    long netScalars = 0, netBuses = 0, netBundles = 0, aliases = 0;
    long insts = 0, portInstScalars = 0, portInstBuses = 0, portInstBundles = 0, describers = 0;
    long props = 0;
};

// Properties of an object, and the properties on them.
void countProps(cfiOID owner, Counts &c) {
    cfidrErrorT e = 0;
    cfidrIterT it = cfidrObjectGetProps(owner, &e);
    for (cfiOID p = cfidrIterNextProp(it, &e); p.object != 0; p = cfidrIterNextProp(it, &e)) {
        ++c.props;
        countProps(p, c);
    }
    cfidrIterQuit(it, &e);
}

void countView(cfiOID view, Counts &c) {
    cfidrErrorT e = 0;
    countProps(view, c);
    cfidrIterT it = cfidrNetlistViewGetPorts(view, cfidrAllIterMode, &e);
    for (cfiOID p = cfidrIterNextPort(it, &e); p.object != 0; p = cfidrIterNextPort(it, &e)) {
        const int32_t type = cfidrObjectGetObjectType(p, &e);
        ++(type == cfidrPortScalarType ? c.portScalars : type == cfidrPortBusType ? c.portBuses : c.portBundles);
        countProps(p, c);
    }
    cfidrIterQuit(it, &e);
    it = cfidrNetlistViewGetNets(view, cfidrAllIterMode, &e);
    for (cfiOID n = cfidrIterNextNet(it, &e); n.object != 0; n = cfidrIterNextNet(it, &e)) {
        const int32_t type = cfidrObjectGetObjectType(n, &e);
        ++(type == cfidrNetScalarType ? c.netScalars : type == cfidrNetBusType ? c.netBuses : c.netBundles);
        countProps(n, c);
        cfidrIterT ai = nyxdrNetGetNetAliases(n, &e);
        for (cfiOID a = nyxdrIterNextNetAlias(ai, &e); a.object != 0; a = nyxdrIterNextNetAlias(ai, &e)) {
            ++c.aliases;
            countProps(a, c);
        }
        cfidrIterQuit(ai, &e);
    }
    cfidrIterQuit(it, &e);
    it = cfidrNetlistViewGetInsts(view, &e);
    for (cfiOID i = cfidrIterNextInst(it, &e); i.object != 0; i = cfidrIterNextInst(it, &e)) {
        ++c.insts;
        countProps(i, c);
        cfidrIterT pit = cfidrInstGetPortInsts(i, cfidrAllIterMode, &e);
        for (cfiOID p = cfidrIterNextPortInst(pit, &e); p.object != 0; p = cfidrIterNextPortInst(pit, &e)) {
            const int32_t type = cfidrObjectGetObjectType(p, &e);
            ++(type == cfidrPortInstScalarType ? c.portInstScalars
               : type == cfidrPortInstBusType  ? c.portInstBuses
                                               : c.portInstBundles);
            countProps(p, c);
        }
        cfidrIterQuit(pit, &e);
    }
    cfidrIterQuit(it, &e);
    // Describer records of the view (one per describer and describer version in use).
    c.describers = nyxdrNetlistViewGetDescriberCount(view, &e);
}

std::string snakeCase(const char *name) {
    std::string key(name);
    for (char &c : key) {
        if (c == ' ') c = '_';
    }
    return key;
}

int runStats(int argc, char **argv) {
    const bool json = nyxtool::takeFlag(argc, argv, "--json");
    if (argc != 4) {
        std::fprintf(stderr, "usage: nyx stats LIB CELL VIEW [--json]\n");
        return 2;
    }
    cfidrErrorT err = 0;
    cfidrPIInit(&err);
    cfiOID view = nyxtool::openView("stats", argv[1], argv[2], argv[3]);
    int status = 1;
    if (view.object != 0) {
        Counts c;
        countView(view, c);
        const struct {
            const char *name;
            long value;
        } rows[] = {
            {"ports", c.portScalars + c.portBuses + c.portBundles},
            {"port scalars", c.portScalars},
            {"port buses", c.portBuses},
            {"port bundles", c.portBundles},
            {"nets", c.netScalars + c.netBuses + c.netBundles},
            {"net scalars", c.netScalars},
            {"net buses", c.netBuses},
            {"net bundles", c.netBundles},
            {"net aliases", c.aliases},
            {"instances", c.insts},
            {"describers", c.describers},
            {"port instances", c.portInstScalars + c.portInstBuses + c.portInstBundles},
            {"port instance scalars", c.portInstScalars},
            {"port instance buses", c.portInstBuses},
            {"port instance bundles", c.portInstBundles},
            {"properties", c.props},
        };
        if (json) {
            nyxtool::Json j(stdout);
            j.beginObject();
            for (const auto &row : rows) j.key(snakeCase(row.name)).value(static_cast<int64_t>(row.value));
            j.endObject().finish();
        } else {
            for (const auto &row : rows) std::printf("%s\t%ld\n", row.name, row.value);
        }
        status = 0;
    }
    std::fflush(stdout);
    cfidrPIQuit(&err);
    return status;
}

} // namespace

NYX_COMMAND("stats", "LIB CELL VIEW [--json]", "print object counts of a netlist view", runStats);
