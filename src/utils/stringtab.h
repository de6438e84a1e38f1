// String tables: a chained hash of strings to 32-bit values (nyxStringTabHash) and a table that
// stores strings in blocks and numbers them (nyxStringTab).
//
// A stored string's index is 50 * (number of its block) + its position in the block; indexes never
// change, and deleting a string only removes it from the hash. A block holds up to 50 strings in a
// 750-byte text area; a string longer than 749 characters gets a block of its own, sized to it.
//
// Invariants (nyxStringTab::isValid()):
//   every block: count <= 50, used <= capacity, every string lies NUL-terminated inside the text
//   area; every block but the last holds 50 strings or has too little room for the next string;
//   size() == 50 * (blocks - 1) + count of the last block when storing;
//   with hashing and storing on, checkString(getString(i)) >= 0 for every i not deleted.
#pragma once

#include <cstdint>

class Hx_baseheap;

class nyxStringTabHash {
public:
    static constexpr int32_t defaultBuckets = 89;

    explicit nyxStringTabHash(Hx_baseheap *heap = nullptr, int32_t buckets = defaultBuckets);
    ~nyxStringTabHash();
    nyxStringTabHash(const nyxStringTabHash &) = delete;
    nyxStringTabHash &operator=(const nyxStringTabHash &) = delete;

    // h = (h << 4) + c over the bytes, folding the top four bits back in; below 2^28; 0 for "" or null.
    static uint32_t hash(const char *s);
    // Records `s` (the pointer itself: the caller keeps the string alive) with `value`. Does nothing
    // when an equal string is present. False only when no memory could be had.
    bool add(const char *s, int32_t value);
    // True and the value when `s` is present.
    bool find(const char *s, int32_t *value) const;
    // The value of `s`, or -1 when absent.
    int32_t find(const char *s) const;
    // Removes `s`; false when absent.
    bool del(const char *s);
    int32_t size() const { return d_count; }
    int32_t bucketCount() const { return d_nbuckets; }
    void iterate(void (*fn)(const char *s, int32_t value, void *arg), void *arg) const;

private:
    struct Entry {
        Entry *next;
        const char *str;
        int32_t value;
    };
    Entry *lookup(const char *s) const;

    Hx_baseheap *d_heap;
    int32_t d_nbuckets;
    int32_t d_count = 0;
    Entry **d_buckets = nullptr;
};

class nyxStringTab {
public:
    static constexpr int32_t stringsPerBlock = 50;
    static constexpr uint32_t textBytes = 750;

    // `hash`: keep a hash for checkString; `store`: keep copies of the strings and number them.
    explicit nyxStringTab(Hx_baseheap *heap = nullptr, bool hash = true,
                          int32_t buckets = nyxStringTabHash::defaultBuckets, bool store = true);
    ~nyxStringTab();
    nyxStringTab(const nyxStringTab &) = delete;
    nyxStringTab &operator=(const nyxStringTab &) = delete;

    // Adds a string: returns its index (the existing one when hashing finds it present), or -1 for
    // an empty or null string, when nothing is stored, or when no memory could be had.
    int32_t addString(const char *s);
    // As addString(s), but the hash records `value` for the string instead of its index.
    int32_t addString(const char *s, int32_t value);
    // The hashed value of `s` (its index), or -1.
    int32_t checkString(const char *s) const;
    // The string at `index`: "" for a negative index, null beyond the stored strings.
    const char *getString(int32_t index) const;
    // Removes `s` from the hash; its stored copy and index stay. False when absent.
    bool deleteString(const char *s);
    // Stored strings (hashed strings when nothing is stored).
    int32_t size() const;
    // Longest length plus one of the strings stored so far (at least 128).
    int32_t maxStringLength() const { return d_maxLen; }
    // Calls fn for every stored string in index order (every hashed string when nothing is stored).
    void iterate(void (*fn)(const char *s, int32_t index, void *arg), void *arg) const;

    bool isValid() const;

private:
    struct Block {
        Block *next;
        int32_t count;
        uint32_t used;
        uint32_t capacity;
        const char *strings[stringsPerBlock];
        char *text() { return reinterpret_cast<char *>(this + 1); }
        const char *text() const { return reinterpret_cast<const char *>(this + 1); }
    };
    int32_t add(const char *s, bool useValue, int32_t value);
    Block *room(uint32_t bytes);
    bool useHeap();

    Hx_baseheap *d_heap;
    nyxStringTabHash *d_hash = nullptr;
    bool d_hashing;
    bool d_storing;
    int32_t d_buckets;
    int32_t d_maxLen = 128;
    int32_t d_stored = 0;
    Block *d_first = nullptr;
    Block *d_last = nullptr;
    // Blocks by number, for getString.
    Block **d_index = nullptr;
    int32_t d_nblocks = 0;
    int32_t d_indexCap = 0;
};
