/*
 * nyxdw.h - the occurrence walk of libnyx.
 *
 * A design configuration names a root view; the occurrence walk elaborates the hierarchy below
 * it into occurrences (of the view, its nets, instances and ports), joins nets into flat nets and
 * evaluates properties with their per-occurrence overrides. Occurrences cross the interface as
 * identifiers with an odd tag word; the cfidr functions accept them as objects but do not type
 * them (they report 15 where a class is required).
 *
 * The walk reports its own error codes, 31001-31014 (nyxdwErr..., nyxtypes.h), and the
 * design-configuration functions of nyxdr.h report 30001-30012 (nyxdrErr...);
 * nyxdwPIGetErrorText translates all of them.
 */
#ifndef NYXDW_H
#define NYXDW_H

#include "nyxtypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ==== Start and end ======================================================================== */

/* Initialises the library as cfidrPIInit does. Reports no error. */
NYX_API void nyxdwPIInit(cfidrErrorT *err);

/* Ends use of the occurrence walk; the library stays initialised (cfidrPIQuit releases it).
 * Reports no error. */
NYX_API void nyxdwPIQuit(cfidrErrorT *err);

/* ==== Error texts ========================================================================== */

/* Returns the text of an error code: the extension codes 30001-30012 and 31001-31014 here, any
 * other code as cfidrPIGetErrorText does. The string belongs to the library and stays valid until
 * ten further strings have been returned or the library is released. A code without a text
 * reports 9 (cfidrErrBadErrorCode) and returns "". */
NYX_API const char *nyxdwPIGetErrorText(cfidrErrorT code, cfidrErrorT *err);

/* ==== Occurrences ========================================================================== */

/* Occurrence identifiers. An occurrence crosses the interface as an identifier whose first word
 * is the occurrence id and whose tag word has bit 0 set, the kind in bits 1-3 (nyxdwOccKindT),
 * the design id of its configuration in bits 4-11 and, for a port occurrence, the port's
 * position in its view's full port order in bits 12-31. Occurrence identifiers are never
 * registered with the session: they are usable exactly while the configuration that holds
 * their design id keeps the tree they were made on. Every function below resolves its
 * occurrence argument (the tag, the configuration of the design id, its current tree, the range
 * of the id, the kind, the port position, a position on a free slot) in every mode, trusted
 * program mode included: a fabricated or stale identifier gives 31001 (nyxdwErrOccUnusable)
 * and the null result. While trusted program mode is off, an identifier of a kind the function
 * does not take gives 15 (cfidrErrWrongType); in trusted program mode it gives 31001.
 *
 * Ids. The tree holds one node per distinct view. L(v) is one more than the highest position in
 * use among the nets and the instances of v, S(v) = L(v) + the sizes of v's descending children
 * (instances whose describer has nets or instances), kept in instance position order. The top
 * occurrence is id 3 and its local base 4; in a view occurrence of base B the net at position p
 * is net occurrence B + p, the instance at q instance occurrence B + q, and the k-th descending
 * child's view occurrence has base B + L(v) + the sizes of the children before it. A tree whose
 * last id would pass 2^31 - 1, or whose views hold more than 2^20 ports, is not built (31002).
 *
 * Decisions.
 *  - The last name of a view or port path may name a leaf instance (the pins of library cells);
 *    the names before it must name instances that are descended into.
 *  - The owner of a net or instance occurrence is the view occurrence holding it, the owner of a
 *    port occurrence its instance occurrence (the top for a top-level port), the owner of the
 *    top the null identifier (no error).
 *  - A port occurrence's position is the position of the port in its describer view; the port
 *    instance of an instance made against an older describer is found by name, and one that
 *    maps to no describer port is unconnected.
 *  - nyxdwObjectGetObjectType returns the occurrence kind; nyxdwIterReset and nyxdwIterQuit
 *    accept every iterator.
 *  - Pathnames join names with "/" without a leading "/"; inside a name "/", "\" and a ":"
 *    outside brackets take a backslash, as occurrence property sets spell them. A global scalar
 *    net is named by its name alone.
 *  - A port occurrence whose port instance is a bus or bundle has the null identifier as outside
 *    net; a top-level port has no outside net and no port instance (null, no error).
 *  - Building asks each instance record for its describer once; a describer that cannot be
 *    opened stops the build with its code (3 or 40); an instantiation cycle across cells fails
 *    with 2; a configuration without root view fails with 31002, and so does a build while all
 *    256 design ids are held. A failed build keeps no tree and holds no design id.
 *  - A tree is stale once a view of it changed or any netlist view was purged or destroyed; the
 *    next use drops it and frees its design id, and nyxdwPICreateTopOcc builds a new one under a
 *    new design id. The id given up is not handed back at once, so old identifiers give 31001.
 *  - Modes of the iterators (1-3) are checked in every mode: 35 for nyxdwTopOccGetInstOccs, 31004
 *    for nyxdwNetOccGetPortOccs.
 *  - Walk iterators re-resolve their tree at each step: once it is dropped or stale the step
 *    gives 31001 and the null identifier, never a read of the old tree. */

/* Occurrence kinds (tag bits 1-3; nyxdwObjectGetObjectType). */
typedef int32_t nyxdwOccKindT;
enum {
    nyxdwNetOccKind = 1,
    nyxdwFlatNetKind = 2,
    nyxdwInstOccKind = 3,
    nyxdwTopOccKind = 4,
    nyxdwPortOccKind = 5
};
/* Hierarchy levels of view occurrences (nyxdwViewOccGetHierarchyLevel). */
typedef int32_t nyxdwHierarchyLevelT;
enum {
    nyxdwTopLevel = 1,
    nyxdwDescendedLevel = 2,
    nyxdwLeafLevel = 4,
    nyxdwErrorLevel = 7
};

/* The null identifier. Reports no error. */
NYX_API cfiOID nyxdwPIGetNullId(cfidrErrorT *err);

/* Whether an identifier is null (object word 0). An occurrence identifier is resolved (31001
 * when unusable, result false); another identifier is checked as cfidrObjectIsNull does. */
NYX_API cfiBooleanEnum nyxdwObjectIsNull(cfiOID id, cfidrErrorT *err);

/* Whether two identifiers name the same object: both null, or equal words after each non-null
 * one was resolved (occurrences) or checked (other objects). Errors: 31001, 16. */
NYX_API cfiBooleanEnum nyxdwObjectIsSame(cfiOID a, cfiOID b, cfidrErrorT *err);

/* The kind of an occurrence (nyxdwOccKindT). Errors: 31001 an unusable occurrence, 15 an
 * identifier that is not an occurrence; result 0. */
NYX_API nyxdwOccKindT nyxdwObjectGetObjectType(cfiOID id, cfidrErrorT *err);

/* The top occurrence of a design configuration: builds the configuration's occurrence tree or
 * reuses it while current, and returns id 3 of kind 4 with the configuration's design id.
 * Errors: 31001 a null configuration, 16 an unusable one, 15 not a configuration, 31002 no root
 * view / no free design id / ids overflow, 2 a cycle, 3 or 40 a describer, 4. While trusted
 * program mode is off the netlist views of the tree's nodes are registered with the session. */
NYX_API cfiOID nyxdwPICreateTopOcc(cfiOID config, cfidrErrorT *err);

/* Drops the tree of a top occurrence and frees its design id; every identifier of the tree
 * becomes unusable (31001). Errors: 31001, 15. */
NYX_API void nyxdwTopOccDestroy(cfiOID top, cfidrErrorT *err);

/* The design configuration of an occurrence. Errors: 31001. */
NYX_API cfiOID nyxdwOccGetDesignConfig(cfiOID occ, cfidrErrorT *err);

/* The owner of an occurrence (see Decisions). Errors: 31001. */
NYX_API cfiOID nyxdwOccGetOwner(cfiOID occ, cfidrErrorT *err);

/* The view of a top or instance occurrence (for an instance occurrence its describer). Errors:
 * 31001, 15. */
NYX_API cfiOID nyxdwViewOccGetView(cfiOID occ, cfidrErrorT *err);

/* The hierarchy level of a top or instance occurrence (nyxdwHierarchyLevelT): 1 the top, 2 an
 * instance descended into, 4 a leaf instance, 7 on error. Errors: 31001, 15. */
NYX_API nyxdwHierarchyLevelT nyxdwViewOccGetHierarchyLevel(cfiOID occ, cfidrErrorT *err);

/* The instance of an instance occurrence. Errors: 31001, 15. */
NYX_API cfiOID nyxdwInstOccGetInst(cfiOID occ, cfidrErrorT *err);

/* The net of a net occurrence (scalar, bus or bundle net). Errors: 31001, 15. */
NYX_API cfiOID nyxdwNetOccGetNet(cfiOID occ, cfidrErrorT *err);

/* The port of a port occurrence, in its instance's describer (the root view for the top). */
NYX_API cfiOID nyxdwPortOccGetPort(cfiOID occ, cfidrErrorT *err);

/* The port instance of a port occurrence: null (no error) for a top-level port and for a port
 * that maps to no port instance. Errors: 31001, 15. */
NYX_API cfiOID nyxdwPortOccGetPortInst(cfiOID occ, cfidrErrorT *err);

/* The instance occurrence of a port occurrence (the top for a top-level port). Errors: 31001, 15. */
NYX_API cfiOID nyxdwPortOccGetInstOcc(cfiOID occ, cfidrErrorT *err);

/* The net occurrence on the port inside its view occurrence, and the one on the port instance
 * in the parent view occurrence (see Decisions); the null identifier without error when there is
 * none. Errors: 31001, 15. */
NYX_API cfiOID nyxdwPortOccGetInsideNetOcc(cfiOID occ, cfidrErrorT *err);
NYX_API cfiOID nyxdwPortOccGetOutsideNetOcc(cfiOID occ, cfidrErrorT *err);

/* ==== Iterators over occurrences =========================================================== */

/* Every instance occurrence below a top occurrence, depth first, each view's instances in
 * position order, an instance descended into before its contents; mode 1 leaf instances, 2
 * instances descended into, 3 both. Errors: 31001, 15, 35 another mode, 4. */
NYX_API cfidrIterT nyxdwTopOccGetInstOccs(cfiOID top, int32_t mode, cfidrErrorT *err);

/* The instance, net and port occurrences of one top or instance occurrence, in position order
 * (ports in the view's full port order). Errors: 31001, 15, 4. */
NYX_API cfidrIterT nyxdwViewOccGetInstOccs(cfiOID occ, cfidrErrorT *err);
NYX_API cfidrIterT nyxdwViewOccGetNetOccs(cfiOID occ, cfidrErrorT *err);
NYX_API cfidrIterT nyxdwViewOccGetPortOccs(cfiOID occ, cfidrErrorT *err);

/* The port occurrences on a net occurrence: mode 1 the ports of a net of the top, 2 the port
 * instances on it whose instance is a leaf, 3 those whose instance is descended into. Errors:
 * 31001, 15, 31004 another mode, 4. */
NYX_API cfidrIterT nyxdwNetOccGetPortOccs(cfiOID net, int32_t mode, cfidrErrorT *err);

/* The next occurrence of an iterator; the null identifier at the end. Errors: 11 not a live
 * iterator, 12 an iterator of another kind, 31001 the iterator's tree was dropped or went stale.
 * The member iterators of a flat net are stepped with nyxdwIterNextNetOcc and
 * nyxdwIterNextPortOcc, those of nyxdwTopOccGetFlatNets with nyxdwIterNextFlatNet, those of
 * nyxdwOccGetDerivedProps with nyxdwIterNextDerivedProp (which gives properties). */
NYX_API cfiOID nyxdwIterNextInstOcc(cfidrIterT it, cfidrErrorT *err);
NYX_API cfiOID nyxdwIterNextNetOcc(cfidrIterT it, cfidrErrorT *err);
NYX_API cfiOID nyxdwIterNextPortOcc(cfidrIterT it, cfidrErrorT *err);
NYX_API cfiOID nyxdwIterNextFlatNet(cfidrIterT it, cfidrErrorT *err);
NYX_API cfiOID nyxdwIterNextDerivedProp(cfidrIterT it, cfidrErrorT *err);

/* Rewinds or frees any iterator, as cfidrIterReset and cfidrIterQuit do. */
NYX_API void nyxdwIterReset(cfidrIterT it, cfidrErrorT *err);
NYX_API void nyxdwIterQuit(cfidrIterT it, cfidrErrorT *err);

/* ==== Paths ================================================================================ */

/* Occurrences below a top occurrence by a null-terminated array of names: a view occurrence
 * (every name an instance), a net occurrence (instances, then the net) and a port occurrence
 * (instances, then the port, then `memberPath`, which may be null, down through buses and
 * bundles). Errors: 31001, 15, 30001 a null or empty path or an invalid name, 27 a name not
 * found. */
NYX_API cfiOID nyxdwTopOccFindViewOccByPath(cfiOID top, const char *const *path, cfidrErrorT *err);
NYX_API cfiOID nyxdwTopOccFindNetOccByPath(cfiOID top, const char *const *path, cfidrErrorT *err);
NYX_API cfiOID nyxdwTopOccFindPortOccByPath(cfiOID top, const char *const *path,
                                            const char *const *memberPath, cfidrErrorT *err);

/* The names of an occurrence from the top down as a null-terminated array (empty for the top),
 * in one slot of the returned-string ring. Errors: 31001, 4; result an empty array. */
NYX_API const char *const *nyxdwOccGetPath(cfiOID occ, cfidrErrorT *err);

/* The pathname of an occurrence (see Decisions), in the returned-string ring. Errors: 31001, 4;
 * result "". */
NYX_API const char *nyxdwOccGetZILPathname(cfiOID occ, cfidrErrorT *err);

/* ==== Flat nets ============================================================================ */

/* A flat net is an electrical net of the elaborated design: the net occurrences joined through
 * ports across the levels, or a global net joined by name everywhere. It crosses the interface
 * as an occurrence identifier of kind 2 (nyxdwFlatNetKind) whose word is the id of its
 * representative, its outermost net occurrence, or for a global flat net -2 minus the index of
 * its global net in the design's table (-2, -3, ...). It is resolved like every occurrence, in
 * every mode; an id that names no flat net of the current tree (a member that is not the
 * representative, an index that names none) gives 31001. Flat nets are computed on first use
 * from tables kept per distinct view; nothing is kept per occurrence.
 *
 * Decisions.
 *  - Global nets join by exact name, one flat net per name; global aliases make no global flat
 *    net. Two global nets joined through a port are one flat net under the smaller index; the
 *    other index names no flat net.
 *  - The representative among the nets of one view joined through a child's ports is the net
 *    with the smallest name: ASCII letters folded to lower case compare first, exact bytes break
 *    ties; with fix switch 129092 disabled, exact bytes alone. The choice does not depend on the
 *    order anything was built in.
 *  - Only scalar nets and ports take part (the members of buses and bundles as scalars); a bus
 *    or bundle net occurrence has no flat net (null result, no error).
 *  - The flat net of a port occurrence is that of the net on its port instance outside; when
 *    the port instance has none, that of its inside net occurrence; else the null identifier.
 *  - Port scan mode 4 yields each port occurrence once.
 *  - Modes are checked in every mode, after the occurrence argument: 31005 for a global mode
 *    outside 1-3, 31004 for a port scan mode outside 1-4; nothing is computed then. */

/* The flat nets of the design: global mode 1 the global ones, 2 the others (each at its
 * representative), 3 both, global ones first. Errors: 31001, 15, 31005, 4. */
NYX_API cfidrIterT nyxdwTopOccGetFlatNets(cfiOID top, int32_t globalMode, cfidrErrorT *err);

/* Whether a flat net is global (a negative id). Errors: 31001, 15. */
NYX_API cfiBooleanEnum nyxdwFlatNetGetIsGlobal(cfiOID flat, cfidrErrorT *err);

/* The net occurrences of a flat net, from its representative down (nyxdwIterNextNetOcc).
 * Errors: 31001, 15, 4. */
NYX_API cfidrIterT nyxdwFlatNetGetNetOccs(cfiOID flat, cfidrErrorT *err);

/* The port occurrences on a flat net (nyxdwIterNextPortOcc): port scan mode 1 the ports of its
 * net occurrences of the top, 2 the port instances on its members whose instance is a leaf, 3
 * those whose instance is descended into, 4 every port and port instance on a member, each port
 * occurrence once. Errors: 31001, 15, 31004, 4. */
NYX_API cfidrIterT nyxdwFlatNetGetPortOccs(cfiOID flat, int32_t scanMode, cfidrErrorT *err);

/* The flat net of a net occurrence, and of a port occurrence (see Decisions); the null
 * identifier without error when there is none. Errors: 31001, 15, 4. */
NYX_API cfiOID nyxdwNetOccGetFlatNet(cfiOID net, cfidrErrorT *err);
NYX_API cfiOID nyxdwPortOccGetFlatNet(cfiOID port, cfidrErrorT *err);

/* ==== Derived properties =================================================================== */

/* The value of a property as seen at an occurrence (any kind, flat nets included), merged from
 * the occurrence property sets of the configuration and the stored design. Merge mode 0 the
 * sets only, 1 the stored design only, 2 both (sets first); another mode gives 31003, checked in
 * every mode after the occurrence. Look-up order: each set in the configuration's order, the
 * first holding the name wins; then the stored design: a net occurrence its net; an instance
 * occurrence its instance, then its describer; a port occurrence its port instance, then its
 * port; the top the root view, then its cell, then the configuration. A flat net: per set in
 * order, the entry on the member with the smallest id; then each distinct net of its members
 * once, in member order. A property found is handed out as a property reference into the list
 * that holds it.
 *
 * Decisions.
 *  - A deleted mark met in a set ends the look-up with 27 (it hides the stored value) and hides
 *    the name from the derived-property iterator.
 *  - Without sets in the configuration, mode 0 finds nothing and mode 2 acts as mode 1.
 *  - Overrides made after a look-up are seen by the next one; a set listed by two
 *    configurations gives each its own overrides.
 *  - The derived-property iterator takes the names when it is made and looks each up again at
 *    its step: a name gone since is passed over; a dropped or stale tree gives 31001.
 *  - Evaluation: names are resolved at the occurrence, then at each enclosing instance
 *    occurrence outward, then at the top, in merge mode 2. A name whose value is an expression
 *    is evaluated at the level where it was found; the recursion guard's scope is that level
 *    (design id, occurrence id, kind), so a name defined by itself at one level gives 31013 and
 *    the same name used at two levels does not.
 *  - The result is the one entry of the session's evaluation list, renamed to the property's
 *    name ("nyxdwStringEval" for a text) and set at each evaluation: an integer, a real (stored
 *    as a float), a boolean or a string. A real outside +-1e37 or not finite gives 31012. On any
 *    error the entry stays as it was and the result is the null identifier.
 *  - nyxdwOccCreateOccProp clears the error variable first, as every function here does. */

/* The derived properties of an occurrence (nyxdwIterNextDerivedProp), every name once as the
 * look-up finds it: sets in configuration order, then the stored lists. Errors: 31001, 31003, 4. */
NYX_API cfidrIterT nyxdwOccGetDerivedProps(cfiOID occ, int32_t mergeMode, cfidrErrorT *err);

/* The derived property of a name at an occurrence. Errors: 31001, 31003, 27 not found (or a
 * deleted mark, or a null name). */
NYX_API cfiOID nyxdwOccFindDerivedPropByName(cfiOID occ, const char *name, int32_t mergeMode, cfidrErrorT *err);

/* The value of a property reference at an occurrence: a property that is not an expression is
 * returned as it is, an expression's result is the evaluation entry. Errors: 16, 15 not a
 * property, 31001, 31006-31014 from the evaluator. */
NYX_API cfiOID nyxdwPropEvaluate(cfiOID prop, cfiOID occ, cfidrErrorT *err);

/* An expression text evaluated at an occurrence (a null text as ""); the result is the
 * evaluation entry named "nyxdwStringEval". Errors: 31001, 31006-31014. */
NYX_API cfiOID nyxdwStringEvaluate(const char *text, cfiOID occ, cfidrErrorT *err);

/* The node of an occurrence's path in an occurrence property set: a net node for a net
 * occurrence, a view node for an instance occurrence, a port node for a port occurrence.
 * Errors: 31001, 15 a flat net (31001 in trusted program mode), 30004/30005 the set, 26 the node
 * exists already, 30001 the top (it has no path), and the errors of the set's create. */
NYX_API cfiOID nyxdwOccCreateOccProp(cfiOID occ, cfiOID set, cfidrErrorT *err);

#ifdef __cplusplus
}
#endif

#endif /* NYXDW_H */
