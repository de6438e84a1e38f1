// Net storage of a netlist view: the three block chains, positions and their cache, the net name
// map and the side table of alias lists.
#include <cstring>
#include <new>

#include "dm/netlist/net.h"
#include "dm/netlist/netmap.h"

static_assert(sizeof(nyxNetScalar) == 40, "22 scalars fit a 1024-byte block");
static_assert(sizeof(nyxNetBundle) == 24 && sizeof(nyxNetBus) == 32, "compact groups");

namespace {

constexpr int32_t kSlots[nyxNetlistView::kChains] = {
    nyxNetlistView::kScalarSlots, nyxNetlistView::kBundleSlots, nyxNetlistView::kBusSlots};
constexpr int32_t kCodes[nyxNetlistView::kChains] = {nyxCodeNetScalar, nyxCodeNetBundle, nyxCodeNetBus};
constexpr uint32_t kSizes[nyxNetlistView::kChains] = {sizeof(nyxNetScalar), sizeof(nyxNetBundle),
                                                      sizeof(nyxNetBus)};

int32_t chainOf(int32_t code) {
    return code == nyxCodeNetScalar ? 0 : code == nyxCodeNetBundle ? 1 : 2;
}

} // namespace

void *nyxNetlistView::newNetSlot(int32_t k) {
    nyxNetChain &c = d_netChains[k];
    void *slot = nullptr;
    nyxListBlock *from = nullptr;
    if (c.current != nullptr && !c.current->isFull()) {
        from = c.current;
    } else if (d_netDeleted != 0) {
        // A net was destroyed: an older block of the chain may have room.
        for (nyxListBlock *b = c.current; b != nullptr && from == nullptr; b = b->prev()) {
            if (!b->isFull()) from = b;
        }
        if (from == nullptr) d_netDeleted = 0;
    }
    if (from == nullptr) {
        nyxListBlock *b = nyxListBlock::create(d_blockHeap, kCodes[k], kBlockSize, kSizes[k], kSlots[k]);
        if (b == nullptr) return nullptr;
        b->setParent(this);
        b->setParentType(nyxCodeNetlistView);
        // The block's first slot index within its chain, so that positions need no walk.
        b->setUserData(c.blocks * kSlots[k]);
        b->setPrev(c.current);
        if (c.current != nullptr) c.current->setNext(b);
        else c.first = b;
        c.current = b;
        ++c.blocks;
        dropNetPosCache();
        from = b;
    }
    slot = from->allocObject();
    if (slot != nullptr && from->isFull()) d_netDeleted = 0;
    return slot;
}

void nyxNetlistView::freeNetSlot(void *slot) {
    auto *head = static_cast<nyxNetHead *>(slot);
    head->d_flags = 0;
    nyxListBlock::getHeader(slot, kBlockSize)->freeObject(slot);
    d_netDeleted = 1;
}

nyxBlkCache *nyxBlkCache::make(Hx_genheap *heap, int32_t blocks) {
    size_t bytes = sizeof(nyxBlkCache) + sizeof(Pair) * static_cast<size_t>(blocks);
    auto *cache = static_cast<nyxBlkCache *>(heap->allocBlock(bytes));
    if (cache == nullptr) return nullptr;
    cache->count = 1;
    cache->pairs[0] = {-1, nullptr};
    return cache;
}

void nyxBlkCache::drop(Hx_genheap *heap, nyxBlkCache *&cache) {
    if (cache == nullptr) return;
    heap->freeBlock(cache, sizeof(nyxBlkCache) + sizeof(Pair) * static_cast<size_t>(cache->count - 1));
    cache = nullptr;
}

nyxListBlock *nyxBlkCache::find(int32_t pos, int32_t *index) const {
    if (pos < 0 || pos > pairs[count - 1].last) return nullptr;
    int32_t lo = 1, hi = count - 1;
    while (lo < hi) {
        int32_t mid = (lo + hi) / 2;
        if (pairs[mid].last < pos) lo = mid + 1;
        else hi = mid;
    }
    *index = pos - (pairs[lo - 1].last + 1);
    return pairs[lo].block;
}

void nyxNetlistView::dropNetPosCache() {
    nyxBlkCache::drop(d_viewHeap, d_netPosCache);
}

int32_t nyxNetlistView::netSlotCount() const {
    int32_t n = 0;
    for (int32_t k = 0; k < kChains; ++k) n += d_netChains[k].blocks * kSlots[k];
    return n;
}

int32_t nyxNetlistView::netTotal() const {
    int32_t n = 0;
    for (const nyxNetChain &c : d_netChains) {
        for (nyxListBlock *b = c.first; b != nullptr; b = b->next()) n += b->count();
    }
    return n;
}

bool nyxNetlistView::hasNet() const {
    for (const nyxNetChain &c : d_netChains) {
        for (nyxListBlock *b = c.first; b != nullptr; b = b->next()) {
            if (b->count() > 0) return true;
        }
    }
    return false;
}

int32_t nyxNetlistView::netPosition(const void *net) {
    nyxListBlock *b = nyxListBlock::getHeader(net, kBlockSize);
    int32_t k = chainOf(b->listType());
    int32_t base = 0;
    for (int32_t i = 0; i < k; ++i) base += d_netChains[i].blocks * kSlots[i];
    return base + b->userData() + nyxListBlock::getIndex(net, kBlockSize);
}

// Whether a slot holds a live net.
static bool liveSlot(const nyxListBlock *b, int32_t index) {
    if (index >= b->highWater()) return false;
    return (static_cast<const nyxNetHead *>(b->objectAt(index))->d_flags & nyxNetHead::kLive) != 0;
}

void *nyxNetlistView::netAtPosition(int32_t pos, int32_t *code, cfidrErrorT *err) {
    if (d_netPosCache == nullptr) {
        int32_t blocks = d_netChains[0].blocks + d_netChains[1].blocks + d_netChains[2].blocks;
        nyxBlkCache *cache = nyxBlkCache::make(d_viewHeap, blocks);
        if (cache == nullptr) return *err = cfidrErrInternal, nullptr;
        for (int32_t k = 0; k < kChains; ++k) {
            for (nyxListBlock *b = d_netChains[k].first; b != nullptr; b = b->next()) cache->add(b, kSlots[k]);
        }
        d_netPosCache = cache;
    }
    int32_t index = 0;
    nyxListBlock *b = d_netPosCache->find(pos, &index);
    if (b == nullptr) return *err = cfidrErrNotFound, nullptr;
    if (!liveSlot(b, index)) return *err = cfidrErrObjectUnusable, nullptr;
    *code = b->listType();
    return b->objectAt(index);
}

nyxNetMap *nyxNetlistView::buildNetNameMap(uint32_t expected) {
    if (d_netNameMap != nullptr) return d_netNameMap;
    uint32_t n = expected;
    for (const nyxNetChain &c : d_netChains) {
        for (nyxListBlock *b = c.first; b != nullptr; b = b->next()) n += b->count();
    }
    nyxNetMap *map = nyxNetMap::create(d_viewHeap, n);
    if (map == nullptr) return nullptr;
    for (int32_t k = 0; k < kChains; ++k) {
        for (nyxListBlock *b = d_netChains[k].first; b != nullptr; b = b->next()) {
            for (int32_t i = 0; i < b->highWater(); ++i) {
                if (!liveSlot(b, i)) continue;
                auto *net = static_cast<nyxNetHead *>(b->objectAt(i));
                bool ok = map->add(net, kCodes[k]);
                for (auto *a = static_cast<nyxNetAlias *>(aliasHead(net)); ok && a != nullptr; a = a->d_next) {
                    ok = map->add(a, nyxCodeNetAlias);
                }
                if (!ok) {
                    nyxNetMap::destroy(map);
                    return nullptr;
                }
            }
        }
    }
    d_netNameMap = map;
    return map;
}

void *nyxNetlistView::aliasHead(const void *net) const {
    if (d_aliasHeads == nullptr || (static_cast<const nyxNetHead *>(net)->d_flags & nyxNetHead::kHasAliases) == 0) {
        return nullptr;
    }
    return d_aliasHeads->find_entry(nyxObjWord(net));
}

bool nyxNetlistView::setAliasHead(const void *net, void *alias) {
    auto *head = static_cast<nyxNetHead *>(const_cast<void *>(net));
    uint32_t key = nyxObjWord(net);
    if (alias == nullptr) {
        if (d_aliasHeads != nullptr) d_aliasHeads->remove_entry(key);
        head->d_flags = static_cast<uint16_t>(head->d_flags & ~nyxNetHead::kHasAliases);
        return true;
    }
    if (d_aliasHeads == nullptr) {
        void *p = d_viewHeap->allocBlock(sizeof(nyxOIDHashTable));
        if (p == nullptr) return false;
        d_aliasHeads = new (p) nyxOIDHashTable(d_viewHeap);
    }
    if (!d_aliasHeads->change_entry(key, alias) && !d_aliasHeads->add_entry(key, alias)) return false;
    head->d_flags = static_cast<uint16_t>(head->d_flags | nyxNetHead::kHasAliases);
    return true;
}
