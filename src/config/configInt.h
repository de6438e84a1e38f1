// Private declarations of src/config: what its files share.
#pragma once

#include <string>

#include "config/config.h"

namespace nyxSelectorFile {

// Writes `text` to path + "." + the extension of type-table row `row` through the durable
// replacement of the file layer, after making the directory part of path (not reported when it
// fails). 4 when the text exceeds nyxTextFile::kMaxFile or the file cannot be written.
void writeText(const char *path, int32_t row, const std::string &text, cfidrErrorT *err);

} // namespace nyxSelectorFile

// The operations of the class rows of selector sets and selectors (selectorops.cpp), put into
// their rows by registration.cpp.
namespace nyxSelectorOps {

nyxObjRef setCreateProp(void *obj, uint32_t, const char *name, cfidrErrorT *err);
nyxObjRef setFindProp(void *obj, uint32_t, const char *name, cfidrErrorT *err);
nyxIter *setGetProps(void *obj, uint32_t, cfidrErrorT *err);
nyxIter *setGetLibSels(void *obj, uint32_t, cfidrErrorT *err);
nyxIter *setGetViewSels(void *obj, uint32_t, cfidrErrorT *err);
void setDestroy(void *obj, uint32_t, cfidrErrorT *err);
const char *setGetName(void *obj, uint32_t, cfidrErrorT *err);
void setSetName(void *obj, uint32_t, const char *name, cfidrErrorT *err);

nyxObjRef libCreateProp(void *obj, uint32_t, const char *name, cfidrErrorT *err);
nyxObjRef libFindProp(void *obj, uint32_t, const char *name, cfidrErrorT *err);
nyxIter *libGetProps(void *obj, uint32_t, cfidrErrorT *err);
void libDestroy(void *obj, uint32_t, cfidrErrorT *err);

nyxObjRef viewCreateProp(void *obj, uint32_t, const char *name, cfidrErrorT *err);
nyxObjRef viewFindProp(void *obj, uint32_t, const char *name, cfidrErrorT *err);
nyxIter *viewGetProps(void *obj, uint32_t, cfidrErrorT *err);
void viewDestroy(void *obj, uint32_t, cfidrErrorT *err);

} // namespace nyxSelectorOps

// Design configurations: the reader and the writer note the text now on disk (designconfig.cpp),
// so that a library save knows whether the configuration changed since.
void nyxDesignConfigStored(nyxDesignConfig *config, const std::string &text);

// The operations of the class row of design configurations (designconfigops.cpp); without a
// rename operation the frame refuses renaming (36).
namespace nyxDesignConfigOps {

nyxObjRef createProp(void *obj, uint32_t, const char *name, cfidrErrorT *err);
nyxObjRef findProp(void *obj, uint32_t, const char *name, cfidrErrorT *err);
nyxIter *getProps(void *obj, uint32_t, cfidrErrorT *err);
void destroy(void *obj, uint32_t, cfidrErrorT *err);
const char *getName(void *obj, uint32_t, cfidrErrorT *err);

} // namespace nyxDesignConfigOps

// The design-configuration part of nyxConfigInstall (registration.cpp).
void nyxDesignConfigInstall();

// The cell of a design configuration or occurrence property set being opened by names: the
// library is found among the known ones, else opened in `mode` (27 when it cannot be); it is
// read, marked opened by the user and takes `mode` (the mode of all its contents changes with
// it); the cell is found (27; 4 when memory ran out) and read, so that its read never lists the
// object a second time (a cell without a directory counts as read and empty). Null with the
// error. Names are checked by the caller.
nyxCell *nyxConfigOpenCell(const char *libName, const char *cellName, cfidrAccessModeT mode,
                           cfidrErrorT *err);
