// `nyx occprops LIB CELL SET`: an occurrence property set as text, its tree indented by depth:
//
//   occpropset SET lib LIB cell CELL
//     prop NAME TYPE = VALUE               properties of the set, of a node below it
//     net /N                               nets and ports of the top view
//     port /P:/member
//     view /U1                             each view occurrence property in pre-order, with
//       net /U1/N                          its nets and ports below it
//       view /U1/U2
//
// Each group in the set's own order (newest first). `--json` prints one object:
//   {"lib", "cell", "set", "props": [PROP], "nodes": [{"kind": "view" | "net" | "port",
//    "path": [names], "member": [names] (ports), "pathname", "props": [PROP]}]}
// with the nodes in the order of the text form. Read through the exported interface, read-only.
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "cfidr.h"
#include "cmd_dump.h"
#include "command.h"
#include "dump_json.h"
#include "json.h"
#include "nyxdr.h"
#include "nyxdw.h"
#include "options.h"

namespace {

struct Node {
    const char *kind;
    cfiOID id;
    std::vector<std::string> path, member;
    std::string pathname;
};

std::vector<std::string> names(const char *const *path) {
    std::vector<std::string> out;
    for (; path != nullptr && *path != nullptr; ++path) out.emplace_back(*path);
    return out;
}

std::string join(const std::vector<std::string> &path, size_t count) {
    std::string out;
    for (size_t i = 0; i < count && i < path.size(); ++i) out += "/" + path[i];
    return out;
}

int fail(const char *what, cfidrErrorT code) {
    cfidrErrorT e = 0;
    std::fprintf(stderr, "nyx occprops: %s: %s (error %d)\n", what, nyxdwPIGetErrorText(code, &e), code);
    return 1;
}

// The nodes of one iterator, with their paths.
std::vector<Node> collect(cfidrIterT it, const char *kind) {
    std::vector<Node> out;
    cfidrErrorT e = 0;
    for (cfiOID o = nyxdrIterNextOccProp(it, &e); o.object != 0; o = nyxdrIterNextOccProp(it, &e)) {
        Node n{kind, o, names(nyxdrOccPropGetPath(o, &e)), {}, nyxdrOccPropGetZILPathname(o, &e)};
        if (kind[0] == 'p') n.member = names(nyxdrPortOccPropGetMemberPath(o, &e));
        out.push_back(std::move(n));
    }
    cfidrIterQuit(it, &e);
    return out;
}

// The tree order: the top's nets and ports, then every view node followed by its own.
std::vector<Node> treeOrder(cfiOID set, cfidrErrorT *err) {
    std::vector<Node> views = collect(nyxdrOccPropSetGetViewOccProps(set, err), "view");
    if (*err != 0) return {};
    std::map<std::string, std::vector<Node>> leaves;  // by the pathname of the owning instance
    for (const char *kind : {"net", "port"}) {
        cfidrIterT it = kind[0] == 'n' ? nyxdrOccPropSetGetNetOccProps(set, err) : nyxdrOccPropSetGetPortOccProps(set, err);
        for (Node &n : collect(it, kind)) leaves[join(n.path, n.path.size() - 1)].push_back(std::move(n));
    }
    std::vector<Node> out;
    auto below = [&](const std::string &owner) {
        for (Node &n : leaves[owner]) out.push_back(std::move(n));
    };
    below("");
    for (Node &v : views) {
        const std::string owner = join(v.path, v.path.size());
        out.push_back(std::move(v));
        below(owner);
    }
    return out;
}

int printText(cfiOID set, const char *lib, const char *cell, const char *name) {
    cfidrErrorT err = 0;
    std::vector<Node> nodes = treeOrder(set, &err);
    if (err != 0) return fail(name, err);
    std::printf("occpropset %s lib %s cell %s\n", name, lib, cell);
    nyxtool::dumpProps(stdout, set, 1);
    for (const Node &n : nodes) {
        const int depth = static_cast<int>(n.path.size());
        std::printf("%*s%s %s\n", 2 * depth, "", n.kind, n.pathname.c_str());
        nyxtool::dumpProps(stdout, n.id, depth + 1);
    }
    return 0;
}

int printJson(cfiOID set, const char *lib, const char *cell, const char *name) {
    cfidrErrorT err = 0;
    std::vector<Node> nodes = treeOrder(set, &err);
    if (err != 0) return fail(name, err);
    nyxtool::Json j(stdout);
    j.beginObject().key("lib").value(lib).key("cell").value(cell).key("set").value(name);
    nyxtool::jsonProps(j, set);
    j.key("nodes").beginArray();
    for (const Node &n : nodes) {
        j.beginObject().key("kind").value(n.kind).key("path").beginArray();
        for (const std::string &s : n.path) j.value(s);
        j.endArray();
        if (n.kind[0] == 'p') {
            j.key("member").beginArray();
            for (const std::string &s : n.member) j.value(s);
            j.endArray();
        }
        j.key("pathname").value(n.pathname);
        nyxtool::jsonProps(j, n.id);
        j.endObject();
    }
    j.endArray().endObject().finish();
    return 0;
}

int runOccProps(int argc, char **argv) {
    const bool json = nyxtool::takeFlag(argc, argv, "--json");
    if (argc != 4) {
        std::fprintf(stderr, "usage: nyx occprops LIB CELL SET [--json]\n");
        return 2;
    }
    cfidrErrorT err = 0;
    cfidrPIInit(&err);
    cfiOID set = nyxdrPIOpenOccPropSet(argv[1], argv[2], argv[3], cfidrReadMode, &err);
    int status;
    if (set.object == 0) status = fail(argv[3], err);
    else status = json ? printJson(set, argv[1], argv[2], argv[3]) : printText(set, argv[1], argv[2], argv[3]);
    cfidrPIQuit(&err);
    return status;
}

} // namespace

NYX_COMMAND("occprops", "LIB CELL SET [--json]", "print an occurrence property set as text", runOccProps);
