/*
 * cfidr.h - the design representation interface of libnyx.
 *
 * A design lives in libraries. A library holds cells; a cell holds views; a netlist view holds
 * ports, nets, instances of other cells' views and the port instances that connect them; any of
 * these objects may carry properties. Selector sets choose which view of a cell a hierarchy uses.
 * Every object reaches the caller as a cfiOID (nyxtypes.h), every list as an iterator.
 *
 * Life of the library. cfidrPIInit creates the global state (and any function whose name begins
 * with cfidrPI does so when needed); cfidrPIQuit releases it: unsaved changes are dropped and
 * every identifier and iterator becomes unusable.
 *
 * Identifiers. An identifier is usable from the moment a function hands it out until its object
 * is destroyed or purged or the library is released. A function given an identifier checks, in
 * this order: the library is initialised (16), the identifier is not null (16), it is usable
 * (16), and it is of a class the function handles (15). Further identifier arguments report their
 * own pairs of codes (a port 17/18, a port instance 19/20, a net 50/44, a port bundle 51/45, a
 * cell 52/15, a describer view 6/7). In trusted program mode (nyxdr.h) only the null test runs.
 *
 * Iterators. A getter returns an iterator; each IterNext function steps iterators of one kind and
 * returns the null identifier when they are exhausted. A getter that fails returns a null
 * iterator, which every IterNext function treats as exhausted; cfidrIterQuit frees any iterator,
 * after which its handle reports 11. An iterator outlives nothing it walks: once the object whose
 * contents it lists is destroyed or purged (its view, cell or library, the group whose members
 * it lists, the object whose properties it lists), stepping or rewinding it reports 16 and
 * returns the null identifier, in every mode; quit it as usual.
 *
 * Strings. Returned strings belong to the library and stay valid until ten further strings have
 * been returned or the library is released.
 */
#ifndef CFIDR_H
#define CFIDR_H

#include "nyxtypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ==== Start and end ======================================================================== */

/* Creates the global state when none exists: the heaps, the libraries of the search path
 * ZIL_CFI_LIBPATH (read-only) and, when ZIL_NYX_LIBRARYMAP is ".", the libraries and selector sets
 * of the current directory. Calling it again changes nothing. Reports no error. */
NYX_API void cfidrPIInit(cfidrErrorT *err);

/* Releases the global state: ends compilations, drops every library, view and selector set without
 * saving, and frees all memory of the library at once. Every identifier and iterator becomes
 * unusable. Without a global state it creates one and releases it. Reports no error. */
NYX_API void cfidrPIQuit(cfidrErrorT *err);

/* Returns the null identifier {0, 0}. Reports no error. */
NYX_API cfiOID cfidrPIGetNullId(cfidrErrorT *err);

/* Returns the text of an error code 0-53, cfidrErrNone to cfidrErrSameCellInst (nyxtypes.h; "No
 * error occurred." for 0). The string belongs to the library (see Strings above). A code outside
 * 0-53 reports 9 (cfidrErrBadErrorCode) and returns "". Extension codes are translated by
 * nyxdwPIGetErrorText (nyxdw.h). */
NYX_API const char *cfidrPIGetErrorText(cfidrErrorT code, cfidrErrorT *err);

/* ==== Any object =========================================================================== */

/* Returns 1 when the object word of id is 0 (whatever its tag). Otherwise checks id and returns
 * 0; errors: 16 when id is not usable or the library is not initialised. */
NYX_API cfiBooleanEnum cfidrObjectIsNull(cfiOID id, cfidrErrorT *err);

/* Returns 1 when both object words are 0, or when both words of a equal both words of b. Each
 * non-null argument is checked first; errors: 16 (a or b unusable), result 0. */
NYX_API cfiBooleanEnum cfidrObjectIsSame(cfiOID a, cfiOID b, cfidrErrorT *err);

/* Returns 1 when id is usable (handed out and not destroyed since), else 0; 0 before
 * initialisation. Never reports an error. */
NYX_API cfiBooleanEnum cfidrObjectIsUsable(cfiOID id, cfidrErrorT *err);

/* Returns the object's type (cfidrLibType ... nyxdrPortOccPropType, nyxtypes.h). Errors: 16 (null
 * or unusable id), 15 (an occurrence identifier: typed by the occurrence walk); result 0. */
NYX_API cfidrObjectTypeT cfidrObjectGetObjectType(cfiOID id, cfidrErrorT *err);

/* Destroys an object with everything it contains; their identifiers become unusable. Errors: 16
 * (unusable), 15 (an occurrence identifier), 42 (the containing library or view is read-only),
 * 36 (the class cannot be destroyed, as port instances), 4 (class without a destroy operation,
 * out of memory). On error nothing is destroyed and every identifier stays usable. */
NYX_API void cfidrObjectDestroy(cfiOID id, cfidrErrorT *err);

/* ==== Named objects ======================================================================== */

/* Returns the name of a named object: a library, cell, view, port, net, instance, property,
 * selector set, net alias, occurrence property set or property (its path name), or design
 * configuration. The string belongs to the library (see Strings above). Errors: 16 (unusable),
 * 15 (not a named object); result "". */
NYX_API const char *cfidrNamedObjectGetName(cfiOID id, cfidrErrorT *err);

/* Renames a named object. Instances, nets, net aliases, properties, netlist views and selector
 * sets can be renamed; any other class reports 36. Errors: 16 (unusable), 15 (not a named
 * object), 14 (invalid name), 25 (the name is taken), 42 (read-only container), 36. */
NYX_API void cfidrNamedObjectSetName(cfiOID id, const char *name, cfidrErrorT *err);

/* ==== Libraries and selector sets of the session =========================================== */

/* Returns an iterator (kind: library) over the known libraries, in the order they became known;
 * step it with cfidrIterNextLib. Errors: 4 (out of memory; a null iterator is returned). */
NYX_API cfidrIterT cfidrPIGetLibs(cfidrErrorT *err);

/* Returns an iterator over the open selector sets; step it with cfidrIterNextSelectorSet.
 * Errors: 4 (out of memory; a null iterator is returned). */
NYX_API cfidrIterT cfidrPIGetSelectorSets(cfidrErrorT *err);

/* ==== Iterators ============================================================================ */

/* Each IterNext function returns the next object of an iterator of its own kind and makes its
 * identifier usable, or returns the null identifier when the iterator is exhausted. A null
 * iterator returns the null identifier without error. Errors: 11 (the handle is not a live
 * iterator, or the library is not initialised), 12 (an iterator of another kind), 16 (what it
 * walks was destroyed or purged); result null.
 * cfidrIterNextNet also steps the iterators of cfidrIterNextNetBundle. Functions that step
 * iterators over several classes (nets, ports, port instances, views, view selectors) return
 * identifiers of each object's own class. */
NYX_API cfiOID cfidrIterNextCell(cfidrIterT it, cfidrErrorT *err);
NYX_API cfiOID cfidrIterNextInst(cfidrIterT it, cfidrErrorT *err);
NYX_API cfiOID cfidrIterNextLib(cfidrIterT it, cfidrErrorT *err);
NYX_API cfiOID cfidrIterNextNet(cfidrIterT it, cfidrErrorT *err);
NYX_API cfiOID cfidrIterNextNetBundle(cfidrIterT it, cfidrErrorT *err);
NYX_API cfiOID cfidrIterNextPort(cfidrIterT it, cfidrErrorT *err);
NYX_API cfiOID cfidrIterNextPortInst(cfidrIterT it, cfidrErrorT *err);
NYX_API cfiOID cfidrIterNextProp(cfidrIterT it, cfidrErrorT *err);
NYX_API cfiOID cfidrIterNextView(cfidrIterT it, cfidrErrorT *err);
NYX_API cfiOID cfidrIterNextLibrarySelector(cfidrIterT it, cfidrErrorT *err);
NYX_API cfiOID cfidrIterNextViewSelector(cfidrIterT it, cfidrErrorT *err);
NYX_API cfiOID cfidrIterNextSelectorSet(cfidrIterT it, cfidrErrorT *err);

/* Rewinds an iterator to its first element; a null iterator stays as it is. Errors: 11 (the
 * handle is not a live iterator or null iterator), 16 (what it walks was destroyed or purged;
 * it stays ended). */
NYX_API void cfidrIterReset(cfidrIterT it, cfidrErrorT *err);

/* Frees an iterator (real or null); its handle then reports 11. Errors: 11 (the handle is not a
 * live iterator or null iterator, e.g. one already quit). */
NYX_API void cfidrIterQuit(cfidrIterT it, cfidrErrorT *err);

/* ==== Properties =========================================================================== */

/* Any object of the data model (library, cell, view, port, net, instance, port instance, selector,
 * property, ...) can carry named, typed properties. A property is identified by the property list
 * of its owner and its index there; the index stays valid until the property is destroyed with
 * cfidrObjectDestroy (which also destroys the properties on it), and a destroyed index is reused
 * by the next property created on the same object. Names compare without regard to case unless
 * ZIL_NYX_CASE_SENSITIVE was set when the library was initialised. A property takes the type of
 * the last value set on it: setting an integer on a string property makes it an integer
 * property. Value types (nyxtypes.h): cfidrNoValueType 0 (created, never set),
 * cfidrBooleanValueType 1, cfidrInt32ValueType 2, cfidrFloat32ValueType 3, cfidrStringValueType 5.
 * Checks of creation, renaming and setting are skipped in trusted data mode. */

/* Creates a property without a value (type 0) on obj and returns it. Errors: 16 (obj unusable),
 * 15 (the class carries no properties), 42 (the containing library or view is read-only), 14
 * (name null, empty, not 7-bit ASCII or with control characters), 26 (obj already has a property
 * of that name), 47 (properties on properties nested more than 1024 deep), 4 (out of memory);
 * result null. */
NYX_API cfiOID cfidrObjectCreateProp(cfiOID obj, const char *name, cfidrErrorT *err);

/* Returns the property of obj with that name (any value type). Errors: 16, 15 as above, 27 (no
 * such property); result null. */
NYX_API cfiOID cfidrObjectFindPropByName(cfiOID obj, const char *name, cfidrErrorT *err);

/* Returns an iterator over the properties of obj in index order (destroyed ones skipped); step it
 * with cfidrIterNextProp. Errors: 16, 15 as above, 4 (out of memory); a null iterator is
 * returned on error. */
NYX_API cfidrIterT cfidrObjectGetProps(cfiOID obj, cfidrErrorT *err);

/* Returns the object that carries the property (a property, for a property on a property).
 * Errors: 16 (prop unusable), 15 (not a property); result null. */
NYX_API cfiOID cfidrPropGetOwner(cfiOID prop, cfidrErrorT *err);

/* Returns the value type: 0 none, 1 boolean, 2 integer, 3 float, 5 string (also for the extended
 * string-like types of nyxdrPropGetValueType), named cfidrNoValueType ... cfidrStringValueType.
 * Errors: 16, 15; result 0. */
NYX_API cfidrValueTypeT cfidrPropGetValueType(cfiOID prop, cfidrErrorT *err);

/* Return the value of a property of the matching type (boolean 1, integer 2, float 3; the string
 * getter takes every string-like type and returns the text as stored, without evaluation). The
 * string belongs to the library (see Strings above). Errors: 16, 15 (not a property, or a value of
 * another type; in trusted program mode the type is not checked); result 0 or "". */
NYX_API cfiBooleanEnum cfidrPropGetBooleanValue(cfiOID prop, cfidrErrorT *err);
NYX_API int32_t cfidrPropGetInt32Value(cfiOID prop, cfidrErrorT *err);
NYX_API float cfidrPropGetFloat32Value(cfiOID prop, cfidrErrorT *err);
NYX_API const char *cfidrPropGetStringValue(cfiOID prop, cfidrErrorT *err);

/* Set the value of a property, giving it the setter's type (a boolean stores any non-zero value
 * as 1; an expression is a text for the expression language, stored unevaluated and reported as
 * a string). Texts are copied. Errors: 16, 15, 42 (the containing library or view is read-only),
 * 10 (a float outside -1e37 .. 1e37 or NaN, a null text), 4 (out of memory); on error the value
 * is unchanged. */
NYX_API void cfidrPropSetBooleanValue(cfiOID prop, cfiBooleanEnum value, cfidrErrorT *err);
NYX_API void cfidrPropSetInt32Value(cfiOID prop, int32_t value, cfidrErrorT *err);
NYX_API void cfidrPropSetFloat32Value(cfiOID prop, float value, cfidrErrorT *err);
NYX_API void cfidrPropSetStringValue(cfiOID prop, const char *value, cfidrErrorT *err);
NYX_API void cfidrPropSetExpressionValue(cfiOID prop, const char *value, cfidrErrorT *err);

/* ==== Libraries and cells ==================================================================== */

/* A library is a directory; each of its cells is a subdirectory holding one file per stored view.
 * The directory of a library comes from its name through ZIL_NYX_LIBRARYMAP (unset: the name as a
 * path through the location map; ".": a directory of the current directory; otherwise a file of
 * "expression<tab>replacement" rules) and ZIL_CFI_LIBPATH names libraries known from the start.
 * Libraries and cells are read from disk on first use and written only by cfidrLibSave. Names of
 * libraries, cells and views compare without regard to case; a valid name is non-empty 7-bit text
 * without control characters. */

/* Creates a library in memory, open for update; nothing is written until cfidrLibSave. Errors: 14
 * (invalid name, or a directory path with an entry longer than 255 bytes), 26 (a library of that
 * name is known or its directory exists), 4 (out of memory); result null. */
NYX_API cfiOID cfidrPICreateLib(const char *name, cfidrErrorT *err);

/* Opens a library in read (cfidrReadMode, 1) or update (cfidrUpdateMode, 2) mode, reading its
 * directory when first used. A library the caller opened, created, found or listed before is
 * returned in the new mode with error 22. Errors: 41 (bad mode), 14 (invalid name), 27 (no such
 * library directory, or it cannot be listed), 4 (out of memory); result null except with 22. */
NYX_API cfiOID cfidrPIOpenLib(const char *name, cfidrAccessModeT mode, cfidrErrorT *err);

/* Finds a known library, or one whose directory exists (made known in read mode without reading
 * it). Errors: 14 (invalid name), 27 (not found), 4; result null. */
NYX_API cfiOID cfidrPIFindLibByName(const char *name, cfidrErrorT *err);

/* Creates a cell in a library (reading the library first when needed). A name with control
 * characters is tried once without them. Errors: 16/15 (library argument), 42 (library opened
 * read-only), 14 (invalid name, or longer than the 255 bytes of a directory entry), 26 (a cell of
 * that name exists in memory or on disk), 27 (the library directory cannot be listed), 4; result
 * null. */
NYX_API cfiOID cfidrLibCreateCell(cfiOID lib, const char *name, cfidrErrorT *err);

/* Finds a cell of a library by name. Errors: 16/15, 14 (invalid name), 27 (no such cell, or the
 * library directory cannot be listed), 4; result null. */
NYX_API cfiOID cfidrLibFindCellByName(cfiOID lib, const char *name, cfidrErrorT *err);

/* Returns an iterator (kind: cell) over a library's cells in the order they became known; step it
 * with cfidrIterNextCell. Errors: 16/15, 27 (the directory cannot be listed), 4; a null iterator
 * is returned on error. */
NYX_API cfidrIterT cfidrLibGetCells(cfiOID lib, cfidrErrorT *err);

/* Saves a library: creates its directory, saves every cell with its views, occurrence property
 * sets and design configurations, and writes the property files (only for objects that have
 * properties). Files are replaced durably: an interrupted or failed save leaves the previous file.
 * Errors: 16/15, 4 (a file or directory could not be written; the save stops there). */
NYX_API void cfidrLibSave(cfiOID lib, cfidrErrorT *err);

/* Drops a library's in-memory state without saving; the identifiers of the library and of
 * everything in it become unusable. A library whose directory exists stays known, unopened, and
 * is read again on next use. Errors: 16/15. */
NYX_API void cfidrLibPurge(cfiOID lib, cfidrErrorT *err);

/* Returns the library that owns a cell. Errors: 16/15; result null. */
NYX_API cfiOID cfidrCellGetOwner(cfiOID cell, cfidrErrorT *err);

/* Returns an iterator (kind: view) over a cell's views, reading the cell first when needed; each
 * view is read before it is handed out and its identifier has the view's own class. Step it with
 * cfidrIterNextView. Errors: 16/15, 27 (the cell directory cannot be listed), 4; a null iterator
 * on error. */
NYX_API cfidrIterT cfidrCellGetViews(cfiOID cell, cfidrErrorT *err);

/* Finds a view of a cell by name (netlist or encapsulated view), reading it first; a view not yet
 * known to the cell is opened read-only. Errors: 16/15, 14 (invalid name), 27 (no such view), 4;
 * result null.
 * Libraries and cells are destroyed (on disk and in memory) with cfidrObjectDestroy (42 for a
 * library opened read-only and for a cell of one; 4 when a file or directory cannot be removed;
 * what is not in memory yet is not read for it) and named by
 * cfidrNamedObjectGetName; renaming them reports 36. */
NYX_API cfiOID cfidrCellFindViewByName(cfiOID cell, const char *name, cfidrErrorT *err);

/* ==== Ports ================================================================================ */

/* Ports are the interface of a netlist view. A port scalar (cfidrPortScalarType) is one signal
 * with a direction (cfidrUndefinedDirection 0, cfidrInputDirection 1, cfidrOutputDirection 2,
 * cfidrInOutDirection 3) and at most one attached net scalar. A port bus (cfidrPortBusType) is an
 * ordered group of member ports indexed from its start by its step (member i has index
 * start + i * step); a port bundle (cfidrPortBundleType) is an ordered, unindexed group. Groups
 * nest without limit and own their members; a port bus is a kind of port bundle, so every
 * cfidrPortBundle function takes a bus too. A port belongs to the view (a top-level port) or to
 * exactly one bus or bundle; names are unique among the ports of one owner and compared exactly.
 * Ports cannot be renamed (cfidrNamedObjectSetName reports 36); cfidrObjectDestroy destroys a
 * port with its members, detaching scalars from their nets.
 *
 * Positions. A position argument p with 0 <= p < size places the port before the one now at p;
 * any other value appends. Iteration modes of the port iterators (step them with
 * cfidrIterNextPort; ports of every depth come in pre-order, a group before its members):
 * cfidrScalarIterMode (1) port scalars only, cfidrBundleIterMode (2) buses and bundles only,
 * cfidrTopLevelIterMode (3) the owner's direct members only, cfidrAllIterMode (4) all.
 *
 * Creation checks, skipped in trusted data mode, in this order: 42 (the view is read-only), 14
 * (invalid name), 26 (the owner has a port of that name and kind), 25 (of another kind), then 8
 * (direction outside 0-3) or 10 (bus step 0); 47 (also in trusted data mode) for a port that
 * would be held by more than 1024 groups, the deepest nesting a view file holds. 4 when memory
 * runs out. Every edit raises the view's version. */

/* Create a top-level port of a netlist view at a position. Errors: 16/15 (view argument), the
 * creation checks above; result null. */
NYX_API cfiOID cfidrNetlistViewCreatePortScalar(cfiOID view, const char *name, int32_t position,
                                                cfidrPortDirectionT direction, cfidrErrorT *err);
NYX_API cfiOID cfidrNetlistViewCreatePortBus(cfiOID view, const char *name, int32_t position, int32_t start,
                                             int32_t step, cfidrErrorT *err);
NYX_API cfiOID cfidrNetlistViewCreatePortBundle(cfiOID view, const char *name, int32_t position,
                                                cfidrErrorT *err);

/* Create a member port of a port bundle or bus at a position. Errors: 16/15 (bundle argument),
 * the creation checks above; result null. */
NYX_API cfiOID cfidrPortBundleCreatePortScalar(cfiOID bundle, const char *name, int32_t position,
                                               cfidrPortDirectionT direction, cfidrErrorT *err);
NYX_API cfiOID cfidrPortBundleCreatePortBus(cfiOID bundle, const char *name, int32_t position, int32_t start,
                                            int32_t step, cfidrErrorT *err);
NYX_API cfiOID cfidrPortBundleCreatePortBundle(cfiOID bundle, const char *name, int32_t position,
                                               cfidrErrorT *err);

/* Returns the top-level port of a view with exactly that name. Errors: 16/15, 14 (invalid name,
 * not checked in trusted program mode), 27 (no such port); result null. */
NYX_API cfiOID cfidrNetlistViewFindPortByName(cfiOID view, const char *name, cfidrErrorT *err);

/* Returns an iterator over the ports of a view in the given mode (see above). Errors: 16/15, 35
 * (mode outside 1-4), 4; a null iterator on error. */
NYX_API cfidrIterT cfidrNetlistViewGetPorts(cfiOID view, cfidrIterModeT mode, cfidrErrorT *err);

/* Returns the owner of a port: the view, a port bus or a port bundle. Errors: 16/15; result
 * null. */
NYX_API cfiOID cfidrPortGetOwner(cfiOID port, cfidrErrorT *err);

/* Returns the index of a port in its owner's list (the view's top-level ports or the group's
 * members). Errors: 16/15; result 0. */
NYX_API int32_t cfidrPortGetPosition(cfiOID port, cfidrErrorT *err);

/* Makes a port a top-level port of its view, placed at a position (see above). Errors: 16/15, 42
 * (read-only view), 25 (another top-level port has its name; not checked when the port is top
 * level already), 4. */
NYX_API void cfidrPortSetOwnerView(cfiOID port, int32_t position, cfidrErrorT *err);

/* Makes a port a member of a port bundle or bus of the same view, placed at a position (0 to the
 * size inserts there, any other value appends). Errors: 16/15 (port), 51/45 (bundle), 42, 25
 * (another member of the bundle has the port's name), 37 (the bundle is in another view), 47 (the
 * bundle is the port or lies inside it, or the port's members would end up held by more than 1024
 * groups; also in trusted data mode), 4 (in trusted program mode: the new owner is not a bundle or
 * bus). */
NYX_API void cfidrPortSetOwnerPortBundle(cfiOID port, cfiOID bundle, int32_t position, cfidrErrorT *err);

/* Returns the direction of a port scalar: the stored one, except that an undefined direction (0)
 * reads as input-output (3, cfidrInOutDirection) while a schematic view is being opened. Errors:
 * 16/15; result 0. */
NYX_API cfidrPortDirectionT cfidrPortScalarGetDirection(cfiOID port, cfidrErrorT *err);

/* Returns the net scalar a port scalar is attached to, or the null identifier when it is not
 * attached (no error). Errors: 16/15. */
NYX_API cfiOID cfidrPortScalarGetNetScalar(cfiOID port, cfidrErrorT *err);

/* Return and set the start index and the step of a port bus. Setting does not rename the bus.
 * Errors: 16/15, 42 (setting in a read-only view), 10 (step 0); getters return 0 on error. */
NYX_API int32_t cfidrPortBusGetStart(cfiOID bus, cfidrErrorT *err);
NYX_API int32_t cfidrPortBusGetStep(cfiOID bus, cfidrErrorT *err);
NYX_API void cfidrPortBusSetStart(cfiOID bus, int32_t start, cfidrErrorT *err);
NYX_API void cfidrPortBusSetStep(cfiOID bus, int32_t step, cfidrErrorT *err);

/* Returns the number of direct members of a port bundle or bus. Errors: 16/15; result 0. */
NYX_API int32_t cfidrPortBundleGetSize(cfiOID bundle, cfidrErrorT *err);

/* Returns the member of a port bundle or bus with exactly that name. Errors: 16/15, 14 (invalid
 * name, not checked in trusted program mode), 27 (no such member); result null. */
NYX_API cfiOID cfidrPortBundleFindPortByName(cfiOID bundle, const char *name, cfidrErrorT *err);

/* Returns the member at an index (0 to size - 1) of a port bundle's or bus's member list. Errors:
 * 16/15, 46 (index out of range); result null. */
NYX_API cfiOID cfidrPortBundleFindPortByPosition(cfiOID bundle, int32_t position, cfidrErrorT *err);

/* Returns an iterator over the ports below a port bundle or bus in the given mode (the group
 * itself is not yielded). Errors: 16/15, 35, 4; a null iterator on error. */
NYX_API cfidrIterT cfidrPortBundleGetPorts(cfiOID bundle, cfidrIterModeT mode, cfidrErrorT *err);

/* Returns an iterator (step it with cfidrIterNextNetBundle or cfidrIterNextNet) over the net
 * buses and bundles that hold, directly or through nested groups, the net of any port scalar at
 * any depth below a port bundle or bus, each once, in discovery order. The list is taken when
 * the iterator is made. Errors: 16/15, 4; a null iterator on error. */
NYX_API cfidrIterT cfidrPortBundleGetNetBundles(cfiOID bundle, cfidrErrorT *err);

/* ==== Netlist views ========================================================================= */

/* A netlist view holds the connectivity of one cell: ports, nets, instances and properties, all
 * released together when the view is purged. Views listed from a cell directory are read on
 * first use of their contents; a view whose stored form cannot be read reports 27 then. */

/* Opens a view by library, cell and view name in read (1) or update (2) mode (cfidrReadMode,
 * cfidrUpdateMode) and returns it with its own class (netlist or encapsulated view). The library
 * is found among the known ones, or made known from its directory and read, as cfidrPIOpenLib does
 * (without reporting 22): a library the caller had not opened takes the mode, one it had opened
 * keeps its own. The view's stored form is read unless trusted program mode is on, and the view
 * takes the mode: edits of a view opened for read report 42. Names compare without regard to case.
 * Errors: 41 (bad mode), 14 (invalid library, cell or view name), 27 (no such library directory,
 * cell or stored view: a view that has no stored file is not found), 4 (the stored form is
 * damaged, or out of memory); result null. The view belongs to the library; cfidrViewPurge drops
 * it. */
NYX_API cfiOID cfidrPIOpenView(const char *lib, const char *cell, const char *view, cfidrAccessModeT mode,
                               cfidrErrorT *err);

/* Creates a netlist view named name in a cell (a tab in the name is stored as "/", a newline as
 * "."), open for update and marked changed. Errors: 16/15 (cell), 42 (the library is open for read
 * only), 14 (bad name, or too long for a file name: with ".nyxNetlistView" and the save's companion
 * suffix it must fit 255 bytes), 26 (the cell already lists a view of that name, or a netlist view
 * of that name is stored in the cell's directory), 4; result null. Checks other than the identifier
 * are skipped in trusted data mode. */
NYX_API cfiOID cfidrCellCreateNetlistView(cfiOID cell, const char *name, cfidrErrorT *err);

/* Returns the view type: "CFIDR_NETLISTVIEW" for a created netlist view, the type given at
 * creation for an encapsulated view. Errors: 16/15, 27/4 (the view's stored form cannot be read);
 * result "". */
NYX_API const char *cfidrViewGetViewType(cfiOID view, cfidrErrorT *err);

/* Returns the cell that owns a view. Errors: 16/15; result null. */
NYX_API cfiOID cfidrViewGetOwner(cfiOID view, cfidrErrorT *err);

/* Writes a changed view to its file; an unchanged view writes nothing. A view not read yet is
 * read first, so that one whose file cannot be read reports that read's error (27, 4) in every
 * mode and its file is left as it is. Errors: 16/15, 27, 4 (the file could not be read or
 * written). */
NYX_API void cfidrViewSave(cfiOID view, cfidrErrorT *err);

/* Drops a view from memory without saving; the identifiers of the view and of everything in it
 * become unusable. A view stored on disk stays listed in its cell and is read again on next use.
 * Errors: 16/15, 4. */
NYX_API void cfidrViewPurge(cfiOID view, cfidrErrorT *err);

/* ==== Nets ================================================================================== */

/* Nets of a view share one name space (scalars, buses, bundles and alias names). A net scalar is
 * one node connected to port scalars and port instance scalars; a net bus (indexed) or bundle is
 * an ordered group referring to other nets of the view, which one net may join several times.
 * Positions count slots over blocks of 22 scalars, 27 bundles and 22 buses, scalars first, then
 * bundles, then buses; they stay put while other nets come and go. Iteration modes:
 * cfidrScalarIterMode (1) net scalars, cfidrBundleIterMode (2) buses and bundles,
 * cfidrTopLevelIterMode (3) top level (of a view: nets in no group; of a group: its direct
 * members), cfidrAllIterMode (4) all. Edit checks (42, 14, 25, 26) are skipped in trusted data
 * mode. */

/* Create a net scalar, bus (start, step) or bundle in a view. Errors: 16/15 (view), 27 (the view
 * cannot be read), 42 (read-only view), 14 (bad name), 26 (a net of the same kind has the name),
 * 25 (a net of another kind or an alias has it), 10 (bus step 0), 4; result null. */
NYX_API cfiOID cfidrNetlistViewCreateNetScalar(cfiOID view, const char *name, cfidrErrorT *err);
NYX_API cfiOID cfidrNetlistViewCreateNetBus(cfiOID view, const char *name, int32_t start, int32_t step,
                                            cfidrErrorT *err);
NYX_API cfiOID cfidrNetlistViewCreateNetBundle(cfiOID view, const char *name, cfidrErrorT *err);

/* Returns the net of a name (exact comparison); an alias name gives the net it names. Errors:
 * 16/15, 14 (bad name, unless trusted program mode), 27 (no such net); result null. */
NYX_API cfiOID cfidrNetlistViewFindNetByName(cfiOID view, const char *name, cfidrErrorT *err);

/* Returns an iterator over the view's nets in the given mode: scalars, then bundles, then buses,
 * each in position order. Errors: 16/15, 35 (mode), 27, 4; a null iterator on error. */
NYX_API cfidrIterT cfidrNetlistViewGetNets(cfiOID view, cfidrIterModeT mode, cfidrErrorT *err);

/* Attach a port (port instance) to a net. Mode 1 (cfidrPositionAttachMode) pairs the members of a
 * bus or bundle by position, mode 2 (cfidrNameAttachMode) by exact name. A scalar pair: 42
 * read-only, 37 other view, 38 not a scalar, 30 (28) already attached, 24 names differ in mode 2.
 * A group pair checks 42 and 37 and then the whole pairing (38 a scalar paired with a group, the
 * port itself among them; 30 (28) a scalar attached to a net other than its partner) and then
 * attaches pair by pair, nested groups included; 24 when mode 2 paired nothing.
 * Further errors: 16/15 (net), 17/18 (port), 19/20 (port instance), 5 (mode), 4. */
NYX_API void cfidrNetAttachPort(cfiOID net, cfiOID port, cfidrAttachModeT mode, cfidrErrorT *err);
NYX_API void cfidrNetAttachPortInst(cfiOID net, cfiOID portInst, cfidrAttachModeT mode, cfidrErrorT *err);

/* Detach a port (port instance) from a net; for a group, every scalar under it at any depth that
 * is attached to a scalar member (at any depth) of the net. Errors: 16/15, 17/18 (19/20), 42,
 * 32 (29) nothing attached there to detach, 4. */
NYX_API void cfidrNetDetachPort(cfiOID net, cfiOID port, cfidrErrorT *err);
NYX_API void cfidrNetDetachPortInst(cfiOID net, cfiOID portInst, cfidrErrorT *err);

/* Iterators over a net scalar's port scalars (port instance scalars); for a bus or bundle over
 * the port buses and bundles (port instance groups) that hold, at any depth, a scalar attached to
 * any of its scalar members, each once. The list is taken when the iterator is made. Errors:
 * 16/15, 4; a null iterator on error. */
NYX_API cfidrIterT cfidrNetGetPorts(cfiOID net, cfidrErrorT *err);
NYX_API cfidrIterT cfidrNetGetPortInsts(cfiOID net, cfidrErrorT *err);

/* Returns an iterator over the net buses and bundles that hold a net directly or through nested
 * groups, each once, in discovery order; or finds one of them by name (27 none, 14 bad name).
 * Errors: 16/15, 4. */
NYX_API cfidrIterT cfidrNetGetNetBundles(cfiOID net, cfidrErrorT *err);
NYX_API cfiOID cfidrNetFindNetBundleByName(cfiOID net, const char *name, cfidrErrorT *err);

/* Returns the view that holds a net. Errors: 16/15; result null. */
NYX_API cfiOID cfidrNetGetOwner(cfiOID net, cfidrErrorT *err);

/* Inserts a net into a bus or bundle before the member at position (appended when position is
 * outside 0 to size - 1). Errors: 16/15 (group), 50/44 (net), 42, 37 (other view), 47 (the group
 * would contain itself, or a chain of groups each holding the next would lead more than 1024
 * steps down from a net that no group holds: the deepest nesting a view file holds), 4. */
NYX_API void cfidrNetBundleInsertNet(cfiOID bundle, cfiOID net, int32_t position, cfidrErrorT *err);

/* Removes the member at position. Errors: 16/15, 42, 46 (position outside 0 to size - 1). */
NYX_API void cfidrNetBundleRemoveNet(cfiOID bundle, int32_t position, cfidrErrorT *err);

/* Returns an iterator over a group's members: mode 3 the direct members, the other modes depth
 * first (each group before its members) filtered by kind. Errors: 16/15, 35, 4. */
NYX_API cfidrIterT cfidrNetBundleGetNets(cfiOID bundle, cfidrIterModeT mode, cfidrErrorT *err);

/* Member count of a bus or bundle. Errors: 16/15; result 0. */
NYX_API int32_t cfidrNetBundleGetSize(cfiOID bundle, cfidrErrorT *err);

/* A direct member by exact name (14 bad name, 27 none) or by position (46 outside 0 to size -
 * 1). Errors: 16/15; result null. */
NYX_API cfiOID cfidrNetBundleFindNetByName(cfiOID bundle, const char *name, cfidrErrorT *err);
NYX_API cfiOID cfidrNetBundleFindNetByPosition(cfiOID bundle, int32_t position, cfidrErrorT *err);

/* Start and step of a net bus (member i has index start + i * step). Setting: 42 read-only view,
 * 10 step 0. Errors: 16/15. */
NYX_API int32_t cfidrNetBusGetStart(cfiOID bus, cfidrErrorT *err);
NYX_API int32_t cfidrNetBusGetStep(cfiOID bus, cfidrErrorT *err);
NYX_API void cfidrNetBusSetStart(cfiOID bus, int32_t start, cfidrErrorT *err);
NYX_API void cfidrNetBusSetStep(cfiOID bus, int32_t step, cfidrErrorT *err);

/* The global flag of a net scalar. Setting: 10 value not 0 or 1, 42 read-only view (both unless
 * trusted data mode). Errors: 16/15. */
NYX_API cfiBooleanEnum cfidrNetScalarGetIsGlobal(cfiOID net, cfidrErrorT *err);
NYX_API void cfidrNetScalarSetIsGlobal(cfiOID net, cfiBooleanEnum global, cfidrErrorT *err);

/* ==== Instances ============================================================================= */

/* An instance places one netlist view, its describer, inside another. The instantiating view
 * keeps a copy of the describer's port tree (a describer record) shared by all its instances of
 * that describer and version; each instance gets port instances from that copy, so the describer
 * itself is opened only when asked for. Names of instances are unique in their view; names,
 * renaming (cfidrNamedObjectSetName: 42, 14, 25 another instance has the name), destruction
 * (cfidrObjectDestroy: 42) and properties go through the functions on any object. */

/* Creates an instance named name of describer in view. Errors: 16/15 (view), 6/7 (describer),
 * 42 (view not open for update), 2 (describer is the view itself), 14 (bad name), 26 (an
 * instance of that name exists), 53 (describer is a view of the same cell) - these five skipped
 * in trusted data mode -, 40 (the describer's contents cannot be read), 4; result null. */
NYX_API cfiOID cfidrNetlistViewCreateInst(cfiOID view, cfiOID describer, const char *name, cfidrErrorT *err);

/* Returns an iterator (cfidrIterNextInst) over the instances of a view, grouped by their number
 * of top-level port instances (fewest first), in creation order within a group. Errors: 16/15,
 * 27 (the view's stored form cannot be read), 4. */
NYX_API cfidrIterT cfidrNetlistViewGetInsts(cfiOID view, cfidrErrorT *err);

/* Returns the instance of a name (exact comparison). Errors: 16/15, 14 (bad name, unless trusted
 * program mode), 27 (none), 4; result null. */
NYX_API cfiOID cfidrNetlistViewFindInstByName(cfiOID view, const char *name, cfidrErrorT *err);

/* Returns the describer view of an instance, opening it by library, cell and view name when it
 * is not open (read-only; its contents are read unless trusted program mode is on). Errors:
 * 16/15, 3 (no such view), 40 (it exists but cannot be opened or read), 4; result null. */
NYX_API cfiOID cfidrInstGetDescriber(cfiOID inst, cfidrErrorT *err);

/* Returns the view that holds an instance. Errors: 16/15; result null. */
NYX_API cfiOID cfidrInstGetOwner(cfiOID inst, cfidrErrorT *err);

/* ==== Port instances ======================================================================= */

/* A port instance is the connection point of an instance that matches one port of its
 * describer: a port instance scalar (9), bus (8) or bundle (7), nested like the describer's
 * ports. The instance keeps a copy of the describer's port tree (its describer record) taken when
 * the first instance of that describer was made, so the names, kinds, directions and bus ranges
 * seen here are the record's; the checks below compare it with the describer as it now is. Port
 * instances live and die with their instance: cfidrObjectDestroy refuses them (36). */

/* Find a top-level port instance of an instance (a member of a port instance bus or bundle) by
 * its describer port name, ignoring case, in slot (member) order. Errors: 16/15, 14 (bad name)
 * and 27 (the describer cannot be found), both unless trusted program mode; 27 (no match), 4;
 * result null on error. */
NYX_API cfiOID cfidrInstFindPortInstByDescriberName(cfiOID inst, const char *name, cfidrErrorT *err);
NYX_API cfiOID cfidrPortInstBundleFindPortInstByDescriberName(cfiOID bundle, const char *name,
                                                              cfidrErrorT *err);

/* Iterators over the port instances of an instance (the members of a port instance bus or
 * bundle): cfidrScalarIterMode (1) scalars at every depth, cfidrBundleIterMode (2) buses and
 * bundles at every depth, cfidrTopLevelIterMode (3) the direct ones, cfidrAllIterMode (4)
 * everything, each group before its members. The list is taken when the iterator is made.
 * Errors: 16/15, 35 (mode), 4; a null iterator on error. */
NYX_API cfidrIterT cfidrInstGetPortInsts(cfiOID inst, cfidrIterModeT mode, cfidrErrorT *err);
NYX_API cfidrIterT cfidrPortInstBundleGetPortInsts(cfiOID bundle, cfidrIterModeT mode, cfidrErrorT *err);

/* Compare the instance's describer record with its describer (one port instance's record port
 * with the describer port at the same path). The result is the error: 0 no difference (names
 * compared ignoring case), 1 a port differs or is missing on the describer, 23 the describer has
 * a top-level port the record lacks, 31 members of a bus or bundle differ, 4 a broken record, 3
 * the describer cannot be found, 40 it exists but cannot be opened. Errors: 16/15. */
NYX_API void cfidrInstCheckDescriber(cfiOID inst, cfidrErrorT *err);
NYX_API void cfidrPortInstCheckDescriber(cfiOID portInst, cfidrErrorT *err);

/* The instance that holds a top-level port instance, or the bus or bundle that holds a member.
 * Errors: 16/15, 4; result null on error. */
NYX_API cfiOID cfidrPortInstGetOwner(cfiOID portInst, cfidrErrorT *err);

/* The describer's port at the port instance's path, of the same kind and name (ignoring case).
 * Errors: 16/15, 3 / 40 (describer not found / not opened), 1 (no such port); result null. */
NYX_API cfiOID cfidrPortInstGetDescriber(cfiOID portInst, cfidrErrorT *err);

/* The name of the port instance's record port. Unless trusted program mode, the describer must
 * be found (3 / 40) and its port at the same path must have the same kind and exactly the same
 * name, else 1 and "". The string lives in the returned-string ring. Errors: 16/15, 4. */
NYX_API const char *cfidrPortInstGetDescriberName(cfiOID portInst, cfidrErrorT *err);

/* The direction of a port instance scalar's record port (0 reads as 3 while the option bit
 * 0x800 is set, as for ports). Errors: 16/15. */
NYX_API cfidrPortDirectionT cfidrPortInstScalarGetDescriberDirection(cfiOID portInst, cfidrErrorT *err);

/* The net scalar attached to a port instance scalar (null when none). Errors: 16/15. */
NYX_API cfiOID cfidrPortInstScalarGetNetScalar(cfiOID portInst, cfidrErrorT *err);

/* Member count of a port instance bus or bundle; start and step of a bus. Errors: 16/15. */
NYX_API int32_t cfidrPortInstBundleGetSize(cfiOID bundle, cfidrErrorT *err);
NYX_API int32_t cfidrPortInstBusGetStart(cfiOID bus, cfidrErrorT *err);
NYX_API int32_t cfidrPortInstBusGetStep(cfiOID bus, cfidrErrorT *err);

/* An iterator over the net buses and bundles that hold, directly or through nested groups, the
 * net of any port instance scalar under a port instance bus or bundle, each once. Errors: 16/15,
 * 4; a null iterator on error. */
NYX_API cfidrIterT cfidrPortInstBundleGetNetBundles(cfiOID bundle, cfidrErrorT *err);

/* ==== Selector sets ======================================================================== */

/* A selector set answers which view of a cell to use. It holds an ordered list of library
 * selectors (the libraries to search, in order) and one ordered list of view selectors, each
 * naming a view by name or by view type, optionally restricted to a library and a cell (an empty
 * name matches any). Sets are session objects stored in files of their own: "NAME.nyxSelectorSet",
 * or "NAME.nyxs1" for a set found in the older form, which is written back in it; NAME goes
 * through the library map (ZIL_NYX_LIBRARYMAP) like a library name. A set, its selectors and
 * properties on any of them live until the set is purged or destroyed or the library released.
 *
 * A set opened from its file is read on first use. When the file cannot be read (34) or is
 * damaged (4), that use reports it and the set stays empty and unread: every later use reads
 * again, and cfidrSelectorSetSave refuses with the read's error and leaves the file as it is.
 * Properties on sets and selectors go through cfidrObjectCreateProp and its siblings; the generic
 * cfidrNamedObjectSetName renames a set (42 read-only, 14 bad name, 25 another open set has the
 * name, compared with regard to case; a later save writes the new name's file), and
 * cfidrObjectDestroy destroys a selector (its identifier and those of its properties become
 * unusable) or a set (its stored file is removed and the set leaves the session and memory). */

/* Creates an empty selector set of the current form, open for update and in the session list;
 * nothing is read or written. Errors: 14 (invalid name), 26 (a set of that name is open), 4;
 * result null. Name checks are skipped in trusted data mode. */
NYX_API cfiOID cfidrPICreateSelectorSet(const char *name, cfidrErrorT *err);

/* Returns the open set of that name, or opens the stored set (read on first use) and adds it to
 * the session list. Errors: 14 (invalid name), 27 (no stored file of that name), 4; result null. */
NYX_API cfiOID cfidrPIOpenSelectorSet(const char *name, cfidrErrorT *err);

/* Appends a library selector to a set. Errors: 16/15, 34/4 (the set's file cannot be read), 42
 * (set open for read), 14 (invalid name), 4; result null. */
NYX_API cfiOID cfidrSelectorSetCreateLibrarySelector(cfiOID set, const char *lib, cfidrErrorT *err);

/* Append a view name selector (class 18) or a view type selector (class 19) to the set's one list
 * of view selectors. lib and cell may be empty (or null) to match any library or cell; otherwise
 * they, and always the view name or type, must be valid names. Errors: 16/15, 34/4, 42, 14, 4;
 * result null. */
NYX_API cfiOID cfidrSelectorSetCreateViewNameSelector(cfiOID set, const char *lib, const char *cell,
                                                      const char *view, cfidrErrorT *err);
NYX_API cfiOID cfidrSelectorSetCreateViewTypeSelector(cfiOID set, const char *lib, const char *cell,
                                                      const char *viewType, cfidrErrorT *err);

/* Iterators over a set's library selectors (step with cfidrIterNextLibrarySelector) and view
 * selectors (cfidrIterNextViewSelector, which returns identifiers of class 18 or 19), in list
 * order. Errors: 16/15, 34/4 (the set's file cannot be read), 4; a null iterator on error. */
NYX_API cfidrIterT cfidrSelectorSetGetLibrarySelectors(cfiOID set, cfidrErrorT *err);
NYX_API cfidrIterT cfidrSelectorSetGetViewSelectors(cfiOID set, cfidrErrorT *err);

/* The names a selector holds ("" for an empty field; a library selector read with an empty name
 * from a file is named "-"). Errors: 16/15; result "". */
NYX_API const char *cfidrLibrarySelectorGetLibraryName(cfiOID sel, cfidrErrorT *err);
NYX_API const char *cfidrViewNameSelectorGetLibName(cfiOID sel, cfidrErrorT *err);
NYX_API const char *cfidrViewNameSelectorGetCellName(cfiOID sel, cfidrErrorT *err);
NYX_API const char *cfidrViewNameSelectorGetViewName(cfiOID sel, cfidrErrorT *err);
NYX_API const char *cfidrViewTypeSelectorGetLibName(cfiOID sel, cfidrErrorT *err);
NYX_API const char *cfidrViewTypeSelectorGetCellName(cfiOID sel, cfidrErrorT *err);
NYX_API const char *cfidrViewTypeSelectorGetViewType(cfiOID sel, cfidrErrorT *err);

/* Returns the view the set chooses for a cell, with its class (14 netlist, 15 encapsulated) in
 * the identifier. The first view selector whose library and cell match the cell's (names without
 * regard to case; a library also matches when both names resolve to open libraries of one path)
 * decides, searching the libraries of the library selectors in order (the cell's own library when
 * there are none) for a cell of the cell's name holding the view: by name through the cell's view
 * lookup, by type comparing view types exactly (a view not read yet is judged by its file's
 * header alone; one whose header cannot be read does not match). Neither the set nor the cell
 * changes. Errors: 16/15 (set), 52 (cell unusable or not a cell), 48 (a view type matches two
 * views of one cell: reported at once, even if a later selector would choose a view), 49
 * (nothing matches), the errors of reading the set, the cell or a named view; result null. */
NYX_API cfiOID cfidrSelectorSetSelectView(cfiOID set, cfiOID cell, cfidrErrorT *err);

/* Writes the set to its file in its form, replacing the file wholly or not at all, then clears
 * the directory cache. Errors: 16/15, 34/4 (the set's file could not be read: nothing is
 * written), 4 (the file cannot be written; the previous file stays whole). */
NYX_API void cfidrSelectorSetSave(cfiOID set, cfidrErrorT *err);

/* Drops a set from the session and memory without saving; its file stays. The identifiers of the
 * set, its selectors and every property on them become unusable. Errors: 16/15. */
NYX_API void cfidrSelectorSetPurge(cfiOID set, cfidrErrorT *err);

/* ==== Encapsulated views ==================================================================== */

/* An encapsulated view (class 15) stands for a view that another tool keeps: the library knows it
 * by name, view type and key only, and it may carry properties. It is listed among its cell's
 * views (cfidrCellGetViews, cfidrCellFindViewByName and cfidrPIOpenView hand it out with type 15)
 * and stored in the file "<name>.nyxEncapsulatedView" of the cell's directory, read on first use.
 * The view functions take it: cfidrViewGetViewType, cfidrViewGetOwner, cfidrViewSave (writes it
 * when changed: after creation or any edit of it or its properties) and cfidrViewPurge; so do
 * cfidrObjectDestroy (removes its file; 42 when the library is open for read only),
 * cfidrNamedObjectGetName and the property functions (its properties are read-only exactly when
 * its library is). cfidrNamedObjectSetName refuses it with 36. A view whose file cannot be read
 * reports that read's error (27, 4) on every use that needs its contents, and its file is never
 * overwritten by a save. */

/* Creates an encapsulated view in a cell, open for update and changed, so that the save of the
 * view, its cell or its library writes it. A tab in the name is stored as "/", a newline as ".".
 * The cell is read first when it was not. Errors, in this order: 16/15 (cell), 42 (the library is
 * open for read only), 14 (name null or invalid, or too long for a file name), 21 (view type null
 * or "CFIDR_NETLISTVIEW"), 43 (key null), 26 (the cell has a view of that name, letter case
 * ignored, or an encapsulated view of that name is stored in the cell's directory), 4; result
 * null. Trusted data mode skips 42, the name rule and both 26. */
NYX_API cfiOID cfidrCellCreateEncapsulatedView(cfiOID cell, const char *name, const char *viewType,
                                               const char *key, cfidrErrorT *err);

/* Returns the key of an encapsulated view, read from its file first when it was not. Unlike other
 * functions returning strings, it returns "CFIDR_UNDEFINED_KEY" (not "") on every error: 16
 * (unusable), 15 (not an encapsulated view, in every mode), 27/4 (its file cannot be read). The
 * returned string lives as any returned string. */
NYX_API const char *cfidrEncapsulatedViewGetKey(cfiOID view, cfidrErrorT *err);

#ifdef __cplusplus
}
#endif

#endif /* CFIDR_H */
