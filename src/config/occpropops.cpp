// The class rows of occurrence property sets (21) and occurrence properties (22-24): properties,
// names, destruction and the getters the withdrawal of identifiers walks.
#include "config/occpropInt.h"

namespace {

nyxOccPropSet *asSet(void *obj) { return static_cast<nyxOccPropSet *>(obj); }
nyxOccPropNode *asNode(void *obj) { return static_cast<nyxOccPropNode *>(obj); }

// Getters read the set first, except while the frame collects identifiers (nothing is read then).
bool readFirst(nyxOccPropSet *set, cfidrErrorT *err) {
    return nyxIterNoReads > 0 || nyxOccPropSet::load(set, err);
}

// A destroyed node has no operations left but its name.
bool live(nyxOccPropNode *node, cfidrErrorT *err) {
    if (node->d_code > 0) return true;
    return *err = cfidrErrObjectUnusable, false;
}

} // namespace

namespace nyxOccPropOps {

// --- Sets ------------------------------------------------------------------------------------------

nyxObjRef setCreateProp(void *obj, uint32_t, const char *name, cfidrErrorT *err) {
    nyxOccPropSet *set = asSet(obj);
    if (!nyxOccPropSet::load(set, err)) return {};
    nyxObjRef r = nyxPropCreate(set->d_propList, set->propOwner(), name, err);
    if (r.obj != nullptr) set->edited();
    return r;
}

nyxObjRef setFindProp(void *obj, uint32_t, const char *name, cfidrErrorT *err) {
    if (!nyxOccPropSet::load(asSet(obj), err)) return {};
    return nyxPropFind(asSet(obj)->d_propList, name, err);
}

nyxIter *setGetProps(void *obj, uint32_t, cfidrErrorT *err) {
    if (!readFirst(asSet(obj), err)) return nullptr;
    return nyxPropGetProps(asSet(obj)->d_propList, err);
}

nyxIter *setGetNodes(void *obj, uint32_t, cfidrErrorT *err) {
    nyxOccPropSet *set = asSet(obj);
    if (!readFirst(set, err)) return nullptr;
    if (set->root() == nullptr) return nyxOccPropSet::getNodes(set, 0, err);
    return nyxOccPropSet::getChildren(set->root(), err);
}

void setDestroy(void *obj, uint32_t, cfidrErrorT *err) { nyxOccPropSet::destroy(asSet(obj), err); }

const char *setGetName(void *obj, uint32_t, cfidrErrorT *) { return asSet(obj)->nameObj(); }

void noRename(void *, uint32_t, const char *, cfidrErrorT *err) { *err = cfidrErrIllegalOperation; }

// --- Nodes -----------------------------------------------------------------------------------------

nyxObjRef nodeCreateProp(void *obj, uint32_t, const char *name, cfidrErrorT *err) {
    nyxOccPropNode *node = asNode(obj);
    if (!live(node, err)) return {};
    nyxObjRef r = nyxPropCreate(node->d_propList, nyxOccPropSet::propOwner(node), name, err);
    if (r.obj != nullptr) node->d_set->edited();
    return r;
}

nyxObjRef nodeFindProp(void *obj, uint32_t, const char *name, cfidrErrorT *err) {
    if (!live(asNode(obj), err)) return {};
    return nyxPropFind(asNode(obj)->d_propList, name, err);
}

nyxIter *nodeGetProps(void *obj, uint32_t, cfidrErrorT *err) {
    return nyxPropGetProps(asNode(obj)->d_propList, err);
}

nyxIter *nodeGetChildren(void *obj, uint32_t, cfidrErrorT *err) {
    return nyxOccPropSet::getChildren(static_cast<nyxOccPropInst *>(asNode(obj)), err);
}

void nodeDestroy(void *obj, uint32_t, cfidrErrorT *err) {
    if (!live(asNode(obj), err)) return;
    nyxOccPropSet::destroyNode(asNode(obj), err);
}

const char *nodeGetName(void *obj, uint32_t, cfidrErrorT *) {
    // The name of an occurrence property is its pathname, kept in a buffer of the path ring.
    return nyxDMUtil::getPathBuf(nyxOccPropPath::pathname(asNode(obj)));
}

void propChanged(void *owner, uint32_t, int32_t code) {
    if (code == nyxCodeOccPropSet) asSet(owner)->edited();
    else asNode(owner)->d_set->edited();
}

} // namespace nyxOccPropOps
