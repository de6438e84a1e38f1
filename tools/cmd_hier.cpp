// `nyx hier LIB CELL VIEW [--dot | --json]`: the hierarchy of views below a netlist view. Every
// distinct view (library, cell and view name) is one node, walked once however often it is
// instantiated; an edge from a view to a view it instantiates carries the number of instances.
// A describer that cannot be read is a node that is not walked ("readable": false; dashed in the
// Graphviz text). The walk keeps its own queue, so that deep hierarchies need no deep stack, and
// shows progress on a terminal when it reads many views. Read-only.
#include <cstdio>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "cfidr.h"
#include "cmd_dump.h"
#include "command.h"
#include "json.h"
#include "nyxdr.h"
#include "options.h"

namespace {

struct Edge {
    size_t child;
    long instances;
};

struct Node {
    std::string lib, cell, view;
    cfiOID id{};        // null when the view cannot be read
    std::vector<Edge> children;  // in the order of first instantiation
};

struct Hierarchy {
    std::vector<Node> nodes;  // nodes[0] is the top; the rest in the order they were found
    std::map<std::tuple<std::string, std::string, std::string>, size_t> index;

    // The node of a view, made (not yet walked) on first sight.
    size_t node(const std::string &lib, const std::string &cell, const std::string &view, cfiOID id, bool &made) {
        auto [it, inserted] = index.try_emplace(std::make_tuple(lib, cell, view), nodes.size());
        made = inserted;
        if (inserted) nodes.push_back(Node{lib, cell, view, id, {}});
        return it->second;
    }
};

std::string copy(const char *text) { return text != nullptr ? std::string(text) : std::string(); }

// Counts the instances of node `at` per describer, adding new describers to the hierarchy.
void expand(Hierarchy &h, size_t at, std::vector<size_t> &queue) {
    cfidrErrorT e = 0;
    const cfiOID view = h.nodes[at].id;
    std::map<size_t, size_t> edgeOf;  // child node -> index in children
    cfidrIterT it = cfidrNetlistViewGetInsts(view, &e);
    for (cfiOID i = cfidrIterNextInst(it, &e); i.object != 0; i = cfidrIterNextInst(it, &e)) {
        cfidrErrorT ie = 0;
        const std::string lib = copy(nyxdrInstGetDescriberLibName(i, &ie));
        const std::string cell = copy(nyxdrInstGetDescriberCellName(i, &ie));
        const std::string name = copy(nyxdrInstGetDescriberViewName(i, &ie));
        auto known = h.index.find(std::make_tuple(lib, cell, name));
        size_t child;
        if (known != h.index.end()) {
            child = known->second;
        } else {
            cfidrErrorT de = 0;
            cfiOID d = cfidrInstGetDescriber(i, &de);
            if (d.object != 0 && cfidrObjectGetObjectType(d, &de) != cfidrNetlistViewType) d = cfiOID{};
            bool made = false;
            child = h.node(lib, cell, name, d, made);
            if (made && d.object != 0) queue.push_back(child);
        }
        auto [edge, inserted] = edgeOf.try_emplace(child, h.nodes[at].children.size());
        if (inserted) h.nodes[at].children.push_back(Edge{child, 0});
        ++h.nodes[at].children[edge->second].instances;
    }
    cfidrIterQuit(it, &e);
}

void walk(Hierarchy &h) {
    nyxtool::Progress progress("nyx hier: views read");
    std::vector<size_t> queue{0};
    for (size_t next = 0; next < queue.size(); ++next) {
        expand(h, queue[next], queue);
        progress.step(static_cast<long>(next + 1));
    }
}

// A name inside a Graphviz string: quotes and backslashes escaped, line breaks as spaces.
std::string dotEscaped(const std::string &s) {
    std::string q;
    for (char c : s) {
        if (c == '"' || c == '\\') q += '\\';
        q += c == '\n' || c == '\r' ? ' ' : c;
    }
    return q;
}

void printDot(const Hierarchy &h) {
    std::printf("digraph hierarchy {\n  rankdir=TB;\n  node [shape=box, fontname=\"Helvetica\"];\n"
                "  edge [fontname=\"Helvetica\"];\n");
    for (size_t n = 0; n < h.nodes.size(); ++n) {
        const Node &node = h.nodes[n];
        const std::string label = dotEscaped(node.cell) + "\\n" + dotEscaped(node.view) + " (" + dotEscaped(node.lib) + ")";
        std::printf("  v%zu [label=\"%s\"%s];\n", n, label.c_str(),
                    node.id.object == 0 ? ", style=dashed" : n == 0 ? ", style=bold" : "");
    }
    for (size_t n = 0; n < h.nodes.size(); ++n) {
        for (const Edge &e : h.nodes[n].children) {
            std::printf("  v%zu -> v%zu [label=\"%ld\"];\n", n, e.child, e.instances);
        }
    }
    std::printf("}\n");
}

void jsonView(nyxtool::Json &j, const Node &n) {
    j.key("lib").value(n.lib).key("cell").value(n.cell).key("view").value(n.view);
}

void printJson(const Hierarchy &h) {
    nyxtool::Json j(stdout);
    j.beginObject().key("top").beginObject();
    jsonView(j, h.nodes[0]);
    j.endObject().key("views").beginArray();
    for (const Node &n : h.nodes) {
        j.beginObject();
        jsonView(j, n);
        j.key("readable").value(n.id.object != 0).key("children").beginArray();
        for (const Edge &e : n.children) {
            j.beginObject();
            jsonView(j, h.nodes[e.child]);
            j.key("instances").value(static_cast<int64_t>(e.instances)).endObject();
        }
        j.endArray().endObject();
    }
    j.endArray().endObject().finish();
}

// Indented tree; a view already shown is named again without its children.
void printTree(const Hierarchy &h) {
    std::vector<bool> shown(h.nodes.size(), false);
    struct Frame {
        size_t node;
        long instances;
        int depth;
    };
    std::vector<Frame> stack{{0, 0, 0}};
    while (!stack.empty()) {
        const Frame f = stack.back();
        stack.pop_back();
        const Node &n = h.nodes[f.node];
        std::string head = f.depth == 0 ? std::string() : std::to_string(f.instances) + " x ";
        const char *note = n.id.object == 0 ? " (cannot be read)" : shown[f.node] && !n.children.empty() ? " (see above)" : "";
        std::printf("%*s%s%s %s %s%s\n", f.depth * 2, "", head.c_str(), n.lib.c_str(), n.cell.c_str(), n.view.c_str(), note);
        if (shown[f.node]) continue;
        shown[f.node] = true;
        for (auto e = n.children.rbegin(); e != n.children.rend(); ++e) stack.push_back({e->child, e->instances, f.depth + 1});
    }
}

int runHier(int argc, char **argv) {
    const bool dot = nyxtool::takeFlag(argc, argv, "--dot");
    const bool json = nyxtool::takeFlag(argc, argv, "--json");
    if (argc != 4 || (dot && json)) {
        std::fprintf(stderr, "usage: nyx hier LIB CELL VIEW [--dot | --json]\n");
        return 2;
    }
    cfidrErrorT err = 0;
    cfidrPIInit(&err);
    cfiOID top = nyxtool::openView("hier", argv[1], argv[2], argv[3]);
    int status = 1;
    if (top.object != 0) {
        Hierarchy h;
        bool made = false;
        cfidrErrorT e = 0;
        cfiOID cell = cfidrViewGetOwner(top, &e);
        h.node(copy(cfidrNamedObjectGetName(cfidrCellGetOwner(cell, &e), &e)), copy(cfidrNamedObjectGetName(cell, &e)),
               copy(cfidrNamedObjectGetName(top, &e)), top, made);
        walk(h);
        dot ? printDot(h) : json ? printJson(h) : printTree(h);
        status = 0;
    }
    std::fflush(stdout);
    cfidrPIQuit(&err);
    return status;
}

} // namespace

NYX_COMMAND("hier", "LIB CELL VIEW [--dot | --json]",
            "show the hierarchy of views below a netlist view, with instance counts", runHier);
