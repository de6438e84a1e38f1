// Private declarations of the occurrence property sets of src/config: what their files share.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "config/configInt.h"

// The byte that joins a port name and its member pathname in a port node's name.
constexpr char kOccPortJoin = static_cast<char>(0x88);

// The cross-reference's life with the set (occpropxref.cpp).
namespace nyxOccPropXrefOps {
// Drops the set's cross-reference: the next look-up builds it again.
void clear(nyxOccPropSet *set);
} // namespace nyxOccPropXrefOps

// The operations of the class rows 21-24 (occpropops.cpp), put into their rows by
// registration.cpp.
namespace nyxOccPropOps {

nyxObjRef setCreateProp(void *obj, uint32_t, const char *name, cfidrErrorT *err);
nyxObjRef setFindProp(void *obj, uint32_t, const char *name, cfidrErrorT *err);
nyxIter *setGetProps(void *obj, uint32_t, cfidrErrorT *err);
nyxIter *setGetNodes(void *obj, uint32_t, cfidrErrorT *err);
void setDestroy(void *obj, uint32_t, cfidrErrorT *err);
const char *setGetName(void *obj, uint32_t, cfidrErrorT *err);
void noRename(void *obj, uint32_t, const char *name, cfidrErrorT *err);

nyxObjRef nodeCreateProp(void *obj, uint32_t, const char *name, cfidrErrorT *err);
nyxObjRef nodeFindProp(void *obj, uint32_t, const char *name, cfidrErrorT *err);
nyxIter *nodeGetProps(void *obj, uint32_t, cfidrErrorT *err);
nyxIter *nodeGetChildren(void *obj, uint32_t, cfidrErrorT *err);
void nodeDestroy(void *obj, uint32_t, cfidrErrorT *err);
const char *nodeGetName(void *obj, uint32_t, cfidrErrorT *err);

// Marks the set of a changed property's owner changed (the property room's change hook).
void propChanged(void *owner, uint32_t member, int32_t code);

} // namespace nyxOccPropOps

// The stored form (occpropfile.cpp), installed in the type-table row of occurrence property
// sets. `parse` fills an empty set from a text (0, or 4 when memory ran out; malformed lines are
// skipped); `format` gives the text the writer stores.
namespace nyxOccPropFile {

void read(nyxDMObj *set, const char *path, cfidrErrorT *err);
void write(nyxDMObj *set, const char *path, cfidrErrorT *err);
void remove(const char *path, cfidrErrorT *err);
cfidrErrorT parse(nyxOccPropSet *set, std::string_view text);
std::string format(const nyxOccPropSet *set);

} // namespace nyxOccPropFile
