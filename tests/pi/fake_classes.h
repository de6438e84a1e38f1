// A small stand-in object model for the frame's tests: "libraries" (class 1) holding "cells"
// (class 2) that carry properties (class 13, addressed by their list and index). The rows are
// installed in the global state's operation tables so that the exported functions dispatch to
// them exactly as they will to the real classes.
#pragma once

#include <gtest/gtest.h>

#include <cstring>

#include "pi/pi.h"
#include "common/modes.h"

namespace fake {

struct Node {
    int32_t code;
    Node *kids[4];
    int nkids;
    int nprops;
    void *propList;  // identity of the property list (object word of the properties)
    char name[16];
    bool refuseDestroy;
    int destroyed;
};

struct Iter : nyxIter {
    Node *node;
    int pos = 0;
    Iter(const nyxIterOps &o, Node *n) : nyxIter(o), node(n) {}
};

inline nyxIterCache<Iter, 1> &cache() {
    static nyxIterCache<Iter, 1> c;
    return c;
}

inline Node *makeNode(int32_t code, const char *name) {
    Hx_genheap *heap = nyx::getGlobalHeap();
    Node *n = new (heap->allocBlock(sizeof(Node))) Node{};
    n->code = code;
    n->propList = heap->allocBlock(16);
    std::snprintf(n->name, sizeof n->name, "%s", name);
    return n;
}

inline void quit(nyxIter *it) { cache().release(static_cast<Iter *>(it)); }
inline void reset(nyxIter *it) { static_cast<Iter *>(it)->pos = 0; }
inline nyxObjRef nextKid(nyxIter *it, cfidrErrorT *) {
    Iter *f = static_cast<Iter *>(it);
    if (f->pos >= f->node->nkids) return {};
    Node *k = f->node->kids[f->pos++];
    return {k, k->code, 0};
}
inline nyxObjRef nextProp(nyxIter *it, cfidrErrorT *) {
    Iter *f = static_cast<Iter *>(it);
    if (f->pos >= f->node->nprops) return {};
    return {f->node->propList, nyxCodeProp, static_cast<uint32_t>(++f->pos)};
}
inline void destroy(void *obj, uint32_t, cfidrErrorT *err) {
    Node *n = static_cast<Node *>(obj);
    if (n->refuseDestroy) {
        *err = cfidrErrNotOpenForUpdate;
        return;
    }
    ++n->destroyed;
}
inline const char *getName(void *obj, uint32_t, cfidrErrorT *) { return static_cast<Node *>(obj)->name; }
inline void setName(void *obj, uint32_t, const char *name, cfidrErrorT *err) {
    if (name == nullptr || name[0] == '\0') {
        *err = cfidrErrBadName;
        return;
    }
    std::snprintf(static_cast<Node *>(obj)->name, sizeof(Node::name), "%s", name);
}

inline const nyxIterOps kKidOps = {nextKid, reset, quit};
inline const nyxIterOps kPropIterOps = {nextProp, reset, quit};
inline nyxIter *getKids(void *obj, uint32_t, cfidrErrorT *) {
    return cache().make(kKidOps, static_cast<Node *>(obj));
}
inline nyxIter *getProps(void *obj, uint32_t, cfidrErrorT *) {
    return cache().make(kPropIterOps, static_cast<Node *>(obj));
}

inline nyxClassOps makeOps(bool withKids) {
    nyxClassOps ops{};
    ops.destroy = destroy;
    ops.getName = getName;
    ops.setName = withKids ? setName : nullptr;  // "cells" cannot be renamed
    if (withKids) ops.getters[nyxIterCell] = getKids;
    ops.getters[nyxIterProp] = getProps;
    return ops;
}
inline const nyxClassOps kLibOps = makeOps(true);
inline const nyxClassOps kCellOps = makeOps(false);
inline const nyxClassOps kPropOps = {};

// Installs the rows (and puts the real ones back when the test ends).
struct Install {
    const nyxClassOps *saved[3];
    static constexpr int kCodes[3] = {nyxCodeLib, nyxCodeCell, nyxCodeProp};
    Install() {
        const nyxClassOps *rows[3] = {&kLibOps, &kCellOps, &kPropOps};
        for (int i = 0; i < 3; ++i) {
            saved[i] = nyxClasses::install(kCodes[i], rows[i]);
        }
    }
    ~Install() {
        for (int i = 0; i < 3; ++i) {
            nyxClasses::install(kCodes[i], saved[i]);
        }
    }
};

// Hands out an identifier as an exported function would.
inline cfiOID handOut(const void *obj, int32_t code, uint32_t member = 0) {
    cfidrErrorT e = 0;
    return nyxpi::handOut(obj, code, &e, member);
}

// A test with the global state made, released (with the modes cleared) at its end.
struct Session : testing::Test {
    void SetUp() override { cfidrPIInit(&e); }
    void TearDown() override {
        nyxtest::clearTrustedModes();
        cfidrPIQuit(&e);
    }
    cfidrErrorT e = -1;
};

} // namespace fake
