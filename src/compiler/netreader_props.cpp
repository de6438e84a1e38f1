// The record reader, continued: property lists (by name index in views, by inline name in
// configurations and sets), properties on properties, and the lists that follow records.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <unordered_set>

#include "compiler/netreader.h"
#include "dm/netlist/netlist.h"

namespace {

bool knownValueType(int32_t type) {
    return (type >= nyxPropNone && type <= nyxPropString) || type == nyxPropExpression;
}

// The names (by serial, so under the session's case rule) an owner's properties carry: a few
// are searched in place, more through a hash set.
class SerialSet {
public:
    // False when the serial was there already.
    bool insert(int32_t serial) {
        if (d_set.empty()) {
            if (std::find(d_few.begin(), d_few.end(), serial) != d_few.end()) return false;
            d_few.push_back(serial);
            if (d_few.size() > 16) d_set.insert(d_few.begin(), d_few.end());
            return true;
        }
        return d_set.insert(serial).second;
    }

private:
    std::vector<int32_t> d_few;
    std::unordered_set<int32_t> d_set;
};

} // namespace

// Reads a value of a known type; false after a failure of the stream.
bool nyxCompilerNetlist::readValue(int32_t type, std::string &text, int32_t &i, float &f) {
    switch (type) {
    case nyxPropBoolean: i = d_in.readBoolean() ? 1 : 0; break;
    case nyxPropInt: i = d_in.readInt(); break;
    case nyxPropFloat: f = d_in.readFloat(); break;
    case nyxPropString:
    case nyxPropExpression: text = d_in.readString(); break;
    default: break;  // none, deleted: no value
    }
    return d_in.good();
}

bool nyxCompilerNetlist::readPropList(const PropTarget &target, bool inlineNames, int depth) {
    if (depth > kMaxNesting) return NYX_COMPILER_CORRUPT();
    const int32_t count = d_in.readInt();
    if (!d_in.good()) return false;
    nyxPropNameTable *table = nyxPropNameTable::get();
    if (table == nullptr) return NYX_COMPILER_CORRUPT();
    SerialSet seen;
    bool listSeen = false;
    std::string name, text;
    for (int32_t k = 0; k < count && d_in.good(); ++k) {
        nyxPropNameTableBucket *entry = nullptr;
        if (inlineNames) {
            const int32_t nameType = d_in.readInt();
            if (!readName(name)) return false;
            if (!knownValueType(nameType)) return NYX_COMPILER_CORRUPT();
            entry = table->add_name_type(name.c_str(), static_cast<int16_t>(nameType));
            if (entry == nullptr) return NYX_COMPILER_CORRUPT();  // memory
        } else {
            const int32_t index = d_in.readInt();
            if (!d_in.good()) return false;
            if (index == -1) {
                // A skipped entry: two integers follow.
                d_in.readInt();
                d_in.readInt();
                continue;
            }
            if (index < 0 || static_cast<size_t>(index) >= d_names.size() || d_names[static_cast<size_t>(index)] == nullptr) {
                return NYX_COMPILER_CORRUPT();
            }
            entry = d_names[static_cast<size_t>(index)];
        }
        const int32_t type = d_in.readInt();
        if (!d_in.good()) return false;
        if (!knownValueType(type)) return NYX_COMPILER_CORRUPT();
        int32_t i = 0;
        float f = 0.0f;
        if (!readValue(type, text, i, f)) return false;
        const int32_t hasSub = d_in.readInt();
        if (!d_in.good()) return false;

        PropTarget sub{PropTarget::kDiscard, nullptr, 0, 0};
        const bool finite = type != nyxPropFloat || std::isfinite(f);
        if (!finite) std::fprintf(stderr, "NYX: property %s skipped: its float is not finite\n", entry->name);
        if (target.kind != PropTarget::kDiscard && finite) {
            cfidrErrorT e = 0;
            nyxObjRef ref;
            switch (target.kind) {
            case PropTarget::kView:
                ref = nyxNetlistView::buildProp(static_cast<nyxNetlistView *>(target.obj), entry->name);
                break;
            case PropTarget::kEncView:
                ref = nyxEncapsulatedView::buildProp(static_cast<nyxEncapsulatedView *>(target.obj), entry->name);
                break;
            case PropTarget::kOnProp:
                ref = nyxPropCreateOnProp(static_cast<nyxPropList *>(target.obj), target.index, entry->name, &e);
                break;
            default: {
                const nyxClassOps *ops = nyxClasses::row(target.code);
                if (ops != nullptr && ops->createProp != nullptr) ref = ops->createProp(target.obj, 0, entry->name, &e);
                break;
            }
            }
            if (e != 0 || ref.obj == nullptr) return NYX_COMPILER_CORRUPT();  // memory
            auto *list = static_cast<nyxPropList *>(ref.obj);
            // The owner may hold properties from an earlier list of the stream: their names count.
            if (!listSeen) {
                listSeen = true;
                for (uint32_t j = 0; j < ref.member; ++j) {
                    if (const nyxProp *p = nyxPropAt(list, j)) seen.insert(p->d_entry->serial);
                }
            }
            if (!seen.insert(entry->serial)) return NYX_COMPILER_CORRUPT();
            switch (type) {
            case nyxPropBoolean: nyxPropSetBoolean(list, ref.member, i, &e); break;
            case nyxPropInt: nyxPropSetInt(list, ref.member, i, &e); break;
            case nyxPropFloat: nyxPropSetFloat(list, ref.member, f, &e); break;
            case nyxPropDeleted: setDeletedValue(list, ref.member, &e); break;
            case nyxPropString: nyxPropSetString(list, ref.member, text.c_str(), &e); break;
            case nyxPropExpression: nyxPropSetExpression(list, ref.member, text.c_str(), &e); break;
            default: break;
            }
            if (e != 0) return NYX_COMPILER_CORRUPT();
            sub = {PropTarget::kOnProp, list, 0, ref.member};
        }
        if (hasSub != 0) {
            d_in.readType();  // its mark: not used
            if (!readPropList(sub, false, depth + 1)) return false;
        }
    }
    return d_in.good();
}

// A property list after a record: type 0 introduces it; any other type byte is given back.
bool nyxCompilerNetlist::readTrailingList(const PropTarget &target) {
    const uint8_t t = d_in.readType();
    if (!d_in.good()) return false;
    if (t == 0) return readPropList(target, false, 0);
    d_in.pushbackType(t);
    return true;
}
