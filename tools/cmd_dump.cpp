// `nyx dump LIB CELL VIEW [--json]`: a netlist view as readable text, one object a line, indented
// by nesting, in the view's own orders so that two dumps can be compared with diff (--json: the
// same objects as one JSON object, dump_json.cpp):
//
//   view LIB CELL VIEW type TYPE version N
//     compiled from TEXT                              the source a compiler named (when one did)
//   port scalar NAME dir DIRECTION [net NET]          top-level ports in their order,
//   port bus NAME [START:END] step STEP               members indented below their group
//   port bundle NAME
//   net scalar NAME [global]                          every net once: scalars, bundles, buses
//   net bus NAME [START:END] step STEP                by position
//   net bundle NAME
//     alias NAME [global]
//     member NAME                                     direct members of a group, in order
//     port NAME                                       port scalars attached to a net scalar
//     portinst INST PORT                              port instance scalars attached to it
//   inst NAME of LIB CELL VIEW version N             instances in iteration order
//     portinst scalar PORT [net NET]                  top-level port instances, members below
//     portinst bus PORT [START:END] step STEP
//     portinst bundle PORT
//   prop NAME TYPE = VALUE                            below its owner; properties on it below it
//
// A port instance is named by its describer port, and on the net side by the path from its
// instance (INST PORT/MEMBER/...). Describers are named from the view's own describer records,
// so that a view can be dumped without opening the views it instantiates.
//
// Everything else is read through the exported interface, read-only; nothing is written.
#include <cinttypes>
#include <cstdio>
#include <string>

#include "cfidr.h"
#include "cmd_dump.h"
#include "command.h"
#include "dump_json.h"
#include "nyxdr.h"
#include "nyxpriv.h"
#include "options.h"

namespace nyxtool {

namespace {

std::string copy(const char *text) { return text != nullptr ? std::string(text) : std::string(); }

void line(FILE *out, int depth, const std::string &text) {
    std::fprintf(out, "%*s%s\n", depth * 2, "", text.c_str());
}

const char *directionName(int32_t d) {
    static const char *const kNames[] = {"undefined", "input", "output", "inout"};
    return d >= 0 && d < 4 ? kNames[d] : "?";
}

std::string range(int32_t start, int32_t step, int32_t size) {
    const int64_t end = static_cast<int64_t>(start) + static_cast<int64_t>(step) * (size > 0 ? size - 1 : 0);
    return "[" + std::to_string(start) + ":" + std::to_string(end) + "] step " + std::to_string(step);
}

} // namespace

const char *valueTypeName(int32_t type) {
    switch (type) {
    case cfidrNoValueType: return "none";
    case cfidrBooleanValueType: return "boolean";
    case cfidrInt32ValueType: return "integer";
    case cfidrFloat32ValueType: return "float";
    case nyxdrDeletedValueType: return "deleted";
    case cfidrStringValueType: return "string";
    case nyxdrTripletValueType: return "triplet";
    case nyxdrCaseTripletValueType: return "casetriplet";
    case nyxdrExpressionValueType: return "expression";
    default: return "unknown";
    }
}

void dumpProps(FILE *out, cfiOID owner, int depth) {
    cfidrErrorT err = 0;
    cfidrIterT it = cfidrObjectGetProps(owner, &err);
    if (err != 0) return;
    for (cfiOID p = cfidrIterNextProp(it, &err); p.object != 0; p = cfidrIterNextProp(it, &err)) {
        cfidrErrorT e = 0;
        const int32_t type = nyxdrPropGetValueType(p, &e);
        std::string text = "prop " + copy(cfidrNamedObjectGetName(p, &e)) + " " + valueTypeName(type);
        char number[64];
        switch (type) {
        case cfidrBooleanValueType:
            text += cfidrPropGetBooleanValue(p, &e) != 0 ? " = true" : " = false";
            break;
        case cfidrInt32ValueType:
            text += " = " + std::to_string(cfidrPropGetInt32Value(p, &e));
            break;
        case cfidrFloat32ValueType:
            std::snprintf(number, sizeof number, "%.9g", static_cast<double>(cfidrPropGetFloat32Value(p, &e)));
            text += std::string(" = ") + number;
            break;
        case cfidrNoValueType:
        case nyxdrDeletedValueType: break;
        default: text += " = \"" + copy(cfidrPropGetStringValue(p, &e)) + "\""; break;
        }
        line(out, depth, text);
        dumpProps(out, p, depth + 1);
    }
    cfidrIterQuit(it, &err);
}

namespace {

// The name of a port instance's describer port, from the instance's record.
std::string describerName(cfiOID portInst) {
    cfidrErrorT e = 0;
    return copy(nyxdrPortInstGetRecordName(portInst, &e));
}

// INST PORT/MEMBER/...: the path of a port instance from its instance.
std::string portInstPath(cfiOID portInst) {
    cfidrErrorT e = 0;
    std::string path = describerName(portInst);
    cfiOID owner = cfidrPortInstGetOwner(portInst, &e);
    for (int depth = 0; owner.object != 0 && depth < 1024; ++depth) {
        if (cfidrObjectGetObjectType(owner, &e) == cfidrInstType) {
            return copy(cfidrNamedObjectGetName(owner, &e)) + " " + path;
        }
        path = describerName(owner) + "/" + path;
        owner = cfidrPortInstGetOwner(owner, &e);
    }
    return "? " + path;
}

void dumpNetPortInsts(FILE *out, cfiOID net, int depth) {
    cfidrErrorT e = 0;
    cfidrIterT it = cfidrNetGetPortInsts(net, &e);
    for (cfiOID p = cfidrIterNextPortInst(it, &e); p.object != 0; p = cfidrIterNextPortInst(it, &e)) {
        line(out, depth, "portinst " + portInstPath(p));
    }
    cfidrIterQuit(it, &e);
}

void dumpPortInst(FILE *out, cfiOID portInst, int depth) {
    cfidrErrorT e = 0;
    const int32_t type = cfidrObjectGetObjectType(portInst, &e);
    const std::string name = describerName(portInst);
    if (type == cfidrPortInstScalarType) {
        std::string text = "portinst scalar " + name;
        cfiOID net = cfidrPortInstScalarGetNetScalar(portInst, &e);
        if (net.object != 0) text += " net " + copy(cfidrNamedObjectGetName(net, &e));
        line(out, depth, text);
    } else if (type == cfidrPortInstBusType) {
        line(out, depth, "portinst bus " + name + " " +
                             range(cfidrPortInstBusGetStart(portInst, &e), cfidrPortInstBusGetStep(portInst, &e),
                                   cfidrPortInstBundleGetSize(portInst, &e)));
    } else {
        line(out, depth, "portinst bundle " + name);
    }
    dumpProps(out, portInst, depth + 1);
    if (type == cfidrPortInstScalarType) return;
    cfidrIterT it = cfidrPortInstBundleGetPortInsts(portInst, cfidrTopLevelIterMode, &e);
    for (cfiOID m = cfidrIterNextPortInst(it, &e); m.object != 0; m = cfidrIterNextPortInst(it, &e)) {
        dumpPortInst(out, m, depth + 1);
    }
    cfidrIterQuit(it, &e);
}

void dumpInsts(FILE *out, cfiOID view) {
    cfidrErrorT e = 0;
    cfidrIterT it = cfidrNetlistViewGetInsts(view, &e);
    for (cfiOID i = cfidrIterNextInst(it, &e); i.object != 0; i = cfidrIterNextInst(it, &e)) {
        line(out, 0, "inst " + copy(cfidrNamedObjectGetName(i, &e)) + " of " +
                         copy(nyxdrInstGetDescriberLibName(i, &e)) + " " +
                         copy(nyxdrInstGetDescriberCellName(i, &e)) + " " +
                         copy(nyxdrInstGetDescriberViewName(i, &e)) + " version " +
                         std::to_string(nyxdrInstGetDescriberVersion(i, &e)));
        dumpProps(out, i, 1);
        cfidrIterT pit = cfidrInstGetPortInsts(i, cfidrTopLevelIterMode, &e);
        for (cfiOID p = cfidrIterNextPortInst(pit, &e); p.object != 0; p = cfidrIterNextPortInst(pit, &e)) {
            dumpPortInst(out, p, 1);
        }
        cfidrIterQuit(pit, &e);
    }
    cfidrIterQuit(it, &e);
}

void dumpPort(FILE *out, cfiOID port, int depth) {
    cfidrErrorT e = 0;
    const int32_t type = cfidrObjectGetObjectType(port, &e);
    const std::string name = copy(cfidrNamedObjectGetName(port, &e));
    if (type == cfidrPortScalarType) {
        std::string text = "port scalar " + name + " dir " + directionName(cfidrPortScalarGetDirection(port, &e));
        cfiOID net = cfidrPortScalarGetNetScalar(port, &e);
        if (net.object != 0) text += " net " + copy(cfidrNamedObjectGetName(net, &e));
        line(out, depth, text);
    } else if (type == cfidrPortBusType) {
        line(out, depth, "port bus " + name + " " +
                             range(cfidrPortBusGetStart(port, &e), cfidrPortBusGetStep(port, &e),
                                   cfidrPortBundleGetSize(port, &e)));
    } else {
        line(out, depth, "port bundle " + name);
    }
    dumpProps(out, port, depth + 1);
    if (type == cfidrPortScalarType) return;
    cfidrIterT it = cfidrPortBundleGetPorts(port, cfidrTopLevelIterMode, &e);
    for (cfiOID m = cfidrIterNextPort(it, &e); m.object != 0; m = cfidrIterNextPort(it, &e)) {
        dumpPort(out, m, depth + 1);
    }
    cfidrIterQuit(it, &e);
}

void dumpNet(FILE *out, cfiOID net) {
    cfidrErrorT e = 0;
    const int32_t type = cfidrObjectGetObjectType(net, &e);
    const std::string name = copy(cfidrNamedObjectGetName(net, &e));
    if (type == cfidrNetScalarType) {
        line(out, 0, "net scalar " + name + (cfidrNetScalarGetIsGlobal(net, &e) != 0 ? " global" : ""));
    } else if (type == cfidrNetBusType) {
        line(out, 0, "net bus " + name + " " +
                         range(cfidrNetBusGetStart(net, &e), cfidrNetBusGetStep(net, &e),
                               cfidrNetBundleGetSize(net, &e)));
    } else {
        line(out, 0, "net bundle " + name);
    }
    dumpProps(out, net, 1);
    cfidrIterT it = nyxdrNetGetNetAliases(net, &e);
    for (cfiOID a = nyxdrIterNextNetAlias(it, &e); a.object != 0; a = nyxdrIterNextNetAlias(it, &e)) {
        cfidrErrorT ae = 0;
        line(out, 1, "alias " + copy(cfidrNamedObjectGetName(a, &ae)) +
                         (nyxdrNetAliasGetIsGlobal(a, &ae) != 0 ? " global" : ""));
        dumpProps(out, a, 2);
    }
    cfidrIterQuit(it, &e);
    if (type != cfidrNetScalarType) {
        it = cfidrNetBundleGetNets(net, cfidrTopLevelIterMode, &e);
        for (cfiOID m = cfidrIterNextNet(it, &e); m.object != 0; m = cfidrIterNextNet(it, &e)) {
            line(out, 1, "member " + copy(cfidrNamedObjectGetName(m, &e)));
        }
        cfidrIterQuit(it, &e);
        return;
    }
    it = cfidrNetGetPorts(net, &e);
    for (cfiOID p = cfidrIterNextPort(it, &e); p.object != 0; p = cfidrIterNextPort(it, &e)) {
        line(out, 1, "port " + copy(cfidrNamedObjectGetName(p, &e)));
    }
    cfidrIterQuit(it, &e);
    dumpNetPortInsts(out, net, 1);
}

} // namespace

int dumpView(FILE *out, cfiOID view) {
    cfidrErrorT e = 0;
    const std::string type = copy(cfidrViewGetViewType(view, &e));
    if (e != 0) return e;
    cfiOID cell = cfidrViewGetOwner(view, &e);
    const std::string cellName = copy(cfidrNamedObjectGetName(cell, &e));
    const std::string libName = copy(cfidrNamedObjectGetName(cfidrCellGetOwner(cell, &e), &e));
    line(out, 0, "view " + libName + " " + cellName + " " + copy(cfidrNamedObjectGetName(view, &e)) + " type " + type);
    const std::string from = copy(nyxprivObjectGetCompiledFrom(view, &e));
    if (!from.empty()) line(out, 1, "compiled from " + from);
    dumpProps(out, view, 1);
    cfidrIterT it = cfidrNetlistViewGetPorts(view, cfidrTopLevelIterMode, &e);
    for (cfiOID p = cfidrIterNextPort(it, &e); p.object != 0; p = cfidrIterNextPort(it, &e)) dumpPort(out, p, 0);
    cfidrIterQuit(it, &e);
    it = cfidrNetlistViewGetNets(view, cfidrAllIterMode, &e);
    for (cfiOID n = cfidrIterNextNet(it, &e); n.object != 0; n = cfidrIterNextNet(it, &e)) dumpNet(out, n);
    cfidrIterQuit(it, &e);
    dumpInsts(out, view);
    return 0;
}

// Opens LIB read-only and finds CELL and VIEW in it; prints why not on the standard error stream.
cfiOID openView(const char *tool, const char *lib, const char *cell, const char *view) {
    cfidrErrorT err = 0;
    cfiOID l = cfidrPIOpenLib(lib, cfidrReadMode, &err);
    if (l.object == 0) {
        std::fprintf(stderr, "nyx %s: cannot open library %s (error %d)\n", tool, lib, err);
        return l;
    }
    err = 0;
    cfiOID c = cfidrLibFindCellByName(l, cell, &err);
    if (c.object == 0) {
        std::fprintf(stderr, "nyx %s: no cell %s in library %s (error %d)\n", tool, cell, lib, err);
        return c;
    }
    cfiOID v = cfidrCellFindViewByName(c, view, &err);
    if (v.object != 0 && cfidrObjectGetObjectType(v, &err) != cfidrNetlistViewType) {
        std::fprintf(stderr, "nyx %s: %s %s %s is not a netlist view\n", tool, lib, cell, view);
        return cfiOID{};
    }
    if (v.object == 0) std::fprintf(stderr, "nyx %s: cannot read view %s of cell %s (error %d)\n", tool, view, cell, err);
    return v;
}

} // namespace nyxtool

namespace {

int runDump(int argc, char **argv) {
    const bool json = nyxtool::takeFlag(argc, argv, "--json");
    if (argc != 4) {
        std::fprintf(stderr, "usage: nyx dump LIB CELL VIEW [--json]\n");
        return 2;
    }
    cfidrErrorT err = 0;
    cfidrPIInit(&err);
    cfiOID view = nyxtool::openView("dump", argv[1], argv[2], argv[3]);
    int status = 1;
    if (view.object != 0) {
        const int code = json ? nyxtool::dumpViewJson(stdout, view) : nyxtool::dumpView(stdout, view);
        if (code != 0) std::fprintf(stderr, "nyx dump: cannot read view %s (error %d)\n", argv[3], code);
        status = code != 0 ? 1 : 0;
    }
    std::fflush(stdout);
    cfidrPIQuit(&err);
    return status;
}

} // namespace

NYX_COMMAND("dump", "LIB CELL VIEW [--json]", "print a netlist view as text", runDump);
