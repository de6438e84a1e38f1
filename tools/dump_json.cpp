// `nyx dump --json`: the objects of the text dump (cmd_dump.cpp) as one JSON object, in the same
// orders:
//
//   {"lib", "cell", "view", "type", "props": [PROP],
//    "ports": [PORT], "nets": [NET], "instances": [INST]}
//   PROP  {"name", "type", "value" (absent for none and deleted), "props": [PROP]}
//   PORT  {"kind": "scalar", "name", "direction", "net" (or null), "props"}
//         {"kind": "bus" | "bundle", "name", ["start", "end", "step",] "props", "members": [PORT]}
//   NET   {"kind": "scalar" | "bus" | "bundle", "name", ["global"], ["start", "end", "step"],
//          "props", "aliases": [{"name", "global", "props"}], "members": [names] (groups),
//          "ports": [names], "portinsts": [{"inst", "port"}] (scalars)}
//   INST  {"name", "lib", "cell", "view", "version", "props", "portinsts": [PORTINST]}
//   PORTINST  like PORT, named by the describer's port, without direction
//
// Read through the exported interface, read-only.
#include "dump_json.h"

#include <string>

#include "cfidr.h"
#include "cmd_dump.h"
#include "json.h"
#include "nyxdr.h"

namespace nyxtool {

namespace {

std::string copy(const char *text) { return text != nullptr ? std::string(text) : std::string(); }

std::string name(cfiOID o) {
    cfidrErrorT e = 0;
    return copy(cfidrNamedObjectGetName(o, &e));
}

void props(Json &j, cfiOID owner) {
    cfidrErrorT e = 0;
    j.key("props").beginArray();
    cfidrIterT it = cfidrObjectGetProps(owner, &e);
    for (cfiOID p = cfidrIterNextProp(it, &e); p.object != 0; p = cfidrIterNextProp(it, &e)) {
        const int32_t type = nyxdrPropGetValueType(p, &e);
        j.beginObject().key("name").value(name(p)).key("type").value(valueTypeName(type));
        switch (type) {
        case 0:
        case 4: break;
        case 1: j.key("value").value(cfidrPropGetBooleanValue(p, &e) != 0); break;
        case 2: j.key("value").value(cfidrPropGetInt32Value(p, &e)); break;
        case 3: j.key("value").value(static_cast<double>(cfidrPropGetFloat32Value(p, &e))); break;
        default: j.key("value").value(copy(cfidrPropGetStringValue(p, &e))); break;
        }
        props(j, p);
        j.endObject();
    }
    cfidrIterQuit(it, &e);
    j.endArray();
}

void range(Json &j, int32_t start, int32_t step, int32_t size) {
    const int64_t end = static_cast<int64_t>(start) + static_cast<int64_t>(step) * (size > 0 ? size - 1 : 0);
    j.key("start").value(start).key("end").value(end).key("step").value(step);
}

const char *direction(int32_t d) {
    static const char *const kNames[] = {"undefined", "input", "output", "inout"};
    return d >= 0 && d < 4 ? kNames[d] : "?";
}

void port(Json &j, cfiOID p) {
    cfidrErrorT e = 0;
    const int32_t type = cfidrObjectGetObjectType(p, &e);
    j.beginObject();
    if (type == cfidrPortScalarType) {
        j.key("kind").value("scalar").key("name").value(name(p));
        j.key("direction").value(direction(cfidrPortScalarGetDirection(p, &e)));
        cfiOID net = cfidrPortScalarGetNetScalar(p, &e);
        j.key("net");
        net.object != 0 ? j.value(name(net)) : j.null();
        props(j, p);
        j.endObject();
        return;
    }
    j.key("kind").value(type == cfidrPortBusType ? "bus" : "bundle").key("name").value(name(p));
    if (type == cfidrPortBusType) {
        range(j, cfidrPortBusGetStart(p, &e), cfidrPortBusGetStep(p, &e), cfidrPortBundleGetSize(p, &e));
    }
    props(j, p);
    j.key("members").beginArray();
    cfidrIterT it = cfidrPortBundleGetPorts(p, cfidrTopLevelIterMode, &e);
    for (cfiOID m = cfidrIterNextPort(it, &e); m.object != 0; m = cfidrIterNextPort(it, &e)) port(j, m);
    cfidrIterQuit(it, &e);
    j.endArray().endObject();
}

void portInst(Json &j, cfiOID p) {
    cfidrErrorT e = 0;
    const int32_t type = cfidrObjectGetObjectType(p, &e);
    j.beginObject();
    const std::string describer = copy(nyxdrPortInstGetRecordName(p, &e));
    if (type == cfidrPortInstScalarType) {
        j.key("kind").value("scalar").key("name").value(describer);
        cfiOID net = cfidrPortInstScalarGetNetScalar(p, &e);
        j.key("net");
        net.object != 0 ? j.value(name(net)) : j.null();
        props(j, p);
        j.endObject();
        return;
    }
    j.key("kind").value(type == cfidrPortInstBusType ? "bus" : "bundle").key("name").value(describer);
    if (type == cfidrPortInstBusType) {
        range(j, cfidrPortInstBusGetStart(p, &e), cfidrPortInstBusGetStep(p, &e), cfidrPortInstBundleGetSize(p, &e));
    }
    props(j, p);
    j.key("members").beginArray();
    cfidrIterT it = cfidrPortInstBundleGetPortInsts(p, cfidrTopLevelIterMode, &e);
    for (cfiOID m = cfidrIterNextPortInst(it, &e); m.object != 0; m = cfidrIterNextPortInst(it, &e)) portInst(j, m);
    cfidrIterQuit(it, &e);
    j.endArray().endObject();
}

// {"inst", "port"}: a port instance on a net, by its instance and the path of describer ports.
void netPortInst(Json &j, cfiOID p) {
    cfidrErrorT e = 0;
    std::string path = copy(nyxdrPortInstGetRecordName(p, &e));
    cfiOID owner = cfidrPortInstGetOwner(p, &e);
    for (int depth = 0; owner.object != 0 && depth < 1024; ++depth) {
        if (cfidrObjectGetObjectType(owner, &e) == cfidrInstType) break;
        path = copy(nyxdrPortInstGetRecordName(owner, &e)) + "/" + path;
        owner = cfidrPortInstGetOwner(owner, &e);
    }
    j.beginObject().key("inst").value(owner.object != 0 ? name(owner) : std::string("?"));
    j.key("port").value(path).endObject();
}

void net(Json &j, cfiOID n) {
    cfidrErrorT e = 0;
    const int32_t type = cfidrObjectGetObjectType(n, &e);
    j.beginObject();
    j.key("kind").value(type == cfidrNetScalarType ? "scalar" : type == cfidrNetBusType ? "bus" : "bundle");
    j.key("name").value(name(n));
    if (type == cfidrNetScalarType) j.key("global").value(cfidrNetScalarGetIsGlobal(n, &e) != 0);
    if (type == cfidrNetBusType) {
        range(j, cfidrNetBusGetStart(n, &e), cfidrNetBusGetStep(n, &e), cfidrNetBundleGetSize(n, &e));
    }
    props(j, n);
    j.key("aliases").beginArray();
    cfidrIterT it = nyxdrNetGetNetAliases(n, &e);
    for (cfiOID a = nyxdrIterNextNetAlias(it, &e); a.object != 0; a = nyxdrIterNextNetAlias(it, &e)) {
        cfidrErrorT ae = 0;
        j.beginObject().key("name").value(name(a)).key("global").value(nyxdrNetAliasGetIsGlobal(a, &ae) != 0);
        props(j, a);
        j.endObject();
    }
    cfidrIterQuit(it, &e);
    j.endArray();
    if (type != cfidrNetScalarType) {
        j.key("members").beginArray();
        it = cfidrNetBundleGetNets(n, cfidrTopLevelIterMode, &e);
        for (cfiOID m = cfidrIterNextNet(it, &e); m.object != 0; m = cfidrIterNextNet(it, &e)) j.value(name(m));
        cfidrIterQuit(it, &e);
        j.endArray().endObject();
        return;
    }
    j.key("ports").beginArray();
    it = cfidrNetGetPorts(n, &e);
    for (cfiOID p = cfidrIterNextPort(it, &e); p.object != 0; p = cfidrIterNextPort(it, &e)) j.value(name(p));
    cfidrIterQuit(it, &e);
    j.endArray().key("portinsts").beginArray();
    it = cfidrNetGetPortInsts(n, &e);
    for (cfiOID p = cfidrIterNextPortInst(it, &e); p.object != 0; p = cfidrIterNextPortInst(it, &e)) netPortInst(j, p);
    cfidrIterQuit(it, &e);
    j.endArray().endObject();
}

void inst(Json &j, cfiOID i) {
    cfidrErrorT e = 0;
    j.beginObject().key("name").value(name(i));
    j.key("lib").value(copy(nyxdrInstGetDescriberLibName(i, &e)));
    j.key("cell").value(copy(nyxdrInstGetDescriberCellName(i, &e)));
    j.key("view").value(copy(nyxdrInstGetDescriberViewName(i, &e)));
    j.key("version").value(nyxdrInstGetDescriberVersion(i, &e));
    props(j, i);
    j.key("portinsts").beginArray();
    cfidrIterT it = cfidrInstGetPortInsts(i, cfidrTopLevelIterMode, &e);
    for (cfiOID p = cfidrIterNextPortInst(it, &e); p.object != 0; p = cfidrIterNextPortInst(it, &e)) portInst(j, p);
    cfidrIterQuit(it, &e);
    j.endArray().endObject();
}

} // namespace

void jsonProps(Json &j, cfiOID owner) { props(j, owner); }

int dumpViewJson(FILE *out, cfiOID view) {
    cfidrErrorT e = 0;
    const std::string type = copy(cfidrViewGetViewType(view, &e));
    if (e != 0) return e;
    cfiOID cell = cfidrViewGetOwner(view, &e);
    Json j(out);
    j.beginObject().key("lib").value(name(cfidrCellGetOwner(cell, &e))).key("cell").value(name(cell));
    j.key("view").value(name(view)).key("type").value(type);
    props(j, view);
    j.key("ports").beginArray();
    cfidrIterT it = cfidrNetlistViewGetPorts(view, cfidrTopLevelIterMode, &e);
    for (cfiOID p = cfidrIterNextPort(it, &e); p.object != 0; p = cfidrIterNextPort(it, &e)) port(j, p);
    cfidrIterQuit(it, &e);
    j.endArray().key("nets").beginArray();
    it = cfidrNetlistViewGetNets(view, cfidrAllIterMode, &e);
    for (cfiOID n = cfidrIterNextNet(it, &e); n.object != 0; n = cfidrIterNextNet(it, &e)) net(j, n);
    cfidrIterQuit(it, &e);
    j.endArray().key("instances").beginArray();
    it = cfidrNetlistViewGetInsts(view, &e);
    for (cfiOID i = cfidrIterNextInst(it, &e); i.object != 0; i = cfidrIterNextInst(it, &e)) inst(j, i);
    cfidrIterQuit(it, &e);
    j.endArray().endObject().finish();
    return 0;
}

} // namespace nyxtool
