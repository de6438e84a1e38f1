// Port instances seen against their describer: lookups by describer name, the describer port of
// a port instance, its checked describer name and direction, and the describer checks.
#include <cstring>
#include <vector>

#include "dm/netlist/port.h"
#include "dm/netlist/portinstInt.h"

using namespace nyxPortInstInt;

namespace nyxPortInst {
namespace {

// The checks of a lookup by describer name (skipped in trusted program mode): the name rule (14)
// and the describer found (27).
bool lookupAllowed(nyxInst *inst, const char *name, cfidrErrorT *err) {
    if (name == nullptr) return *err = cfidrErrBadName, false;
    if (nyx::trustedProgram()) return true;
    if (!nyxNetlistView::validString(name)) return *err = cfidrErrBadName, false;
    cfidrErrorT e = 0;
    if (inst == nullptr || inst->footPrint()->getDescriber(&e) == nullptr || e != 0) {
        return *err = cfidrErrNotFound, false;
    }
    return true;
}

// The describer port at a path below the describer's top-level ports (null when missing).
nyxPort *describerPortAt(nyxNetlistView *describer, const std::vector<int32_t> &path) {
    const nyxDynArray *list = &describer->ports();
    nyxPort *p = nullptr;
    for (int32_t index : path) {
        if (list == nullptr || index < 0 || index >= list->nitems()) return nullptr;
        p = static_cast<nyxPort *>((*list)[index]);
        if (p == nullptr) return nullptr;
        list = p->isGroup() ? &static_cast<nyxPortBundle *>(p)->members() : nullptr;
    }
    return p;
}

// The describer of the instance that holds the word, with the word's path; null after 3 or 40
// (or 4 for a word of no live instance).
nyxNetlistView *describerOf(const void *word, std::vector<int32_t> &path, cfidrErrorT *err) {
    nyxInst *inst = nullptr;
    if (!pathOf(word, path, &inst)) return *err = cfidrErrInternal, nullptr;
    cfidrErrorT e = 0;
    nyxNetlistView *d = inst->footPrint()->getDescriber(&e);
    if (d == nullptr || e != 0) return *err = e != 0 ? e : cfidrErrDescriberNotFound, nullptr;
    return d;
}

cfidrErrorT compareList(const nyxFootPrintPort *recs, int32_t n, const nyxDynArray &ports, int depth);

// One record port against one describer port: 4 a record port of no kind, a difference of kind,
// name (ignoring case) or scalar direction 1 at the top and 31 below; groups member-wise.
cfidrErrorT compareOne(const nyxFootPrintPort *rec, const nyxPort *port, int depth) {
    if (rec->d_code != nyxCodePortScalar && rec->d_code != nyxCodePortBus && rec->d_code != nyxCodePortBundle) {
        return cfidrErrInternal;
    }
    cfidrErrorT differ = depth == 0 ? cfidrErrDescriberPortNotFound : cfidrErrMembersDiffer;
    if (port == nullptr || port->d_code != rec->d_code || !nyxDMUtil::sameName(port->name(), rec->name())) {
        return differ;
    }
    if (!rec->isGroup()) {
        return static_cast<const nyxPortScalar *>(port)->d_direction == rec->d_dirOrStart ? 0 : differ;
    }
    if (depth > kMaxDepth) return cfidrErrInternal;
    return compareList(rec->d_members, rec->d_memberCount, static_cast<const nyxPortBundle *>(port)->members(),
                       depth + 1);
}

// A list of record ports against a list of describer ports: counts first (more record ports 1,
// fewer 23, both 31 below the top), then port by port.
cfidrErrorT compareList(const nyxFootPrintPort *recs, int32_t n, const nyxDynArray &ports, int depth) {
    int32_t have = ports.nitems();
    if (n > have) return depth == 0 ? cfidrErrDescriberPortNotFound : cfidrErrMembersDiffer;
    if (n < have) return depth == 0 ? cfidrErrPortInstMissing : cfidrErrMembersDiffer;
    for (int32_t i = 0; i < n; ++i) {
        cfidrErrorT e = compareOne(&recs[i], static_cast<const nyxPort *>(ports[i]), depth);
        if (e != 0) return e;
    }
    return 0;
}

nyxObjRef refOf(uintptr_t *word) { return {word, code(word), 0}; }

} // namespace

nyxObjRef findByDescriberName(nyxInst *inst, const char *name, cfidrErrorT *err) {
    if (!lookupAllowed(inst, name, err)) return {};
    nyxFootPrint *fp = inst->footPrint();
    for (int32_t i = 0; i < fp->d_portCount; ++i) {
        if (nyxDMUtil::sameName(fp->d_ports[i].name(), name)) return refOf(inst->slot(i));
    }
    return *err = cfidrErrNotFound, nyxObjRef{};
}

nyxObjRef findMemberByDescriberName(void *group, const char *name, cfidrErrorT *err) {
    if (!lookupAllowed(instOf(group), name, err)) return {};
    const nyxFootPrintPort *rec = recordPort(group);
    uintptr_t *found = nullptr;
    int32_t i = 0;
    forEachMember(group, [&](uintptr_t *w) {
        if (found == nullptr && nyxDMUtil::sameName(rec->d_members[i].name(), name)) found = w;
        ++i;
    });
    if (found == nullptr) return *err = cfidrErrNotFound, nyxObjRef{};
    return refOf(found);
}

nyxObjRef describerPort(const void *word, cfidrErrorT *err) {
    std::vector<int32_t> path;
    nyxNetlistView *d = describerOf(word, path, err);
    if (d == nullptr) return {};
    nyxPort *p = describerPortAt(d, path);
    const nyxFootPrintPort *rec = recordPort(word);
    if (p == nullptr || rec == nullptr || p->d_code != rec->d_code || !nyxDMUtil::sameName(p->name(), rec->name())) {
        return *err = cfidrErrDescriberPortNotFound, nyxObjRef{};
    }
    return {p, p->d_code, 0};
}

const char *checkedDescriberName(const void *word, cfidrErrorT *err) {
    if (nyx::trustedProgram()) return describerName(word);
    std::vector<int32_t> path;
    nyxNetlistView *d = describerOf(word, path, err);
    if (d == nullptr) return "";
    nyxPort *p = describerPortAt(d, path);
    const nyxFootPrintPort *rec = recordPort(word);
    if (p == nullptr || rec == nullptr || p->d_code != rec->d_code || std::strcmp(p->name(), rec->name()) != 0) {
        return *err = cfidrErrDescriberPortNotFound, "";
    }
    return rec->name();
}

cfidrErrorT checkInst(nyxInst *inst) {
    cfidrErrorT e = 0;
    nyxFootPrint *fp = inst->footPrint();
    nyxNetlistView *d = fp->getDescriber(&e);
    if (d == nullptr || e != 0) return e != 0 ? e : cfidrErrDescriberNotFound;
    return compareList(fp->d_ports, fp->d_portCount, d->ports(), 0);
}

cfidrErrorT checkPortInst(const void *word) {
    cfidrErrorT e = 0;
    std::vector<int32_t> path;
    nyxNetlistView *d = describerOf(word, path, &e);
    if (d == nullptr) return e;
    const nyxFootPrintPort *rec = recordPort(word);
    if (rec == nullptr) return cfidrErrInternal;
    return compareOne(rec, describerPortAt(d, path), 0);
}

int32_t describerDirection(const void *scalar) {
    const nyxFootPrintPort *rec = recordPort(scalar);
    if (rec == nullptr) return 0;
    if (rec->d_dirOrStart == cfidrUndefinedDirection &&
        nyxSettings::hasNameOption(nyxSettings::kSuppressDirectoryScan)) {
        return cfidrInOutDirection;
    }
    return rec->d_dirOrStart;
}

} // namespace nyxPortInst
