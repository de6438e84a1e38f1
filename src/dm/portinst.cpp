// Port instances: the tree of an instance (first cut: the entry points the instance code calls).
#include "dm/portinst.h"

namespace nyxPortInst {

bool createTree(nyxInst *, cfidrErrorT *) { return true; }

void destroyTree(nyxInst *) {}

nyxIter *instGetter(void *, uint32_t, cfidrErrorT *) { return nullptr; }

nyxObjRef iterNext(nyxIter *, cfidrErrorT *) { return {}; }

void iterQuit(nyxIter *) {}

void iterReset(nyxIter *) {}

bool attachTrusted(nyxNetScalar *, void *) { return false; }

} // namespace nyxPortInst
