// `nyx config LIB CELL NAME`: a stored design configuration as text, one item a line:
//
//   config LIB CELL NAME
//     root LIB CELL VIEW                the root view (or "root none (error N)")
//     selectionmode MODE
//     set NAME                          the occurrence property sets in list order
//     prop NAME TYPE = VALUE            properties, as nyx dump writes them
//
// With --json: {"library", "cell", "name", "root": {"library", "cell", "view"} or null,
// "selection_mode", "sets": [names], "properties": [{"name", "type", "value"}]}.
// The library is opened read-only; nothing is written.
#include <cstdio>
#include <string>
#include <vector>

#include "cfidr.h"
#include "cmd_dump.h"
#include "command.h"
#include "json.h"
#include "nyxdr.h"
#include "nyxdw.h"
#include "options.h"

namespace {

std::string copy(const char *text) { return text != nullptr ? std::string(text) : std::string(); }

int fail(const char *what, cfidrErrorT code) {
    cfidrErrorT e = 0;
    std::fprintf(stderr, "nyx config: %s: %s (error %d)\n", what, nyxdwPIGetErrorText(code, &e), code);
    return 1;
}

struct Root {
    cfidrErrorT error = 0;
    std::string lib, cell, view;
};

Root rootOf(cfiOID config) {
    Root r;
    cfiOID view = nyxdrDesignConfigGetRootView(config, &r.error);
    if (r.error != 0) return r;
    cfidrErrorT e = 0;
    cfiOID cell = cfidrViewGetOwner(view, &e);
    r.view = copy(cfidrNamedObjectGetName(view, &e));
    r.cell = copy(cfidrNamedObjectGetName(cell, &e));
    r.lib = copy(cfidrNamedObjectGetName(cfidrCellGetOwner(cell, &e), &e));
    return r;
}

std::vector<std::string> setsOf(cfiOID config) {
    std::vector<std::string> names;
    cfidrErrorT e = 0;
    cfidrIterT it = nyxdrDesignConfigGetOccPropSets(config, &e);
    for (cfiOID s = nyxdrIterNextOccPropSet(it, &e); s.object != 0; s = nyxdrIterNextOccPropSet(it, &e)) {
        names.push_back(copy(cfidrNamedObjectGetName(s, &e)));
    }
    cfidrIterQuit(it, &e);
    return names;
}

void jsonProps(nyxtool::Json &json, cfiOID owner) {
    cfidrErrorT e = 0;
    cfidrIterT it = cfidrObjectGetProps(owner, &e);
    json.beginArray();
    for (cfiOID p = cfidrIterNextProp(it, &e); p.object != 0; p = cfidrIterNextProp(it, &e)) {
        const int32_t type = nyxdrPropGetValueType(p, &e);
        json.beginObject().key("name").value(cfidrNamedObjectGetName(p, &e));
        json.key("type").value(nyxtool::valueTypeName(type)).key("value");
        switch (type) {
        case cfidrBooleanValueType: json.value(cfidrPropGetBooleanValue(p, &e) != 0); break;
        case cfidrInt32ValueType: json.value(cfidrPropGetInt32Value(p, &e)); break;
        case cfidrFloat32ValueType: json.value(static_cast<double>(cfidrPropGetFloat32Value(p, &e))); break;
        case cfidrNoValueType:
        case nyxdrDeletedValueType: json.null(); break;
        default: json.value(cfidrPropGetStringValue(p, &e)); break;
        }
        json.endObject();
    }
    json.endArray();
    cfidrIterQuit(it, &e);
}

int show(const char *lib, const char *cell, const char *name, bool asJson) {
    cfidrErrorT err = 0;
    cfiOID config = nyxdrPIOpenDesignConfig(lib, cell, name, cfidrReadMode, &err);
    if (config.object == 0) return fail(name, err);
    const int32_t mode = nyxdrDesignConfigGetSelectionMode(config, &err);
    if (err != 0) return fail(name, err);
    const Root root = rootOf(config);
    const std::vector<std::string> sets = setsOf(config);
    if (asJson) {
        nyxtool::Json json(stdout);
        json.beginObject().key("library").value(lib).key("cell").value(cell).key("name").value(name);
        json.key("root");
        if (root.error != 0) json.null();
        else json.beginObject().key("library").value(root.lib).key("cell").value(root.cell).key("view").value(root.view).endObject();
        json.key("selection_mode").value(mode).key("sets").beginArray();
        for (const std::string &s : sets) json.value(s);
        json.endArray().key("properties");
        jsonProps(json, config);
        json.endObject().finish();
        return 0;
    }
    std::printf("config %s %s %s\n", lib, cell, name);
    if (root.error != 0) std::printf("  root none (error %d)\n", root.error);
    else std::printf("  root %s %s %s\n", root.lib.c_str(), root.cell.c_str(), root.view.c_str());
    std::printf("  selectionmode %d\n", mode);
    for (const std::string &s : sets) std::printf("  set %s\n", s.c_str());
    nyxtool::dumpProps(stdout, config, 1);
    return 0;
}

int runConfig(int argc, char **argv) {
    const bool asJson = nyxtool::takeFlag(argc, argv, "--json");
    if (argc != 4) {
        std::fprintf(stderr, "usage: nyx config LIB CELL NAME [--json]\n");
        return 2;
    }
    cfidrErrorT err = 0;
    cfidrPIInit(&err);
    const int status = show(argv[1], argv[2], argv[3], asJson);
    cfidrPIQuit(&err);
    return status;
}

} // namespace

NYX_COMMAND("config", "LIB CELL NAME [--json]", "print a design configuration", runConfig);
