// Ports: creation, queries, moves between owners, start and step of buses, and destruction.
#include "dm/netlist/port.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "dm/netlist/busname.h"
#include "dm/netlist/net.h"
#include "dm/netlist/portInt.h"
#include "utils/ptrindex.h"
#include "dm/netlist/view.h"

namespace nyxPortInt {

nyxDynArray &ownerList(nyxPort *port) {
    if (port->d_ownerCode == nyxCodeNetlistView) return static_cast<nyxNetlistView *>(port->d_owner)->ports();
    return static_cast<nyxPortBundle *>(port->d_owner)->members();
}

nyxPort *findInList(const nyxDynArray &list, const char *name, const nyxPort *except) {
    const uint32_t hash = nyxPort::nameHash(name);
    const int32_t n = list.nitems();
    for (int32_t i = 0; i < n; ++i) {
        nyxPort *p = static_cast<nyxPort *>(list[i]);
        if (p == nullptr || p == except || p->d_nameHash != hash) continue;
        if (std::strcmp(p->name(), name) == 0) return p;
    }
    return nullptr;
}

// --- The port index ------------------------------------------------------------------------------
//
// Name searches of an owner's list go through the view's port index once the view has a list
// longer than kIndexFrom: every port of the view under the hash of (owner, name hash), so that a
// creation or a look-up in an owner of 100,000 ports costs what it costs in one of ten. Ports
// enter the index when they join a list and leave it when they leave one (moves, destruction).
//   index built: it holds exactly the ports of the view, each under indexKey(d_owner, d_nameHash)

namespace {

constexpr int32_t kIndexFrom = 32;

uint32_t indexKey(const void *owner, uint32_t nameHash) {
    return nyxPtrIndex::combine(nyxPtrIndex::ofPointer(owner), nameHash);
}

void dropIndex(nyxNetlistView *view) {
    nyxPtrIndex::destroy(view->portIndex());
    view->portIndex() = nullptr;
}

nyxPtrIndex *buildIndex(nyxNetlistView *view) {
    cfidrErrorT e = 0;
    uint32_t n = 0;
    nyxPortCursor cursor;
    cursor.start(&view->ports(), true);
    while (cursor.next(&e) != nullptr) ++n;
    nyxPtrIndex *index = e == 0 ? nyxPtrIndex::create(view->viewHeap(), n) : nullptr;
    if (index == nullptr) return nullptr;
    view->portIndex() = index;
    cursor.start(&view->ports(), true);
    while (nyxPort *p = cursor.next(&e)) {
        if (!index->add(indexKey(p->d_owner, p->d_nameHash), p)) e = cfidrErrInternal;
    }
    if (e != 0) dropIndex(view);
    return view->portIndex();
}

} // namespace

void indexAdd(nyxPort *port) {
    nyxPtrIndex *index = port->d_view->portIndex();
    if (index != nullptr && !index->add(indexKey(port->d_owner, port->d_nameHash), port)) dropIndex(port->d_view);
}

void indexRemove(nyxPort *port) {
    nyxPtrIndex *index = port->d_view->portIndex();
    if (index != nullptr) index->remove(indexKey(port->d_owner, port->d_nameHash), port);
}

nyxPort *findMember(nyxNetlistView *view, const void *owner, const nyxDynArray &list, const char *name,
                    const nyxPort *except) {
    nyxPtrIndex *index = view->portIndex();
    if (index == nullptr && list.nitems() > kIndexFrom) index = buildIndex(view);
    if (index == nullptr) return findInList(list, name, except);
    const uint32_t hash = nyxPort::nameHash(name);
    nyxPort *found = nullptr;
    int matches = 0;
    index->forEach(indexKey(owner, hash), [&](void *obj) {
        auto *p = static_cast<nyxPort *>(obj);
        if (p == except || p->d_owner != owner || p->d_nameHash != hash || std::strcmp(p->name(), name) != 0) {
            return true;
        }
        found = p;
        return ++matches < 2;
    });
    // Names repeat in one owner only where trusted data mode let them: the first in list order.
    return matches > 1 ? findInList(list, name, except) : found;
}

size_t objectSize(int32_t code) {
    switch (code) {
    case nyxCodePortScalar: return sizeof(nyxPortScalar);
    case nyxCodePortBus: return sizeof(nyxPortBus);
    default: return sizeof(nyxPortBundle);
    }
}

// Returns a port's own storage to the view heap (it has left its owner's list already).
void release(nyxPort *port, Hx_baseheap *heap) {
    indexRemove(port);
    nyxPropListDestroy(port->d_propList);
    port->d_name.clear();
    const size_t bytes = objectSize(port->d_code);
    if (port->isGroup()) {
        static_cast<nyxPortBundle *>(port)->members().clear();
        static_cast<nyxPortBundle *>(port)->~nyxPortBundle();
    } else {
        static_cast<nyxPortScalar *>(port)->~nyxPortScalar();
    }
    heap->freeBlock(port, bytes);
}

} // namespace nyxPortInt

using namespace nyxPortInt;

namespace {

// The checks every creation runs (unless trusted data mode): 42, 14, 26/25.
bool creationChecks(nyxNetlistView *view, nyxPortBundle *group, const char *name, int32_t code,
                    cfidrErrorT *err) {
    if (nyx::trustedData()) return true;
    if (view->readOnly()) return *err = cfidrErrNotOpenForUpdate, false;
    if (!nyxNetlistView::validString(name)) return *err = cfidrErrBadName, false;
    const void *owner = group != nullptr ? static_cast<const void *>(group) : static_cast<const void *>(view);
    const nyxDynArray &list = group != nullptr ? group->members() : view->ports();
    if (const nyxPort *clash = findMember(view, owner, list, name, nullptr)) {
        return *err = clash->d_code == code ? cfidrErrAlreadyExists : cfidrErrNameTaken, false;
    }
    return true;
}

// Groups that hold `port` (0 for a top-level port); stops counting above kMaxNesting.
int32_t nestingOf(const nyxPort *port) {
    int32_t n = 0;
    for (const nyxPort *g = port->ownerGroup(); g != nullptr && n <= nyxPort::kMaxNesting; g = g->ownerGroup()) ++n;
    return n;
}

// Steps from `port` down to its deepest member (ports own their members: a tree).
int32_t nestingBelow(const nyxPort *port) {
    int32_t deepest = 0;
    std::vector<std::pair<const nyxPort *, int32_t>> work{{port, 0}};
    while (!work.empty()) {
        auto [p, depth] = work.back();
        work.pop_back();
        deepest = std::max(deepest, depth);
        if (!p->isGroup() || depth > nyxPort::kMaxNesting) continue;
        const auto *g = static_cast<const nyxPortBundle *>(p);
        for (int32_t i = 0; i < g->size(); ++i) work.emplace_back(g->member(i), depth + 1);
    }
    return deepest;
}

// A new member of `group` would be held by one group more than `group` is.
bool nestingChecks(const nyxPortBundle *group, cfidrErrorT *err) {
    if (group != nullptr && nestingOf(group) + 1 > nyxPort::kMaxNesting) {
        return *err = cfidrErrRecursiveBundle, false;
    }
    return true;
}

// Builds a port of class `code` in the view heap, names it and puts it into its owner's list
// (no edit bookkeeping).
template <class T, class... A>
T *place(nyxNetlistView *view, nyxPortBundle *group, const char *name, int32_t position,
         cfidrErrorT *err, A... args) {
    Hx_baseheap *heap = view->viewHeap();
    void *mem = heap != nullptr ? heap->allocBlock(sizeof(T)) : nullptr;
    if (mem == nullptr) return *err = cfidrErrInternal, nullptr;
    void *owner = group != nullptr ? static_cast<void *>(group) : static_cast<void *>(view);
    int32_t ownerCode = group != nullptr ? group->d_code : int32_t{nyxCodeNetlistView};
    T *port = new (mem) T(view, owner, ownerCode, args...);
    nyxDynArray &list = group != nullptr ? group->members() : view->ports();
    if (name == nullptr) name = "";
    port->d_nameHash = nyxPort::nameHash(name);
    if (!port->d_name.setString(name, heap) || list.insert(port, position, heap) < 0) {
        release(port, heap);
        return *err = cfidrErrInternal, nullptr;
    }
    indexAdd(port);
    return port;
}

// place with the edit bookkeeping of the interface's creation.
template <class T, class... A>
T *placeEdit(nyxNetlistView *view, nyxPortBundle *group, const char *name, int32_t position,
             cfidrErrorT *err, A... args) {
    T *port = place<T>(view, group, name, position, err, args...);
    if (port != nullptr) nyxNetlistView::viewChanged(view);
    return port;
}

} // namespace

bool nyxPort::isUsable(const nyxPort *port) {
    for (int64_t steps = 0; port != nullptr && steps < (int64_t{1} << 31); ++steps) {
        if (port->d_code != nyxCodePortScalar && port->d_code != nyxCodePortBus &&
            port->d_code != nyxCodePortBundle) {
            return false;
        }
        if (port->d_owner == nullptr) return false;
        if (port->d_ownerCode == nyxCodeNetlistView) return true;
        if (port->d_ownerCode != nyxCodePortBundle && port->d_ownerCode != nyxCodePortBus) return false;
        port = static_cast<const nyxPort *>(port->d_owner);
    }
    return false;
}

nyxPortScalar *nyxPort::createPortScalar(nyxNetlistView *view, nyxPortBundle *group, const char *name,
                                         int32_t position, int32_t direction, cfidrErrorT *err) {
    if (group == nullptr && !nyxNetlistView::load(view, err)) return nullptr;
    if (!creationChecks(view, group, name, nyxCodePortScalar, err)) return nullptr;
    if (!nestingChecks(group, err)) return nullptr;
    if (!nyx::trustedData() &&
        (direction < cfidrUndefinedDirection || direction > cfidrInOutDirection)) {
        return *err = cfidrErrBadDirection, nullptr;
    }
    return placeEdit<nyxPortScalar>(view, group, name, position, err, direction);
}

nyxPortBus *nyxPort::createPortBus(nyxNetlistView *view, nyxPortBundle *group, const char *name,
                                   int32_t position, int32_t start, int32_t step, cfidrErrorT *err) {
    if (group == nullptr && !nyxNetlistView::load(view, err)) return nullptr;
    if (!creationChecks(view, group, name, nyxCodePortBus, err)) return nullptr;
    if (!nestingChecks(group, err)) return nullptr;
    if (!nyx::trustedData() && step == 0) return *err = cfidrErrBadValue, nullptr;
    return placeEdit<nyxPortBus>(view, group, name, position, err, view->viewHeap(), start, step);
}

nyxPortBundle *nyxPort::createPortBundle(nyxNetlistView *view, nyxPortBundle *group, const char *name,
                                         int32_t position, cfidrErrorT *err) {
    if (group == nullptr && !nyxNetlistView::load(view, err)) return nullptr;
    if (!creationChecks(view, group, name, nyxCodePortBundle, err)) return nullptr;
    if (!nestingChecks(group, err)) return nullptr;
    return placeEdit<nyxPortBundle>(view, group, name, position, err, view->viewHeap(), nyxCodePortBundle);
}

nyxPort *nyxPort::build(nyxNetlistView *view, nyxPortBundle *group, const char *name, int32_t code,
                        int32_t dirOrStart, int32_t step) {
    cfidrErrorT ignored = 0;
    switch (code) {
    case nyxCodePortScalar: return place<nyxPortScalar>(view, group, name, -1, &ignored, dirOrStart);
    case nyxCodePortBus:
        return place<nyxPortBus>(view, group, name, -1, &ignored, view->viewHeap(), dirOrStart, step);
    case nyxCodePortBundle:
        return place<nyxPortBundle>(view, group, name, -1, &ignored, view->viewHeap(), nyxCodePortBundle);
    default: return nullptr;
    }
}

int32_t nyxPort::getPosition(const nyxPort *port) {
    return ownerList(const_cast<nyxPort *>(port)).index_of(port);
}

nyxPort *nyxPort::findByName(const nyxDynArray &list, const char *name, cfidrErrorT *err) {
    if (!nyx::trustedProgram() && !nyxNetlistView::validString(name)) {
        return *err = cfidrErrBadName, nullptr;
    }
    if (name == nullptr) return *err = cfidrErrNotFound, nullptr;
    // Every port of a list has the list's owner and view: the first one tells them.
    const auto *first = static_cast<const nyxPort *>(list[0]);
    nyxPort *p = first == nullptr ? nullptr : findMember(first->d_view, first->d_owner, list, name, nullptr);
    if (p == nullptr) *err = cfidrErrNotFound;
    return p;
}

nyxPort *nyxPort::findByPosition(const nyxPortBundle *group, int32_t position, cfidrErrorT *err) {
    if (position < 0 || position >= group->size()) return *err = cfidrErrBadPosition, nullptr;
    return group->member(position);
}

int32_t nyxPort::getDirection(const nyxPortScalar *port) {
    if (port->d_direction == cfidrUndefinedDirection &&
        nyxSettings::hasNameOption(nyxSettings::kSuppressDirectoryScan)) {
        return cfidrInOutDirection;
    }
    return port->d_direction;
}

int32_t nyxPortBundle::getPortCount(const nyxPortBundle *group) {
    nyxPortCursor cursor;
    cursor.start(&group->members(), true);
    int32_t n = 0;
    cfidrErrorT e = 0;
    while (cursor.next(&e) != nullptr) ++n;
    return n;
}

// --- Moves -----------------------------------------------------------------------------------------

namespace {

// Takes the port out of its owner's list and puts it into `list` (owned by `owner`).
void moveTo(nyxPort *port, nyxNetlistView *view, nyxDynArray &list, void *owner, int32_t ownerCode,
            int32_t position, cfidrErrorT *err) {
    nyxDynArray &old = ownerList(port);
    const int32_t oldIndex = old.index_of(port);
    old.remove(port);
    // An insertion at the size is an append; nyxDynArray appends for every index outside the list.
    if (list.insert(port, position, view->viewHeap()) < 0) {
        // Out of memory: put the port back where it was (the old list still has its block).
        old.insert(port, oldIndex, view->viewHeap());
        *err = cfidrErrInternal;
        return;
    }
    indexRemove(port);
    port->d_owner = owner;
    port->d_ownerCode = ownerCode;
    indexAdd(port);
    nyxNetlistView::viewChanged(view);
}

} // namespace

void nyxPort::setOwnerPortBundle(nyxPort *port, nyxPortBundle *group, int32_t position, cfidrErrorT *err) {
    if (group == nullptr || !group->isGroup()) return void(*err = cfidrErrInternal);
    nyxNetlistView *view = getOwningView(port);
    if (view == nullptr) return void(*err = cfidrErrInternal);
    if (!nyx::trustedData()) {
        if (view->readOnly()) return void(*err = cfidrErrNotOpenForUpdate);
        if (findMember(view, group, group->members(), port->name(), port) != nullptr) {
            return void(*err = cfidrErrNameTaken);
        }
    }
    // A port moved into another view or into itself would break the owner chains that every walk
    // relies on, so these two checks run in trusted data mode as well.
    if (getOwningView(group) != view) return void(*err = cfidrErrNotSameView);
    int32_t above = 0;
    for (const nyxPort *g = group; g != nullptr; g = g->ownerGroup(), ++above) {
        if (g == port) return void(*err = cfidrErrRecursiveBundle);
    }
    // The moved port and its members must stay within the nesting every walk takes.
    if (above + nestingBelow(port) > kMaxNesting) return void(*err = cfidrErrRecursiveBundle);
    moveTo(port, view, group->members(), group, group->d_code, position, err);
}

void nyxPort::setOwnerView(nyxPort *port, int32_t position, cfidrErrorT *err) {
    nyxNetlistView *view = getOwningView(port);
    if (view == nullptr) return void(*err = cfidrErrInternal);
    if (!nyx::trustedData()) {
        if (view->readOnly()) return void(*err = cfidrErrNotOpenForUpdate);
        if (port->d_ownerCode != nyxCodeNetlistView &&
            findMember(view, view, view->ports(), port->name(), port) != nullptr) {
            return void(*err = cfidrErrNameTaken);
        }
    }
    moveTo(port, view, view->ports(), view, nyxCodeNetlistView, position, err);
}

// --- Start and step --------------------------------------------------------------------------------

void nyxPortBus::setStart(nyxPortBus *bus, int32_t start, cfidrErrorT *err) {
    nyxNetlistView *view = getOwningView(bus);
    if (view == nullptr) return void(*err = cfidrErrInternal);
    if (view->editRefused()) return void(*err = cfidrErrNotOpenForUpdate);
    nyxNetlistView::viewChanged(view);
    bus->d_start = start;
}

void nyxPortBus::setStep(nyxPortBus *bus, int32_t step, cfidrErrorT *err) {
    nyxNetlistView *view = getOwningView(bus);
    if (view == nullptr) return void(*err = cfidrErrInternal);
    if (view->editRefused()) return void(*err = cfidrErrNotOpenForUpdate);
    if (step == 0) return void(*err = cfidrErrBadValue);
    nyxNetlistView::viewChanged(view);
    bus->d_step = step;
}

int32_t nyxPortBus::getEnd(const nyxPortBus *bus, cfidrErrorT *err) {
    int32_t end = 0;
    if (!nyxBusName::busEnd(bus->name(), &end)) return *err = cfidrErrBadName, 0;
    return end;
}

// --- Destruction -----------------------------------------------------------------------------------

void nyxPort::destroy(nyxPort *port, cfidrErrorT *err) {
    nyxNetlistView *view = getOwningView(port);
    if (view == nullptr) return void(*err = cfidrErrInternal);
    if (view->editRefused()) return void(*err = cfidrErrNotOpenForUpdate);
    nyxNetlistView::viewChanged(view);
    Hx_baseheap *heap = view->viewHeap();
    // Depth first without a stack: descend to the first member until a port without members is
    // reached, free it, and continue from its owner. Taking the first member keeps each removal
    // within the first block of the member list.
    nyxPort *cur = port;
    for (;;) {
        if (cur->isGroup() && static_cast<nyxPortBundle *>(cur)->size() > 0) {
            cur = static_cast<nyxPortBundle *>(cur)->member(0);
            continue;
        }
        if (cur->isScalar()) {
            nyxPortScalar *s = static_cast<nyxPortScalar *>(cur);
            if (s->d_net != nullptr) nyxNetScalar::removePort(s->d_net, s);
            s->d_net = nullptr;
        }
        nyxPort *owner = cur == port ? nullptr : static_cast<nyxPort *>(cur->d_owner);
        // Iterators over its members end; lists that name it drop it.
        nyxIterObjectGone(cur);
        ownerList(cur).remove(cur);
        release(cur, heap);
        if (owner == nullptr) break;
        cur = owner;
    }
}

// --- Invariants ------------------------------------------------------------------------------------

bool nyxPort::isValid(nyxNetlistView *view) {
    const nyxPtrIndex *index = view->portIndex();
    uint32_t indexed = 0;
    nyxPortCursor cursor;
    cursor.start(&view->ports(), true);
    cfidrErrorT e = 0;
    while (nyxPort *p = cursor.next(&e)) {
        if (!isUsable(p) || p->d_view != view) return false;
        // The cached view is the end of the owner chain.
        const nyxPort *top = p;
        while (top->d_ownerCode != nyxCodeNetlistView) top = static_cast<const nyxPort *>(top->d_owner);
        if (top->d_owner != view) return false;
        if (ownerList(p).index_of(p) < 0) return false;
        const nyxDynArray &list = ownerList(p);
        if (p->d_nameHash != nameHash(p->name()) || findInList(list, p->name(), p) != nullptr) return false;
        if (index != nullptr) {
            bool held = false;
            index->forEach(indexKey(p->d_owner, p->d_nameHash), [&](void *obj) { return !(held = obj == p); });
            if (!held) return false;
            ++indexed;
        }
        if (p->isScalar()) {
            const nyxPortScalar *s = static_cast<nyxPortScalar *>(p);
            if (s->d_net != nullptr && nyxNet::view(s->d_net) != view) return false;
        }
    }
    return e == 0 && (index == nullptr || (index->size() == indexed && index->isValid()));
}
