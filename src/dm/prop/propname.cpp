// The session-wide property name table: one entry per (name, value type) pair in chained hash
// buckets that grow when a chain gets longer than four names.
#include <cstring>
#include <new>

#include "dm/prop/propInt.h"

nyxPropNameTable *nyxPropTables::names = nullptr;
nyxOIDHashTable *nyxPropTables::onProps = nullptr;
nyxPropList *nyxPropTables::evalList = nullptr;

namespace {

// Forgets the property state when the library is released. The release empties every iterator
// cache before it drops the heaps; this "cache" uses that step to drop the pointers into them.
class PropStateRelease final : public nyxIterCacheBase {
public:
    void empty() override { nyxPropTables::forget(); }
};
PropStateRelease g_release;

inline char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

} // namespace

nyxPropNameTable *nyxPropTables::makeNames() {
    if (names != nullptr) return names;
    Hx_genheap *heap = nyx::getPropMgrHeap();
    if (heap == nullptr) return nullptr;
    void *p = heap->allocBlock(sizeof(nyxPropNameTable));
    if (p == nullptr) return nullptr;
    nyxPropNameTable *t = new (p) nyxPropNameTable();
    if (!t->init(heap)) {
        heap->freeBlock(p, sizeof(nyxPropNameTable));
        return nullptr;
    }
    names = t;
    return t;
}

nyxPropNameTable *nyxPropNameTable::get() { return nyxPropTables::makeNames(); }
nyxPropNameTable *nyxPropNameTable::peek() { return nyxPropTables::names; }

bool nyxPropNameTable::init(Hx_baseheap *heap) {
    d_heap = heap;
    size_t bytes = sizeof(nyxPropNameTableBucket *) * kInitialSize;
    d_chains = static_cast<nyxPropNameTableBucket **>(heap->allocBlock(bytes));
    if (d_chains == nullptr) return false;
    std::memset(static_cast<void *>(d_chains), 0, bytes);
    d_size = kInitialSize;
    d_caseSensitive = caseSensitive();
    d_exponent = 0;
    for (int32_t s = kInitialSize; s != 0; s >>= 1) ++d_exponent;  // bit length: 9
    return true;
}

bool nyxPropNameTable::caseSensitive() {
    return nyxSettings::hasNameOption(nyxSettings::kCaseSensitiveNames);
}

bool nyxPropNameTable::sameName(const char *a, const char *b) {
    if (caseSensitive()) return std::strcmp(a, b) == 0;
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        if (lower(*a) != lower(*b)) return false;
    }
    return *a == *b;
}

int32_t nyxPropNameTable::hash(const char *name, int32_t size, bool cs) {
    uint32_t h = 0;
    for (const char *p = name; *p != '\0'; ++p) {
        char c = cs ? *p : lower(*p);
        h = (h << 4) + static_cast<uint32_t>(size) + static_cast<unsigned char>(c);
        uint32_t g = h & 0xF0000000u;
        if (g != 0) h = h ^ (g >> 24) ^ g;
    }
    // The top four bits are clear after every step, so h is its own absolute value.
    return static_cast<int32_t>(h & 0x7FFFFFFFu);
}

nyxPropNameTableBucket *nyxPropNameTable::find_name(const char *name) const {
    if (name == nullptr || d_chains == nullptr) return nullptr;
    followCaseRule();
    int32_t chain = hash(name, d_size, d_caseSensitive) % d_size;
    for (nyxPropNameTableBucket *b = d_chains[chain]; b != nullptr; b = b->next) {
        if (sameName(b->name, name)) return b;
    }
    return nullptr;
}

nyxPropNameTableBucket *nyxPropNameTable::find_name_type(const char *name, int16_t type) const {
    for (nyxPropNameTableBucket *b = find_name(name); b != nullptr; b = b->nextType) {
        if (b->type == type) return b;
    }
    return nullptr;
}

nyxPropNameTableBucket *nyxPropNameTable::add_name_type(const char *name, int16_t type) {
    if (name == nullptr || d_chains == nullptr) return nullptr;
    nyxPropNameTableBucket *head = find_name(name);
    for (nyxPropNameTableBucket *b = head; b != nullptr; b = b->nextType) {
        if (b->type == type) return b;
    }
    auto *e = static_cast<nyxPropNameTableBucket *>(d_heap->allocBlock(sizeof(nyxPropNameTableBucket)));
    if (e == nullptr) return nullptr;
    int32_t chain = hash(name, d_size, d_caseSensitive) % d_size;
    if (head != nullptr) {
        // Another type of a known name: the new entry takes the name's place in the chain and
        // the older types hang from it.
        *e = {head->name, type, 0, head, head->next, head->serial};
        nyxPropNameTableBucket **link = &d_chains[chain];
        while (*link != head) link = &(*link)->next;
        *link = e;
        head->next = nullptr;
    } else {
        size_t len = std::strlen(name) + 1;
        char *copy = static_cast<char *>(d_heap->allocate(len));
        if (copy == nullptr) {
            d_heap->freeBlock(e, sizeof(nyxPropNameTableBucket));
            return nullptr;
        }
        std::memcpy(copy, name, len);
        *e = {copy, type, 0, nullptr, d_chains[chain], d_serials++};
        d_chains[chain] = e;
    }
    ++d_entries;
    growIfNeeded(chain);
    return e;
}

int32_t nyxPropNameTable::chainLength(int32_t chain) const {
    if (chain < 0 || chain >= d_size) return 0;
    int32_t n = 0;
    for (const nyxPropNameTableBucket *b = d_chains[chain]; b != nullptr; b = b->next) ++n;
    return n;
}

int32_t nyxPropNameTable::nextSize(int32_t exponent) {
    static constexpr int32_t kBelowPower[4] = {5, 3, 3, 1};
    return (int32_t{1} << exponent) - kBelowPower[exponent % 4];
}

bool nyxPropNameTable::rehash(int32_t size, bool cs) {
    size_t bytes = sizeof(nyxPropNameTableBucket *) * static_cast<size_t>(size);
    auto **chains = static_cast<nyxPropNameTableBucket **>(d_heap->allocBlock(bytes));
    if (chains == nullptr) return false;
    std::memset(static_cast<void *>(chains), 0, bytes);
    for (int32_t i = 0; i < d_size; ++i) {
        for (nyxPropNameTableBucket *b = d_chains[i], *next; b != nullptr; b = next) {
            next = b->next;
            int32_t to = hash(b->name, size, cs) % size;
            b->next = chains[to];
            chains[to] = b;
        }
    }
    d_heap->freeBlock(d_chains, sizeof(nyxPropNameTableBucket *) * static_cast<size_t>(d_size));
    d_chains = chains;
    d_size = size;
    d_caseSensitive = cs;
    return true;
}

void nyxPropNameTable::growIfNeeded(int32_t chain) {
    if (chainLength(chain) <= kMaxChain || d_exponent >= 30) return;
    // Without memory the table keeps its size: longer chains are slower, never wrong.
    if (rehash(nextSize(d_exponent + 1), d_caseSensitive)) ++d_exponent;
}

void nyxPropNameTable::followCaseRule() const {
    bool cs = caseSensitive();
    if (cs == d_caseSensitive || d_chains == nullptr) return;
    // The table is the session's one mutable object; lookups keep their const face.
    const_cast<nyxPropNameTable *>(this)->rehash(d_size, cs);
}

void nyxPropNameTable::set_all_write_ids(uint16_t id) {
    for (int32_t i = 0; i < d_size; ++i) {
        for (nyxPropNameTableBucket *b = d_chains[i]; b != nullptr; b = b->next) {
            for (nyxPropNameTableBucket *t = b; t != nullptr; t = t->nextType) t->writeId = id;
        }
    }
}

bool nyxPropNameTable::get_write_props(std::vector<nyxPropNameTableBucket *> &out) const {
    out.clear();
    try {
        for (int32_t i = 0; i < d_size; ++i) {
            for (nyxPropNameTableBucket *b = d_chains[i]; b != nullptr; b = b->next) {
                for (nyxPropNameTableBucket *t = b; t != nullptr; t = t->nextType) {
                    if (t->writeId != 0) out.push_back(t);
                }
            }
        }
    } catch (...) {
        out.clear();
        return false;
    }
    return true;
}

bool nyxPropNameTable::isValid() const {
    if (d_chains == nullptr || d_size <= 0) return false;
    followCaseRule();
    bool cs = d_caseSensitive;
    int32_t entries = 0;
    for (int32_t i = 0; i < d_size; ++i) {
        for (const nyxPropNameTableBucket *b = d_chains[i]; b != nullptr; b = b->next) {
            if (hash(b->name, d_size, cs) % d_size != i) return false;
            if (b->serial < 0 || b->serial >= d_serials) return false;
            for (const nyxPropNameTableBucket *o = b->next; o != nullptr; o = o->next) {
                if (sameName(o->name, b->name)) return false;
            }
            for (const nyxPropNameTableBucket *t = b; t != nullptr; t = t->nextType) {
                ++entries;
                if (t->serial != b->serial || std::strcmp(t->name, b->name) != 0) return false;
                if (t != b && t->next != nullptr) return false;
                for (const nyxPropNameTableBucket *u = t->nextType; u != nullptr; u = u->nextType) {
                    if (u->type == t->type) return false;
                }
            }
        }
    }
    return entries == d_entries;
}
