// The property part of the stored view formats (propwrite.h).
#include "io/propwrite.h"

#include <vector>

#include "dm/prop/prop.h"
#include "io/codec.h"
#include "io/viewfile.h"

namespace nyxViewFile {

PropWriter::PropWriter(nyxTagWriter &out) : d_out(out), d_names(nyxPropNameTable::peek()) {
    if (d_names != nullptr) d_names->set_all_write_ids(0);
}

PropWriter::~PropWriter() {
    if (d_names != nullptr) d_names->set_all_write_ids(0);
}

bool PropWriter::hasLive(const nyxPropList *list) {
    for (int32_t i = 0; i < nyxPropListSize(list); ++i) {
        if (nyxPropAt(list, static_cast<uint32_t>(i)) != nullptr) return true;
    }
    return false;
}

bool PropWriter::writeList(const nyxPropList *list, int depth) {
    int32_t live = 0;
    for (int32_t i = 0; i < nyxPropListSize(list); ++i) {
        if (nyxPropAt(list, static_cast<uint32_t>(i)) != nullptr) ++live;
    }
    if (live == 0) return true;
    // The count must fit the record; the reader takes no deeper nesting than this.
    if (live > 0xFFFF || depth > kMaxDepth) return false;
    d_out.putInt(recordWord(kPropList, live));
    for (int32_t i = 0; i < nyxPropListSize(list); ++i) {
        const nyxProp *p = nyxPropAt(list, static_cast<uint32_t>(i));
        if (p == nullptr) continue;
        nyxPropNameTableBucket *entry = p->d_entry;
        if (entry->writeId == 0) {
            if (d_lastId == 0xFFFF) return false;
            entry->writeId = ++d_lastId;
        }
        const int32_t id = entry->writeId;
        const nyxPropList *nested = nyxPropsOnProp(list, static_cast<uint32_t>(i));
        const bool hasNested = hasLive(nested);
        // The flag stands for the type's plain value, which is then not written: true for a
        // boolean, 0 for numbers, "" for texts.
        bool flag = false;
        const int32_t type = entry->type;
        switch (type) {
        case nyxPropBoolean: flag = p->intValue() != 0; break;
        case nyxPropInt: flag = p->intValue() == 0; break;
        case nyxPropFloat: flag = p->floatValue() == 0.0f; break;
        case nyxPropNone: break;
        default: flag = p->stringValue()[0] == '\0'; break;
        }
        d_out.putInt(id <= 15 ? (id << 1 | 1 | (flag ? 1 << 5 : 0) | (hasNested ? 1 << 6 : 0))
                              : (id << 1 | (flag ? 1 << 17 : 0) | (hasNested ? 1 << 18 : 0)));
        if (!flag) {
            if (type == nyxPropInt) d_out.putInt(p->intValue());
            else if (type == nyxPropFloat) d_out.putDouble(p->floatValue());
            else if (nyxPropTypeHasString(type)) d_out.putString(p->stringValue());
        }
        if (hasNested && !writeList(nested, depth + 1)) return false;
    }
    return d_out.ok();
}

bool PropWriter::writeDictionary() {
    std::vector<nyxPropNameTableBucket *> used;
    if (d_names != nullptr && !d_names->get_write_props(used)) return false;
    d_out.putInt(recordWord(kDictionary, 0));
    d_out.putInt(static_cast<int32_t>(used.size()));
    for (const nyxPropNameTableBucket *entry : used) {
        d_out.putInt(entry->writeId);
        d_out.putInt(entry->type);
        d_out.putString(entry->name);
    }
    return d_out.ok();
}

} // namespace nyxViewFile
