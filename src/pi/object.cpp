// Functions on any object: null and sameness tests, usability, type, names, and destruction with
// the withdrawal of the identifiers of everything the object contains.
#include "dm/netlist/netlist.h"
#include "pi/pi.h"

namespace nyxpi {
namespace {

// What destroying an object of each class takes with it: the iterator kinds whose getters list
// its contents (each yielded object is taken with its own contents in turn) and whether its
// properties go too. Net aliases and design configurations go with their nets and cells, so that
// no identifier of a destroyed object stays usable. An occurrence property set and each view
// occurrence property list their direct children only, so the walk reaches every node once.
struct WithdrawRule {
    bool props;
    int16_t kinds[3];
};
constexpr int16_t kNone = 0;

constexpr WithdrawRule kRules[26] = {
    {false, {kNone}},                                                  // 0
    {true, {nyxIterCell}},                                             // 1 library
    {true, {nyxIterView, nyxIterOccPropSet, nyxIterDesignConfig}},     // 2 cell
    {true, {nyxIterPort}},                                             // 3 port bundle: members
    {true, {nyxIterPort}},                                             // 4 port bus: members
    {true, {kNone}},                                                   // 5 port scalar
    {true, {nyxIterPortInst}},                                         // 6 instance
    {true, {nyxIterPortInst}},                                         // 7 port-instance bundle
    {true, {nyxIterPortInst}},                                         // 8 port-instance bus
    {true, {kNone}},                                                   // 9 port-instance scalar
    {true, {nyxIterNetAlias}},                                         // 10 net bundle
    {true, {nyxIterNetAlias}},                                         // 11 net bus
    {true, {nyxIterNetAlias}},                                         // 12 net scalar
    {true, {kNone}},                                                   // 13 property
    {true, {nyxIterPort, nyxIterNet, nyxIterInst}},                    // 14 netlist view
    {true, {nyxIterPort, nyxIterNet, nyxIterInst}},                    // 15 encapsulated view
    {true, {nyxIterLibrarySelector, nyxIterViewSelector}},             // 16 selector set
    {true, {kNone}},                                                   // 17 library selector
    {true, {kNone}},                                                   // 18 view-name selector
    {true, {kNone}},                                                   // 19 view-type selector
    {true, {kNone}},                                                   // 20 net alias
    {true, {nyxIterOccProp}},                                          // 21 occurrence prop. set
    {true, {nyxIterOccProp}},                                          // 22 view occurrence prop.
    {true, {kNone}},                                                   // 23 net occurrence prop.
    {true, {kNone}},                                                   // 24 port occurrence prop.
    {true, {kNone}},                                                   // 25 design configuration
};

// Deeper than any hierarchy of contents the data model lets be built (a view, ports nested up
// to 1024 deep, properties on properties up to 1024 deep): a cycle in corrupted data ends here
// instead of growing the walk without end.
constexpr size_t kMaxDepth = 4096;

// One object of the walk: which of its content kinds comes next and the iterator over the
// contents being listed (null between kinds).
struct Frame {
    void *obj;
    int32_t code;
    uint32_t member;
    int next;
    nyxIter *it;
};

// The content kinds of a class in walk order: its rule's kinds, then its properties.
int16_t contentKind(int32_t code, int i) {
    const WithdrawRule &rule = kRules[code];
    if (i < 3) return rule.kinds[i];
    return i == 3 && rule.props ? int16_t{nyxIterProp} : kNone;
}

void quitIter(const Frame &f) {
    if (f.it != nullptr) f.it->ops->quit(f.it);
}

// Makes the iterator over the next content kind of f that has any; false when none is left.
bool openNext(Frame &f, cfidrErrorT *e) {
    const nyxClassOps *ops = classOps(f.code);
    while (ops != nullptr && f.next < 4) {
        int16_t kind = contentKind(f.code, f.next++);
        if (kind == kNone || ops->getters[kind] == nullptr) continue;
        nyxIter *it = ops->getters[kind](f.obj, f.member, e);
        if (*e != 0) return false;
        if (it == nullptr) continue;
        it->iterFunc = kind;
        f.it = it;
        return true;
    }
    return false;
}

} // namespace

// Depth first without recursion: an object's key is taken once all its contents were walked.
bool Withdrawal::walk(void *obj, int32_t code, uint32_t member, cfidrErrorT *e) {
    std::vector<Frame> stack;
    auto failWalk = [&] {
        for (const Frame &f : stack) quitIter(f);
        if (*e == 0) fail(e, cfidrErrInternal);
        return false;
    };
    if (code <= 0 || code > 25) return failWalk();
    stack.push_back({obj, code, member, 0, nullptr});
    while (!stack.empty()) {
        Frame &f = stack.back();
        if (f.it == nullptr && !openNext(f, e)) {
            if (*e != 0) return failWalk();
            keys_.push_back(nyxRegistry::oidKey(objectWord(f.obj), makeTag(f.code, f.member)));
            stack.pop_back();
            continue;
        }
        nyxObjRef r = f.it->ops->next(f.it, e);
        if (*e != 0) return failWalk();
        if (r.obj == nullptr) {
            quitIter(f);
            f.it = nullptr;
            continue;
        }
        if (r.code <= 0 || r.code > 25 || stack.size() >= kMaxDepth) return failWalk();
        stack.push_back({r.obj, r.code, r.member, 0, nullptr});
    }
    return true;
}

bool Withdrawal::collect(void *obj, int32_t code, uint32_t member, cfidrErrorT *e) {
    keys_.clear();
    // Trusted program mode registers nothing, but identifiers handed out before it was switched
    // on stay registered and must not come to name whatever reuses the storage: they are
    // withdrawn in every mode. Only a session that never registered one skips the walk.
    const nyxRegistry *registry = nyx::session != nullptr ? nyx::session->oidRegistry() : nullptr;
    if (registry == nullptr || registry->size() == 0) return true;
    // A port instance is refused by its class: nothing to withdraw.
    if (code >= nyxCodePortInstBundle && code <= nyxCodePortInstScalar) return true;
    // Only what memory holds has identifiers: nothing is read from disk to find them.
    struct NoReads {
        NoReads() { ++nyxIterNoReads; }
        ~NoReads() { --nyxIterNoReads; }
    } noReads;
    return walk(obj, code, member, e);
}

void Withdrawal::commit() {
    if (nyx::session == nullptr) return;
    for (uint64_t key : keys_) {
        nyx::session->withdrawOID(static_cast<uint32_t>(key), static_cast<uint32_t>(key >> 32));
    }
    keys_.clear();
}

void purgeViewWithdrawing(nyxDMObj *obj, int32_t code, cfidrErrorT *err) {
    if (code != nyxCodeNetlistView && code != nyxCodeEncapsulatedView) return (void)(*err = cfidrErrInternal);
    Withdrawal withdrawal;
    if (!withdrawal.collect(obj, code, 0, err)) return;
    if (code == nyxCodeEncapsulatedView) {
        nyxEncapsulatedView::purge(static_cast<nyxEncapsulatedView *>(obj), err);
    } else {
        nyxNetlistView::purge(static_cast<nyxNetlistView *>(obj), err);
    }
    if (*err == 0) withdrawal.commit();
}

} // namespace nyxpi

using nyxpi::checkArg;
using nyxpi::classCode;

extern "C" {

NYX_API cfiBooleanEnum cfidrObjectIsNull(cfiOID id, cfidrErrorT *err) {
    return nyxpi::guard(err, cfiBooleanEnum{0}, [&](cfidrErrorT *e) {
        if (id.object == 0) return cfiBooleanEnum{1};
        checkArg(id, nyxCodeAnyObject, e);
        return cfiBooleanEnum{0};
    });
}

NYX_API cfiBooleanEnum cfidrObjectIsSame(cfiOID a, cfiOID b, cfidrErrorT *err) {
    return nyxpi::guard(err, cfiBooleanEnum{0}, [&](cfidrErrorT *e) {
        if (a.object == 0 && b.object == 0) return cfiBooleanEnum{1};
        if (a.object != 0 && !checkArg(a, nyxCodeAnyObject, e)) return cfiBooleanEnum{0};
        if (b.object != 0 && !checkArg(b, nyxCodeAnyObject, e)) return cfiBooleanEnum{0};
        return cfiBooleanEnum{a.object == b.object && a.tag == b.tag ? 1 : 0};
    });
}

NYX_API cfiBooleanEnum cfidrObjectIsUsable(cfiOID id, cfidrErrorT *err) {
    return nyxpi::guard(err, cfiBooleanEnum{0}, [&](cfidrErrorT *) {
        const nyx *s = nyx::session;
        if (s == nullptr || id.object == 0) return cfiBooleanEnum{0};
        return cfiBooleanEnum{s->oidUsable(id.object, id.tag) ? 1 : 0};
    });
}

NYX_API cfidrObjectTypeT cfidrObjectGetObjectType(cfiOID id, cfidrErrorT *err) {
    return nyxpi::guard(err, cfidrObjectTypeT{0}, [&](cfidrErrorT *e) -> cfidrObjectTypeT {
        if (!checkArg(id, nyxCodeAnyObject, e)) return 0;
        cfidrObjectTypeT type = nyxpi::typeValue(classCode(id.tag));
        if (type == 0) return nyxpi::fail(e, cfidrErrWrongType), 0;
        return type;
    });
}

NYX_API void cfidrObjectDestroy(cfiOID id, cfidrErrorT *err) {
    nyxpi::guardVoid(err, [&](cfidrErrorT *e) {
        if (!checkArg(id, nyxCodeAnyObject, e)) return;
        int32_t code = classCode(id.tag);
        const nyxClassOps *ops = (id.tag & 1) != 0 ? nullptr : nyxpi::classOps(code);
        if ((id.tag & 1) != 0 || code == 0 || code > 25) return nyxpi::fail(e, cfidrErrWrongType);
        if (ops == nullptr || ops->destroy == nullptr) return nyxpi::fail(e, cfidrErrInternal);
        void *obj = nyxpi::address(id.object);
        uint32_t member = nyxpi::memberIndex(id.tag);
        // The identifiers are withdrawn only once the class has destroyed the object: a refused
        // destruction (read-only container, port instance) leaves every identifier usable.
        nyxpi::Withdrawal withdrawal;
        if (!withdrawal.collect(obj, code, member, e)) return;
        ops->destroy(obj, member, e);
        if (*e == 0) withdrawal.commit();
    });
}

NYX_API const char *cfidrNamedObjectGetName(cfiOID id, cfidrErrorT *err) {
    return nyxpi::guard(err, "", [&](cfidrErrorT *e) -> const char * {
        if (!checkArg(id, nyxCodeNamedObject, e)) return "";
        const nyxClassOps *ops = nyxpi::classOps(classCode(id.tag));
        if (ops == nullptr || ops->getName == nullptr) return nyxpi::fail(e, cfidrErrWrongType), "";
        const char *name = ops->getName(nyxpi::address(id.object), nyxpi::memberIndex(id.tag), e);
        if (*e != 0) return "";
        return nyxpi::returnString(name, e);
    });
}

NYX_API void cfidrNamedObjectSetName(cfiOID id, const char *name, cfidrErrorT *err) {
    nyxpi::guardVoid(err, [&](cfidrErrorT *e) {
        if (!checkArg(id, nyxCodeNamedObject, e)) return;
        const nyxClassOps *ops = nyxpi::classOps(classCode(id.tag));
        // Classes without a rename operation (libraries, cells, ports, encapsulated views,
        // occurrence property sets and properties, design configurations) refuse it.
        if (ops == nullptr || ops->setName == nullptr) {
            return nyxpi::fail(e, cfidrErrIllegalOperation);
        }
        ops->setName(nyxpi::address(id.object), nyxpi::memberIndex(id.tag), name, e);
    });
}

} // extern "C"
