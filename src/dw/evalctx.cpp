// Evaluation of expressions at an occurrence: names resolved at the occurrence and outward, the
// result stored in the one entry of the session's evaluation list; and the making of a set's
// node for an occurrence.
#include <cmath>
#include <string>
#include <unordered_map>

#include "dm/prop/prop.h"
#include "dw/derived.h"
#include "dw/dwInt.h"
#include "dw/flatnetInt.h"
#include "expr/expr.h"

using namespace nyxdwInt;
using nyxdwDerived::Design;
using nyxdwDerived::Found;

namespace {

constexpr const char *kStringEvalName = "nyxdwStringEval";
constexpr double kFloatLimit = 1e37;

// A resolved name: its value (text kept here) or the error it gave.
struct Resolved {
    nyxExprValue value;
    std::string text;
    cfidrErrorT err = 0;
};

// The lookup context of one level: names are looked up here and outward; a name's expression
// is evaluated by the context of the level where it was found. `levels` runs from the occurrence
// to the top; a context stands at levels[at].
class OccLookup final : public nyxExprLookup {
public:
    OccLookup(const Design &d, const std::vector<nyxOccRef> &levels, size_t at, int32_t mode,
              std::unordered_map<std::string, Resolved> *caches, nyxdwDerived::Finder *finders)
        : d_design(d), d_levels(levels), d_at(at), d_mode(mode), d_caches(caches), d_finders(finders) {
        const nyxOccRef &o = levels[at];
        d_scope = static_cast<uintptr_t>(static_cast<uint32_t>(o.id)) | static_cast<uintptr_t>(o.kind) << 32 |
                  static_cast<uintptr_t>(o.designId) << 35 | static_cast<uintptr_t>(o.port) << 43;
    }

    bool lookup(const char *name, nyxExprCompilerContext *, nyxExprValue &out, cfidrErrorT *err) override {
        const nyxdwDerived::Name key(name);
        for (size_t level = d_at; level < d_levels.size(); ++level) {
            cfidrErrorT e = 0;
            Found f = d_finders[level].find(key, &e);
            if (f.isNull()) {
                if (e != cfidrErrNotFound) return *err = e, false;
                continue;
            }
            Resolved &r = resolve(level, name, f);
            if (r.err != 0) return *err = r.err, false;
            out = r.value;
            if (out.isString()) out.s = r.text.c_str();
            return true;
        }
        return false;
    }
    const void *scope() const override { return reinterpret_cast<const void *>(d_scope); }

private:
    // The value of a property found at `level`, from the call's cache of that level.
    Resolved &resolve(size_t level, const char *name, const Found &f) {
        auto [it, added] = d_caches[level].try_emplace(name);
        Resolved &r = it->second;
        if (!added) return r;
        const nyxProp *p = nyxPropAt(f.list, f.index);
        switch (p->type()) {
        case nyxPropBoolean: r.value.setBool(p->intValue() != 0); break;
        case nyxPropInt: r.value.setInt(p->intValue()); break;
        case nyxPropFloat: r.value.setReal(p->floatValue()); break;
        case nyxPropExpression: {
            // Marked while it is evaluated: a name that comes back to itself is a recursion.
            r.err = nyxdwErrRecursive;
            OccLookup inner(d_design, d_levels, level, d_mode, d_caches, d_finders);
            cfidrErrorT e = 0;
            nyxExprValue v = nyxExprSessionMgr()->evaluate(name, p->stringValue(), &inner, nullptr, &e);
            if (e != 0 || !v.defined()) {
                r.err = e != 0 ? e : nyxdwErrParamNotFound;
                break;
            }
            r.err = 0;
            r.value = v;
            if (v.isString()) r.text.assign(v.s, v.len);
            break;
        }
        default:
            r.text = p->stringValue();
            r.value.setString(nullptr, static_cast<uint32_t>(r.text.size()));
            break;
        }
        return r;
    }

    const Design &d_design;
    const std::vector<nyxOccRef> &d_levels;
    size_t d_at;
    int32_t d_mode;
    std::unordered_map<std::string, Resolved> *d_caches;
    nyxdwDerived::Finder *d_finders;
    uintptr_t d_scope;
};

// The occurrence and its enclosing instance occurrences up to the top, from one descent.
bool levelsOf(const Design &d, const nyxOccRef &occ, std::vector<nyxOccRef> *out, cfidrErrorT *err) {
    out->push_back(occ);
    int32_t holder = nyxdw::kTopId;
    switch (occ.kind) {
    case nyxOccTop: return occ.id == nyxdw::kTopId || fail(err);
    case nyxOccFlatNet: break;
    case nyxOccPort:
        if (occ.id == nyxdw::kTopId) break;
        holder = occ.id;
        out->push_back(viewRef(d.tree, holder));
        break;
    default: holder = occ.id; break;
    }
    if (holder != nyxdw::kTopId) {
        std::vector<nyxdwFlat::Level> path;
        int32_t local = 0;
        if (!nyxdwFlat::levels(d.tree, holder, &path, &local)) return fail(err);
        for (size_t i = path.size(); i-- > 1;) out->push_back(viewRef(d.tree, path[i].ownId));
    }
    out->push_back(nyxdw::top(d.tree));
    return true;
}

// Stores the result in entry 0 of the evaluation list, renamed; the entry as it was on error.
Found store(const char *name, const nyxExprValue &v, cfidrErrorT *err) {
    const uint8_t kind = v.primaryKind();
    if (kind == nyxExprReal && (!std::isfinite(v.r) || std::fabs(v.r) > kFloatLimit)) {
        return *err = nyxdwErrEvaluation, Found();
    }
    nyxPropList *list = getEvalProplist();
    if (list == nullptr) return *err = cfidrErrInternal, Found();
    if (nyxPropAt(list, 0) == nullptr) {
        nyxPropOwner none = {nullptr, 0, 0, nyx::getGlobalHeap(), nullptr};
        nyxPropCreate(list, none, name, err);
    } else if (std::string(nyxPropAt(list, 0)->name()) != name) {
        nyxPropRename(list, 0, name, err);
    }
    if (*err != 0) return Found();
    switch (kind) {
    case nyxExprInt: nyxPropSetInt(list, 0, v.i, err); break;
    case nyxExprReal: nyxPropSetFloat(list, 0, static_cast<float>(v.r), err); break;
    case nyxExprBool: nyxPropSetBoolean(list, 0, v.i, err); break;
    default: nyxPropSetString(list, 0, std::string(v.s != nullptr ? v.s : "", v.len).c_str(), err); break;
    }
    return *err == 0 ? Found{list, 0} : Found();
}

Found evaluateAt(const Design &d, const char *name, const char *text, const nyxOccRef &occ, int32_t mode, cfidrErrorT *err) {
    std::vector<nyxOccRef> levels;
    if (!levelsOf(d, occ, &levels, err)) return Found();
    nyxExprMgr *mgr = nyxExprSessionMgr();
    if (mgr == nullptr) return *err = cfidrErrInternal, Found();
    std::vector<std::unordered_map<std::string, Resolved>> caches(levels.size());
    std::vector<nyxdwDerived::Finder> finders;
    finders.reserve(levels.size());
    for (const nyxOccRef &level : levels) finders.emplace_back(d, level, mode);
    OccLookup lookup(d, levels, 0, mode, caches.data(), finders.data());
    nyxExprValue v = mgr->evaluate(name, text, &lookup, nullptr, err);
    if (*err != 0) return Found();
    if (!v.defined()) return *err = nyxdwErrEvaluation, Found();
    return store(name, v, err);
}

} // namespace

namespace nyxdwDerived {

Found evaluate(const Design &d, const Found &prop, const nyxOccRef &occ, int32_t mode, cfidrErrorT *err) {
    const nyxProp *p = nyxPropLive(prop.list, prop.index, err);
    if (p == nullptr) return Found();
    if (p->type() != nyxPropExpression) return prop;
    // The name and text are copied: the evaluation may rename the list the property lies in.
    const std::string name = p->name(), text = p->stringValue();
    return evaluateAt(d, name.c_str(), text.c_str(), occ, mode, err);
}

Found evaluateText(const Design &d, const char *text, const nyxOccRef &occ, int32_t mode, cfidrErrorT *err) {
    return evaluateAt(d, kStringEvalName, text, occ, mode, err);
}

nyxOccPropNode *createOccProp(nyxOccTree *tree, const nyxOccRef &occ, nyxOccPropSet *set, cfidrErrorT *err,
                              bool mustBeNew) {
    int32_t code = 0;
    switch (occ.kind) {
    case nyxOccNet: code = nyxCodeNetOccProp; break;
    case nyxOccInst:
    case nyxOccTop: code = nyxCodeViewOccProp; break;
    case nyxOccPort: code = nyxCodePortOccProp; break;
    default: return *err = cfidrErrWrongType, nullptr;
    }
    nyxOccNames path;
    if (!nyxdw::pathOf(tree, occ, &path, err)) return nullptr;
    std::vector<const char *> names, members;
    for (size_t i = 0; i < path.names.size(); ++i) (i < path.memberFrom ? names : members).push_back(path.names[i].c_str());
    names.push_back(nullptr);
    members.push_back(nullptr);
    const char *const *member = code == nyxCodePortOccProp ? members.data() : nullptr;
    if (mustBeNew) return nyxOccPropSet::createNode(set, code, names.data(), member, err);
    cfidrErrorT e = 0;
    nyxOccPropNode *node = nyxOccPropSet::findNode(set, code, names.data(), member, &e);
    return node != nullptr ? node : nyxOccPropSet::createNode(set, code, names.data(), member, err);
}

} // namespace nyxdwDerived
