// Paths of occurrences: lookups by names from the top, the names of an occurrence, pathnames.
#include "dw/dwInt.h"

using namespace nyxdwInt;

namespace {

// A view occurrence reached by names: its view, node (-1 a leaf), base and id.
struct Cursor {
    int32_t node = 0;
    int32_t base = nyxdw::kFirstLocal;
    int32_t id = nyxdw::kTopId;
    nyxNetlistView *view = nullptr;
};

int32_t count(const char *const *path, cfidrErrorT *err) {
    int32_t n = 0;
    for (; path != nullptr && path[n] != nullptr; ++n) {
        if (!nyxNetlistView::validString(path[n])) return *err = nyxdrErrBadPath, -1;
    }
    if (n == 0) *err = nyxdrErrBadPath;
    return n;
}

// Follows `n` instance names from the top; every one but the last must be descended into, the
// last may be a leaf when `leafLast`. 27 for a name not found.
bool follow(const nyxOccTree *tree, const char *const *names, int32_t n, bool leafLast, Cursor *at,
            cfidrErrorT *err) {
    at->view = tree->node(0).view;
    for (int32_t i = 0; i < n; ++i) {
        cfidrErrorT e = 0;
        nyxInst *inst = nyxInstance::findByName(at->view, names[i], &e);
        if (inst == nullptr) return *err = cfidrErrNotFound, false;
        const int32_t q = nyxInstance::position(inst);
        const nyxOccChild *c = tree->childAt(at->node, q);
        at->id = at->base + q;
        if (c != nullptr) {
            at->base += static_cast<int32_t>(c->offset);
            at->node = c->node;
            at->view = tree->node(c->node).view;
        } else if (leafLast && i == n - 1 && inst->footPrint()->d_describer != nullptr) {
            at->node = -1;
            at->view = inst->footPrint()->d_describer;
        } else {
            return *err = cfidrErrNotFound, false;
        }
    }
    return true;
}

// The instance names down to the view occurrence of a place, then nothing else.
bool instanceNames(const nyxOccTree *tree, int32_t id, Place *p, std::vector<std::string> *names) {
    std::vector<Step> trail;
    if (!locate(tree, id, p, &trail)) return false;
    for (const Step &s : trail) {
        cfidrErrorT e = 0;
        nyxInst *inst = nyxInstance::findByPosition(tree->node(s.node).view, s.instPos, &e);
        if (inst == nullptr) return false;
        names->push_back(inst->name());
    }
    return true;
}

bool isGlobal(const nyxObjRef &net) {
    return net.code == nyxCodeNetScalar && (static_cast<const nyxNetHead *>(net.obj)->d_flags & nyxNetHead::kGlobal) != 0;
}

} // namespace

namespace nyxdw {

nyxOccRef findView(nyxOccTree *tree, const char *const *path, cfidrErrorT *err) {
    const int32_t n = count(path, err);
    Cursor at;
    if (n <= 0 || !follow(tree, path, n, true, &at, err)) return nyxOccRef();
    return ref(tree, at.id, nyxOccInst);
}

nyxOccRef findNet(nyxOccTree *tree, const char *const *path, cfidrErrorT *err) {
    const int32_t n = count(path, err);
    Cursor at;
    if (n <= 0 || !follow(tree, path, n - 1, false, &at, err)) return nyxOccRef();
    cfidrErrorT e = 0;
    nyxObjRef net = nyxNet::findByName(at.view, path[n - 1], &e);
    if (net.obj == nullptr) return *err = cfidrErrNotFound, nyxOccRef();
    return ref(tree, at.base + at.view->netPosition(net.obj), nyxOccNet);
}

nyxOccRef findPort(nyxOccTree *tree, const char *const *path, const char *const *members, cfidrErrorT *err) {
    const int32_t n = count(path, err);
    Cursor at;
    if (n <= 0 || !follow(tree, path, n - 1, true, &at, err)) return nyxOccRef();
    cfidrErrorT e = 0;
    nyxPort *port = nyxPort::findByName(at.view->ports(), path[n - 1], &e);
    for (int32_t i = 0; port != nullptr && members != nullptr && members[i] != nullptr; ++i) {
        if (!nyxNetlistView::validString(members[i])) return *err = nyxdrErrBadPath, nyxOccRef();
        if (!port->isGroup()) return *err = cfidrErrNotFound, nyxOccRef();
        port = nyxPort::findByName(static_cast<nyxPortBundle *>(port)->members(), members[i], &e);
    }
    if (port == nullptr) return *err = cfidrErrNotFound, nyxOccRef();
    return ref(tree, at.id, nyxOccPort, nyxPort::getPositionInView(port));
}

bool pathOf(nyxOccTree *tree, const nyxOccRef &occ, nyxOccNames *out, cfidrErrorT *err) {
    out->names.clear();
    out->memberFrom = 0;
    Place p;
    switch (occ.kind) {
    case nyxOccTop:
        return occ.id == kTopId || fail(err);
    case nyxOccInst: {
        nyxInst *inst = instOf(tree, occ, err);
        if (inst == nullptr || !instanceNames(tree, occ.id, &p, &out->names)) return fail(err);
        out->names.push_back(inst->name());
        break;
    }
    case nyxOccNet: {
        nyxObjRef net = netOf(tree, occ, err);
        if (net.obj == nullptr) return false;
        if (!isGlobal(net) && !instanceNames(tree, occ.id, &p, &out->names)) return fail(err);
        out->names.push_back(nyxNet::name(net.obj));
        break;
    }
    case nyxOccPort: {
        auto *port = static_cast<nyxPort *>(portOf(tree, occ, err).obj);
        if (port == nullptr) return false;
        if (occ.id != kTopId) {
            nyxInst *inst = instOf(tree, viewRef(tree, occ.id), err);
            if (inst == nullptr || !instanceNames(tree, occ.id, &p, &out->names)) return fail(err);
            out->names.push_back(inst->name());
        }
        std::vector<std::string> chain;
        for (const nyxPort *q = port; q != nullptr; q = q->ownerGroup()) chain.push_back(q->name());
        out->names.insert(out->names.end(), chain.rbegin(), chain.rend());
        out->memberFrom = out->names.size() - chain.size() + 1;
        return true;
    }
    default:
        return fail(err);
    }
    out->memberFrom = out->names.size();
    return true;
}

std::string escapeName(const char *name) {
    std::string out;
    int32_t depth = 0;
    for (const char *c = name; *c != '\0'; ++c) {
        if (*c == '(' || *c == '<' || *c == '[') ++depth;
        else if ((*c == ')' || *c == '>' || *c == ']') && depth > 0) --depth;
        if (*c == '/' || *c == '\\' || (*c == ':' && depth == 0)) out += '\\';
        out += *c;
    }
    return out;
}

std::string pathnameOf(nyxOccTree *tree, const nyxOccRef &occ, cfidrErrorT *err) {
    nyxOccNames path;
    if (!pathOf(tree, occ, &path, err)) return std::string();
    std::string out;
    for (const std::string &name : path.names) {
        if (!out.empty()) out += '/';
        out += escapeName(name.c_str());
    }
    return out;
}

} // namespace nyxdw
