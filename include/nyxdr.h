/*
 * nyxdr.h - extensions of the design representation interface.
 *
 * Modes. Two process-wide switches trade safety for speed. In trusted program mode the library
 * skips every argument check except the null test, keeps no record of handed-out identifiers and
 * iterators, and returns its own strings instead of copies: the caller guarantees valid
 * arguments. In trusted data mode creation and renaming skip name validity and uniqueness tests:
 * the caller guarantees valid, unique names. Both start off, survive cfidrPIQuit, and nest
 * through the expert-mode stack of nyxpriv.h.
 *
 * Iterators. The extension objects (net aliases, occurrence property sets and their properties,
 * design configurations) are listed by iterators stepped with the functions below, under the same
 * rules as the iterators of cfidr.h.
 */
#ifndef NYXDR_H
#define NYXDR_H

#include "nyxtypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ==== Modes ================================================================================ */

/* Switches trusted program mode on (any non-zero value) or off. Creates the global state when
 * needed. Reports no error. */
NYX_API void nyxdrPISetTrustedProgramMode(cfiBooleanEnum on, cfidrErrorT *err);

/* Returns 1 when trusted program mode is on, else 0. Reports no error. */
NYX_API cfiBooleanEnum nyxdrPIGetTrustedProgramMode(cfidrErrorT *err);

/* Switches trusted data mode on (any non-zero value) or off. Reports no error. */
NYX_API void nyxdrPISetTrustedDataMode(cfiBooleanEnum on, cfidrErrorT *err);

/* Returns 1 when trusted data mode is on, else 0. Reports no error. */
NYX_API cfiBooleanEnum nyxdrPIGetTrustedDataMode(cfidrErrorT *err);

/* ==== Version ============================================================================== */

/* Returns the release banner of the library: product name, release number and build date (in
 * schematic-compiler mode "XA SVC  " followed by the schematic compiler's banner). The text lives
 * in a static buffer that the next call overwrites. Reports no error. */
NYX_API const char *nyxdrPIGetVersion(cfidrErrorT *err);

/* ==== Iterators of the extension objects =================================================== */

/* Step iterators over net aliases, occurrence property sets, occurrence properties and design
 * configurations. Each returns the next object or the null identifier when exhausted (at once
 * for a null iterator). Errors: 11 (not a live iterator), 12 (an iterator of another kind). */
NYX_API cfiOID nyxdrIterNextNetAlias(cfidrIterT it, cfidrErrorT *err);
NYX_API cfiOID nyxdrIterNextOccPropSet(cfidrIterT it, cfidrErrorT *err);
NYX_API cfiOID nyxdrIterNextOccProp(cfidrIterT it, cfidrErrorT *err);
NYX_API cfiOID nyxdrIterNextDesignConfig(cfidrIterT it, cfidrErrorT *err);

/* ==== Path names =========================================================================== */

/* Converts a path name to a hard path through the location map (zil_location_map, found through
 * ZIL_LOCATION_MAP, the current directory, $HOME/zil, $ZIL_HOME/etc and $ZIL_HOME/shared/etc): a
 * leading soft name such as "$PROJ" becomes its hard directory (or the value of the environment
 * variable of that name when the map does not list it), "/obol" and "$ZIL_HOME" become the value
 * of ZIL_HOME, and a relative path is made absolute ("~" is $HOME). Creates the global state when
 * needed. Returns the hard path as a returned string. Errors: 14 (path null or empty), 27 (the
 * path cannot be converted; a diagnostic line is written to the standard error stream). */
NYX_API const char *nyxdrPIGetHardPathname(const char *path, cfidrErrorT *err);

/* Converts a path name to a soft path: a relative path is made absolute, and the first hard
 * directory of the location map that begins it (at a "/" boundary) is replaced by its soft name.
 * A path that no entry covers (every path, when no map exists) comes back unchanged apart from
 * being made absolute. Creates the global state when needed. Returns the soft path as a returned string. Errors: 14 (path null
 * or empty), 27 (an unknown soft name, or a path no entry covers in a map marked "force"; a
 * diagnostic line is written to the standard error stream). */
NYX_API const char *nyxdrPIGetSoftPathname(const char *path, cfidrErrorT *err);

/* ==== Properties =========================================================================== */

/* Returns the stored value type of a property: 0 none, 1 boolean, 2 integer, 3 float, 4 deleted
 * (an occurrence property set's mark of a removed property), 5 string, 7 triplet, 8 case triplet,
 * 9 expression (cfidrNoValueType ... nyxdrExpressionValueType, nyxtypes.h). Errors: 16 (prop
 * unusable), 15 (not a property); result 0. */
NYX_API nyxdrValueTypeT nyxdrPropGetValueType(cfiOID prop, cfidrErrorT *err);

/* ==== Ports ================================================================================ */

/* The full port order of a netlist view lists each top-level port in order and, right after a
 * bus or bundle, its members in order, each expanded the same way (pre-order). A port's view
 * position is its index in that order. */

/* Returns the view position of a port, -1 when it cannot be found. Errors: 16/15; result -1. */
NYX_API int32_t nyxdrPortGetPositionInView(cfiOID port, cfidrErrorT *err);

/* Returns the number of ports in the full order of a view (members of every depth included).
 * Errors: 16/15, 4; result 0. */
NYX_API int32_t nyxdrNetlistViewGetPortCount(cfiOID view, cfidrErrorT *err);

/* Returns the port at a view position; a position outside 0 to count - 1 returns the null
 * identifier without an error. Errors: 16/15, 4; result null. */
NYX_API cfiOID nyxdrNetlistViewFindPortByPosition(cfiOID view, int32_t position, cfidrErrorT *err);

/* Returns the end index of a port bus read from its name: the name's subscript is read as an
 * index list (ranges "i:j", items separated by commas, delimiters "()", "[]" or "<>") and the end
 * is its last index in written order ("d(7:0)" gives 0, "d[0:3,8]" gives 8). Errors: 16/15, 14
 * (the name carries no index list); result 0. */
NYX_API int32_t nyxdrPortBusGetEnd(cfiOID bus, cfidrErrorT *err);

/* ==== Nets and net aliases ================================================================== */

/* The net at a view position (see cfidr.h, Nets). Errors: 16/15, 27 (beyond the last block), 16
 * (a free slot), 4; result null. */
NYX_API cfiOID nyxdrNetlistViewFindNetByPosition(cfiOID view, int32_t position, cfidrErrorT *err);

/* The number of net positions of a view (slots, free ones included), so that every position from
 * 0 to count - 1 may be asked for. Errors: 16/15, 27; result 0. */
NYX_API int32_t nyxdrNetlistViewGetNetCount(cfiOID view, cfidrErrorT *err);

/* The number of nets of a view, scalars, buses and bundles at every level: what
 * cfidrNetlistViewGetNets gives in cfidrAllIterMode, counted without visiting each net. The view
 * is read when it is not yet. Errors: 16/15, the read's error; result 0. */
NYX_API int32_t nyxdrNetlistViewGetNetTotal(cfiOID view, cfidrErrorT *err);

/* The position of a net in its view. Errors: 16/15; result 0. */
NYX_API int32_t nyxdrNetGetPosition(cfiOID net, cfidrErrorT *err);

/* The end index of a net bus read from its name, as nyxdrPortBusGetEnd does. Errors: 16/15, 14
 * (the name carries no index list); result 0. */
NYX_API int32_t nyxdrNetBusGetEnd(cfiOID bus, cfidrErrorT *err);

/* Gives a net a further name. The alias joins the view's net name space for lookups; no check is
 * made against other nets' names. With option bit 0x40000 an existing alias of exactly that name
 * is returned instead. Errors: 16/15, 42, 14 (bad name) (both unless trusted data mode), 4;
 * result null. cfidrNamedObjectSetName renames an alias with the same checks (42, then 14). */
NYX_API cfiOID nyxdrNetCreateNetAlias(cfiOID net, const char *name, cfidrErrorT *err);

/* Returns an iterator (nyxdrIterNextNetAlias) over a net's aliases, newest first. Errors: 16/15,
 * 4. */
NYX_API cfidrIterT nyxdrNetGetNetAliases(cfiOID net, cfidrErrorT *err);

/* The net an alias names. Errors: 16/15; result null. */
NYX_API cfiOID nyxdrNetAliasGetOwner(cfiOID alias, cfidrErrorT *err);

/* The global flag of an alias. Setting: 10 value not 0 or 1, 42 read-only view (both unless
 * trusted data mode). Errors: 16/15. */
NYX_API cfiBooleanEnum nyxdrNetAliasGetIsGlobal(cfiOID alias, cfidrErrorT *err);
NYX_API void nyxdrNetAliasSetIsGlobal(cfiOID alias, cfiBooleanEnum global, cfidrErrorT *err);

/* ==== Instances ============================================================================= */

/* Instance positions count slots over the view's instance blocks, free slots included, so that a
 * position stays the same while other instances come and go. */

/* The instance at a position. Errors: 16/15, 27 (beyond the last slot), 16 (a free slot), 4;
 * result null. */
NYX_API cfiOID nyxdrNetlistViewFindInstByPosition(cfiOID view, int32_t position, cfidrErrorT *err);

/* The number of instance positions of a view (slots, free ones included). Errors: 16/15, 27;
 * result 0. */
NYX_API int32_t nyxdrNetlistViewGetInstCount(cfiOID view, cfidrErrorT *err);

/* The position of an instance in its view. Errors: 16/15; result 0. */
NYX_API int32_t nyxdrInstGetPosition(cfiOID inst, cfidrErrorT *err);

/* The primitive describer (symbol view) of an instance's describer record. Errors: 16/15, 3
 * (none); result null. */
NYX_API cfiOID nyxdrInstGetPrimitiveDescriber(cfiOID inst, cfidrErrorT *err);

/* The interface name of an instance's describer record ("" when none was given). The string
 * lives in the returned-string ring. Errors: 16/15, 4; result "". */
NYX_API const char *nyxdrInstGetInterfaceName(cfiOID inst, cfidrErrorT *err);

/* An instance's describer record names its describer as the view was last saved: library, cell
 * and view names and the describer's version then. The four functions below read the record
 * only; the describer is neither found nor opened, so they answer for a view whose describers
 * are missing too. The names live in the returned-string ring. Errors: 16/15, 4 (a name could not
 * be copied); result "" or 0. */
NYX_API const char *nyxdrInstGetDescriberLibName(cfiOID inst, cfidrErrorT *err);
NYX_API const char *nyxdrInstGetDescriberCellName(cfiOID inst, cfidrErrorT *err);
NYX_API const char *nyxdrInstGetDescriberViewName(cfiOID inst, cfidrErrorT *err);
NYX_API int32_t nyxdrInstGetDescriberVersion(cfiOID inst, cfidrErrorT *err);

/* The number of describer records of a netlist view: one per describer and describer version its
 * instances use. The view is read when it is not yet. Errors: 16/15, the read's error; result
 * 0. */
NYX_API int32_t nyxdrNetlistViewGetDescriberCount(cfiOID view, cfidrErrorT *err);

/* The describer records of a netlist view by index, 0 .. nyxdrNetlistViewGetDescriberCount - 1,
 * in the order the records were made: the library, cell and view names the record gives its
 * describer, and the number of the view's instances that use the record. With them a tool
 * counts a hierarchy's instances by cell without visiting each instance. The view is read when
 * it is not yet; the names live in the returned-string ring. Errors: 16/15, the read's error,
 * 27 (index outside the records), 4; result "" or 0. */
NYX_API const char *nyxdrNetlistViewGetDescriberLibName(cfiOID view, int32_t index, cfidrErrorT *err);
NYX_API const char *nyxdrNetlistViewGetDescriberCellName(cfiOID view, int32_t index, cfidrErrorT *err);
NYX_API const char *nyxdrNetlistViewGetDescriberViewName(cfiOID view, int32_t index, cfidrErrorT *err);
NYX_API int32_t nyxdrNetlistViewGetDescriberInstCount(cfiOID view, int32_t index, cfidrErrorT *err);

/* ==== Port instances ======================================================================= */

/* Port instances of an instance numbered in pre-order over the whole tree: each top-level port
 * instance in slot order, a bus or bundle right before its members. FindPortInstByPosition gives
 * the one at a position (27 outside 0 .. count - 1), GetPositionInInst is its inverse and
 * GetPortInstCount the number of port instances of the tree, groups and members included.
 * Errors: 16/15, 4. */
NYX_API cfiOID nyxdrInstFindPortInstByPosition(cfiOID inst, int32_t position, cfidrErrorT *err);
NYX_API int32_t nyxdrPortInstGetPositionInInst(cfiOID portInst, cfidrErrorT *err);
NYX_API int32_t nyxdrInstGetPortInstCount(cfiOID inst, cfidrErrorT *err);

/* The name of a port instance's record port, read from its instance's describer record without
 * finding the describer (cfidrPortInstGetDescriberName also checks it against the describer).
 * The string lives in the returned-string ring. Errors: 16/15, 4; result "". */
NYX_API const char *nyxdrPortInstGetRecordName(cfiOID portInst, cfidrErrorT *err);

/* ==== Stored entries of cells =============================================================== */

/* The objects a cell's directory holds on disk, as the cell's read found them (views,
 * occurrence property sets, design configurations and any other kind the library knows), in
 * the order the read found them, whether or not they could be opened. The cell is read when it
 * is not yet.
 * EntryCount gives their number; EntryName the stored name and EntryKind the text naming the
 * kind ("netlist view", ...) of the entry at an index from 0 to count - 1, both in the
 * returned-string ring. Errors: 16/15, the read's error (the cell's directory could not be read),
 * 27 (index outside 0 .. count - 1), 4; result 0 or "". */
NYX_API int32_t nyxdrCellGetEntryCount(cfiOID cell, cfidrErrorT *err);
NYX_API const char *nyxdrCellGetEntryName(cfiOID cell, int32_t index, cfidrErrorT *err);
NYX_API const char *nyxdrCellGetEntryKind(cfiOID cell, int32_t index, cfidrErrorT *err);

/* ==== Occurrence property sets ============================================================== */

/* An occurrence property set (object type 21) holds property values for single occurrences of
 * a design whose top is a view of the set's cell, in a tree keyed by hierarchical path: view
 * occurrence properties (22) for instance paths, net (23) and port (24) occurrence properties
 * under them. Paths are null-terminated arrays of names, outermost first. A set is stored in a
 * file of its own in its cell's directory; every function reads the set's file first when it is
 * not yet read (an unreadable file reports its read's error each time; a save then writes
 * nothing). The sets and nodes belong to the library: purge, destroy and library release end
 * them and withdraw their identifiers and those of their properties.
 *
 * CreateOccPropSet makes an empty set in the cell (written on save). Errors: 16/15; 42 the
 * cell's library is held for read (unless trusted data mode); 14 invalid name; 26 a set of that
 * name exists in the cell (names compare ignoring case); the cell's read error; 4. */
NYX_API cfiOID nyxdrCellCreateOccPropSet(cfiOID cell, const char *name, cfidrErrorT *err);

/* Opens a stored set by library, cell and set name. The library becomes known (or is opened)
 * and takes the access mode asked for; the cell is read first. Errors: 41 access mode; 14 an
 * invalid name (unless trusted data mode); 27 no such library or cell; 30007 the cell holds no
 * stored set of that name; 30008 the set was already read (the set is returned all the same). */
NYX_API cfiOID nyxdrPIOpenOccPropSet(const char *lib, const char *cell, const char *name,
                                     cfidrAccessModeT mode, cfidrErrorT *err);

/* The set of that name in the cell (names compare ignoring case; with fix switch 119985 sets in
 * memory are compared exactly first). Errors: 16/15; 14 invalid name (unless trusted program
 * mode); the cell's read error; 27 none. */
NYX_API cfiOID nyxdrCellFindOccPropSetByName(cfiOID cell, const char *name, cfidrErrorT *err);

/* The cell's sets in list order (step with nyxdrIterNextOccPropSet). Errors: 16/15, the cell's
 * read error, 4. */
NYX_API cfidrIterT nyxdrCellGetOccPropSets(cfiOID cell, cfidrErrorT *err);

/* The cell owning a set. Errors: 16/15. */
NYX_API cfiOID nyxdrOccPropSetGetOwner(cfiOID set, cfidrErrorT *err);

/* Create an occurrence property at a path, making the missing instance nodes along it; every
 * instance node on a path is itself a view occurrence property. A view path names instances; a
 * net or port path names instances then the net or port (the instance part may be empty). A
 * port occurrence property also takes a member path (null or empty: the whole port).
 * Errors: 16/15; the set's read error; 42 the library is held for read (unless trusted program
 * mode); 30001 null or empty path, an empty name, or an invalid name (unless trusted program
 * mode) in either array; 26 one exists at that path (unless trusted program mode); 4. */
NYX_API cfiOID nyxdrOccPropSetCreateViewOccProp(cfiOID set, const char *const *path, cfidrErrorT *err);
NYX_API cfiOID nyxdrOccPropSetCreateNetOccProp(cfiOID set, const char *const *path, cfidrErrorT *err);
NYX_API cfiOID nyxdrOccPropSetCreatePortOccProp(cfiOID set, const char *const *path,
                                                const char *const *memberPath, cfidrErrorT *err);

/* Find the occurrence property at a path (names compare exactly). Errors: 16/15; the set's
 * read error; 30001 as for the creates; 27 none. */
NYX_API cfiOID nyxdrOccPropSetFindViewOccPropByPath(cfiOID set, const char *const *path,
                                                    cfidrErrorT *err);
NYX_API cfiOID nyxdrOccPropSetFindNetOccPropByPath(cfiOID set, const char *const *path,
                                                   cfidrErrorT *err);
NYX_API cfiOID nyxdrOccPropSetFindPortOccPropByPath(cfiOID set, const char *const *path,
                                                    const char *const *memberPath, cfidrErrorT *err);

/* The view, net or port occurrence properties of a set, depth first from the top: at each
 * instance node the node, its nets, its ports (each newest first), then its children. Step with
 * nyxdrIterNextOccProp. Errors: 16/15, the set's read error, 4. */
NYX_API cfidrIterT nyxdrOccPropSetGetViewOccProps(cfiOID set, cfidrErrorT *err);
NYX_API cfidrIterT nyxdrOccPropSetGetNetOccProps(cfiOID set, cfidrErrorT *err);
NYX_API cfidrIterT nyxdrOccPropSetGetPortOccProps(cfiOID set, cfidrErrorT *err);

/* The set owning an occurrence property. Errors: 16/15. */
NYX_API cfiOID nyxdrOccPropGetOwner(cfiOID prop, cfidrErrorT *err);

/* The path of an occurrence property (instances, then the net or port name) and the member
 * path of a port occurrence property, as null-terminated arrays that the library owns: one slot
 * of the returned-string ring holds the array and its strings. Errors: 16/15, 4; result an empty
 * array. */
NYX_API const char *const *nyxdrOccPropGetPath(cfiOID prop, cfidrErrorT *err);
NYX_API const char *const *nyxdrPortOccPropGetMemberPath(cfiOID prop, cfidrErrorT *err);

/* The pathname of an occurrence property: "/" and the names joined by "/", where "/", "\" and
 * a ":" outside brackets take a backslash; a port with a member path adds ":" and the member
 * pathname. In the returned-string ring. Errors: 16/15, 4; result "". */
NYX_API const char *nyxdrOccPropGetZILPathname(cfiOID prop, cfidrErrorT *err);

/* Save writes the set's file (a set whose file could not be read refuses with the read's
 * error). Purge drops the set from memory and withdraws the identifiers of the set, its nodes
 * and their properties; a set with a stored file stays listed in its cell, unread. Errors:
 * 16/15, 4. */
NYX_API void nyxdrOccPropSetSave(cfiOID set, cfidrErrorT *err);
NYX_API void nyxdrOccPropSetPurge(cfiOID set, cfidrErrorT *err);

/* ==== Design configurations ================================================================ */

/* A design configuration names one elaboration of a design: a root netlist view, a selection
 * mode (0-2, stored and returned only) and an ordered list of occurrence property sets. It
 * belongs to a cell and is stored in a file of its own beside the cell's views. Every function
 * below reads the configuration's file first when it is not loaded; a file that cannot be read
 * is reported (4) at every use, and a save then refuses and leaves the file as it is. A
 * configuration refers to its root view and sets by their place on disk: purging or destroying
 * one of them never leaves it dangling, and it is found again on next use. */

/* Creates a configuration of the cell with a root view and a selection mode, loaded and empty of
 * sets; nothing is written until it is saved. Errors, in this order: 16/15 (cell), 30011 (root
 * view unusable), 30012 (root view not a netlist view), 42 (the cell's library read-only), 14
 * (name invalid), 30010 (mode outside 0-2), 26 (a configuration of that name in the cell, letter
 * case ignored; stored ones count), 4. 42, 14 and 26 are skipped in trusted data mode, 30010 in
 * trusted program mode. */
NYX_API cfiOID nyxdrCellCreateDesignConfig(cfiOID cell, const char *name, cfiOID rootView,
                                           nyxdrSelectionModeT mode, cfidrErrorT *err);

/* Opens a stored configuration by library, cell and configuration name in an access mode,
 * starting the interface session when there is none. The library (a known one, else opened)
 * and the configuration take the mode. A configuration the cell lists is returned; when it was
 * already loaded 30009 is reported with it. Otherwise one with a stored file is returned unread.
 * Errors: 41 (mode), 14 (a name invalid, unless trusted data mode), 27 (library or cell not
 * found), 30006 (no stored configuration of that name), 30009 (see above), 4. */
NYX_API cfiOID nyxdrPIOpenDesignConfig(const char *lib, const char *cell, const char *name,
                                       cfidrAccessModeT mode, cfidrErrorT *err);

/* The cell's configuration of that name, letter case ignored (with fix switch 119985 on, one in
 * memory of exactly that name first). Errors: 16/15, 14 (unless trusted program mode), 27. */
NYX_API cfiOID nyxdrCellFindDesignConfigByName(cfiOID cell, const char *name, cfidrErrorT *err);

/* An iterator over the cell's configurations in creation and directory order, stepped with
 * nyxdrIterNextDesignConfig. Errors: 16/15, the cell's read error, 4. */
NYX_API cfidrIterT nyxdrCellGetDesignConfigs(cfiOID cell, cfidrErrorT *err);

/* The cell that owns the configuration. Errors: 16/15. */
NYX_API cfiOID nyxdrDesignConfigGetOwner(cfiOID config, cfidrErrorT *err);

/* The root view (a netlist view). Errors: 16/15, the read's error, 27 (no root view, or it
 * cannot be found now: its library is not known or it is gone); result the null identifier. */
NYX_API cfiOID nyxdrDesignConfigGetRootView(cfiOID config, cfidrErrorT *err);

/* The selection mode, 0-2. Errors: 16/15, the read's error; result 0. */
NYX_API nyxdrSelectionModeT nyxdrDesignConfigGetSelectionMode(cfiOID config, cfidrErrorT *err);

/* An iterator over the configuration's occurrence property sets in list order, stepped with
 * nyxdrIterNextOccPropSet; sets that cannot be found now are passed over. Errors: 16/15, the
 * read's error, 4. */
NYX_API cfidrIterT nyxdrDesignConfigGetOccPropSets(cfiOID config, cfidrErrorT *err);

/* The first listed set of that name, letter case ignored. Errors: 16/15, 14 (unless trusted
 * program mode), the read's error, 27. */
NYX_API cfiOID nyxdrDesignConfigFindOccPropSetByName(cfiOID config, const char *name, cfidrErrorT *err);

/* Lists a set (of any cell) before position `position` of the list; a position outside 0 to
 * count - 1 appends. The same set may be listed more than once. Positions count every entry,
 * also one whose set cannot be found now. Errors: 16/15, 30004 (set unusable), 30005 (not a
 * set), the read's error, 42 (the configuration's library read-only, unless trusted data
 * mode), 4. */
NYX_API void nyxdrDesignConfigInsertOccPropSet(cfiOID config, cfiOID set, int32_t position,
                                               cfidrErrorT *err);

/* Takes the entry at a position off the list (the set itself stays). Errors: 16/15, the read's
 * error, 42 (as above), 46 (position outside 0 to count - 1; the list is unchanged). */
NYX_API void nyxdrDesignConfigRemoveOccPropSet(cfiOID config, int32_t position, cfidrErrorT *err);

/* Writes the configuration's file (the cell's directory is made first), replacing it whole or
 * leaving it as it was. Errors: 16/15, the read's error (nothing is written), 4. A library save
 * writes a configuration only when it changed since it was read or written. */
NYX_API void nyxdrDesignConfigSave(cfiOID config, cfidrErrorT *err);

/* Drops the configuration from memory without reading or writing it: its identifier and those
 * of its properties become unusable, its design id and occurrence tree go. A configuration with
 * a stored file stays listed in its cell, unread. Generic destroy (cfidrObjectDestroy) removes
 * the file as well (42 when the library is read-only), whether or not it could be read.
 * Errors: 16/15, 4. */
NYX_API void nyxdrDesignConfigPurge(cfiOID config, cfidrErrorT *err);

/* ==== Compiler options and parameters ====================================================== */

/* Views that are not stored in the library's own format are made by compilers when they are
 * opened: an external program, chosen by the compiler rules file for the view type, that
 * receives the session's options line and parameters with each compilation, or the schematic
 * compiler inside the library. The functions below set what every later compilation receives. */

#ifndef NYX_SVC_ERROR_FUNC_DEFINED
#define NYX_SVC_ERROR_FUNC_DEFINED
/* The message code of a schematic compiler message, 0-72. */
typedef int32_t svc_error_code;
/* The function that receives each schematic compiler message: its code and its text, without a
 * newline. */
typedef void (*svc_error_func)(svc_error_code code, const char *text);
#endif

/* Parses a compiler option string: tokens separated by blanks and tabs, each a dash and a
 * keyword (compared exactly): "lowercase" or "lower", "uppercase" or "upper", "parens",
 * "brackets", "evalall", "eval", "preserve_netconns", "generate_ports", "svcComp", "svc"
 * (schematic mode, which selects the schematic rules file), "no_hier_ref", "preserve_case",
 * "timing_info", "portin_pintype_out", "case_sensitive", "hdl_sel_rules", "edif", "descend_off"
 * each set their option bit; "normal" clears every option bit; "portin_pintype_in" changes
 * nothing; "rsh HOST" sets the remote-start bit and the host of the first compiler rule, "comp
 * PATH" its bit and the first rule's compiler (when no token follows either, parsing ends without
 * an error). Creates the global state when needed. Errors: 14 (options null; a token that is not
 * a known switch, also written to the standard error stream as "ERROR:   Unknown argument switch";
 * a host name that starts with "-" or holds blanks or control characters, refused with a line on
 * the standard error stream); the other tokens still take effect. */
NYX_API void nyxdrPISetCompilerOptions(const char *options, cfidrErrorT *err);

/* Creates a compiler parameter of the session: a property without a value, given one with the
 * cfidrPropSet functions and sent to every compilation in creation order. Boolean, integer, float
 * and string values travel; of other types only the name does. A parameter whose name holds a
 * blank, or whose string value holds a carriage return or line feed, makes a compilation fail
 * before anything is sent. Parameters belong to the session and end with cfidrPIQuit;
 * cfidrPropGetOwner reports 15 for them. Creates the global state when needed. Errors: 14
 * (invalid name), 26 (a parameter of that name exists), both unless trusted data mode; 4. */
NYX_API cfiOID nyxdrPICreateParameter(const char *name, cfidrErrorT *err);

/* Returns an iterator over the session's compiler parameters in creation order, stepped with
 * cfidrIterNextProp. Creates the global state when needed. Errors: 4. */
NYX_API cfidrIterT nyxdrPIGetParameters(cfidrErrorT *err);

/* Sets the function that receives the schematic compiler's messages; a null function restores
 * the default, which writes the text and a newline to the standard error stream and flushes it.
 * Returns fn. Creates the global state when needed. Reports no error. */
NYX_API svc_error_func nyxdrPISetCompilerErrorFunction(svc_error_func fn, cfidrErrorT *err);

#ifdef __cplusplus
}
#endif

#endif /* NYXDR_H */
