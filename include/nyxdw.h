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
 * nyxdwIterNextFlatNet and nyxdwIterNextDerivedProp answer 12 on every iterator until flat nets
 * and derived properties exist. */
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

#ifdef __cplusplus
}
#endif

#endif /* NYXDW_H */
