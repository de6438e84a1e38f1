// The record index of a view: describer records found by names and version, or by the describer
// they cache, without a scan of the describer list (see inst.h).
#include <new>

#include "dm/netlist/instInt.h"

namespace nyxRecordIndexOps {
namespace {

uint32_t describerKey(const nyxNetlistView *d) { return nyxPtrIndex::ofPointer(d); }

bool fill(nyxRecordIndex *index, nyxNetlistView *view) {
    nyxDynArray &list = view->describers();
    for (int32_t i = 0; i < list.nitems(); ++i) {
        auto *fp = static_cast<nyxFootPrint *>(list[i]);
        fp->d_serial = index->nextSerial++;
        fp->d_nameKey = nameKey(fp->libName(), fp->cellName(), fp->viewName(), fp->d_version);
        if (!index->byName->add(fp->d_nameKey, fp)) return false;
        if (fp->d_describer != nullptr && !index->byDescriber->add(describerKey(fp->d_describer), fp)) return false;
    }
    return true;
}

// The earlier of two records in list order (either may be null).
nyxFootPrint *earlier(nyxFootPrint *a, nyxFootPrint *b) {
    if (a == nullptr) return b;
    return b != nullptr && b->d_serial < a->d_serial ? b : a;
}

} // namespace

uint32_t nameKey(const char *lib, const char *cell, const char *view, int32_t version) {
    uint32_t h = nyxPtrIndex::kFoldSeed;
    h = nyxPtrIndex::foldName(h, lib != nullptr ? lib : "");
    h = nyxPtrIndex::foldName(h, cell != nullptr ? cell : "");
    h = nyxPtrIndex::foldName(h, view != nullptr ? view : "");
    return nyxPtrIndex::combine(h, static_cast<uint32_t>(version));
}

void drop(nyxNetlistView *view) {
    nyxRecordIndex *&index = view->recordIndex();
    if (index == nullptr) return;
    nyxPtrIndex::destroy(index->byName);
    nyxPtrIndex::destroy(index->byDescriber);
    view->viewHeap()->freeBlock(index, sizeof(nyxRecordIndex));
    index = nullptr;
}

nyxRecordIndex *get(nyxNetlistView *view) {
    nyxRecordIndex *&index = view->recordIndex();
    if (index != nullptr) return index;
    void *p = view->viewHeap()->allocBlock(sizeof(nyxRecordIndex));
    if (p == nullptr) return nullptr;
    const auto n = static_cast<uint32_t>(view->describers().nitems());
    index = new (p) nyxRecordIndex{nyxPtrIndex::create(view->viewHeap(), n),
                                   nyxPtrIndex::create(view->viewHeap(), n), 0};
    if (index->byName == nullptr || index->byDescriber == nullptr || !fill(index, view)) {
        drop(view);
        return nullptr;
    }
    return index;
}

void added(nyxFootPrint *record) {
    nyxNetlistView *view = record->d_owner;
    nyxRecordIndex *index = view->recordIndex();
    if (index == nullptr) return;
    record->d_serial = index->nextSerial++;
    record->d_nameKey = nameKey(record->libName(), record->cellName(), record->viewName(), record->d_version);
    if (!index->byName->add(record->d_nameKey, record) ||
        (record->d_describer != nullptr && !index->byDescriber->add(describerKey(record->d_describer), record))) {
        drop(view);
    }
}

void removing(nyxFootPrint *record) {
    nyxRecordIndex *index = record->d_owner->recordIndex();
    if (index == nullptr) return;
    index->byName->remove(record->d_nameKey, record);
    if (record->d_describer != nullptr) index->byDescriber->remove(describerKey(record->d_describer), record);
}

void describerChanging(nyxFootPrint *record, nyxNetlistView *to) {
    nyxRecordIndex *index = record->d_owner->recordIndex();
    if (index == nullptr || record->d_describer == to) return;
    if (record->d_describer != nullptr) index->byDescriber->remove(describerKey(record->d_describer), record);
    if (to != nullptr && !index->byDescriber->add(describerKey(to), record)) drop(record->d_owner);
}

nyxFootPrint *findCaching(const nyxRecordIndex *index, const nyxNetlistView *describer, int32_t version) {
    nyxFootPrint *best = nullptr;
    index->byDescriber->forEach(describerKey(describer), [&](void *obj) {
        auto *fp = static_cast<nyxFootPrint *>(obj);
        if (fp->d_describer == describer && fp->d_version == version) best = earlier(best, fp);
        return true;
    });
    return best;
}

nyxFootPrint *findNamed(const nyxRecordIndex *index, const char *lib, const char *cell, const char *view,
                        int32_t version) {
    nyxFootPrint *best = nullptr;
    index->byName->forEach(nameKey(lib, cell, view, version), [&](void *obj) {
        auto *fp = static_cast<nyxFootPrint *>(obj);
        if (fp->d_version == version && nyxDMUtil::sameName(fp->libName(), lib) &&
            nyxDMUtil::sameName(fp->cellName(), cell) && nyxDMUtil::sameName(fp->viewName(), view)) {
            best = earlier(best, fp);
        }
        return true;
    });
    return best;
}

} // namespace nyxRecordIndexOps
