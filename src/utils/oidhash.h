// nyxOIDHashTable - a chained hash table from 32-bit keys (object words) to pointers that grows
// when a chain gets too long; NyxIdTab - a map from 32-bit ids to pointers built on it.
//
// The bucket of key k is k mod (bucket count). The size exponent is the number of significant
// bits of the bucket count (1 for a count of 0 or 1; 9 for 509). When adding makes a chain longer
// than the maximum chain length, the exponent goes up by one and the table is rebuilt with
// 2^exponent - d buckets, d taken from {5, 3, 3, 1} at (exponent mod 4): 509 -> 1021 -> 2045 ...
// Entries and bucket arrays come from the table's heap (default "NYX PropMgr Object Heap").
//
// Invariants: entries() == number of entries on all chains; every entry sits in the bucket of
// its key; keys are unique; bucketCount() >= 1.
#pragma once

#include <cstdint>
#include <cstdio>

class Hx_baseheap;

struct nyxOIDHashTableBucket {
    uint32_t key;
    void *value;
    nyxOIDHashTableBucket *next;
};

class nyxOIDHashTable {
public:
    static constexpr int32_t defaultBuckets = 509;
    static constexpr int32_t defaultMaxChain = 4;

    explicit nyxOIDHashTable(Hx_baseheap *heap = nullptr, int32_t buckets = defaultBuckets,
                             int32_t maxChain = defaultMaxChain);
    ~nyxOIDHashTable();
    nyxOIDHashTable(const nyxOIDHashTable &) = delete;
    nyxOIDHashTable &operator=(const nyxOIDHashTable &) = delete;

    // Adds key -> value; does nothing when the key is present. False when the key was present or
    // no memory could be had.
    bool add_entry(uint32_t key, void *value);
    // The value of `key`, or null.
    void *find_entry(uint32_t key) const;
    nyxOIDHashTableBucket *find_bucket(uint32_t key) const;
    // Replaces the value of a present key; false when absent.
    bool change_entry(uint32_t key, void *value);
    // Removes a key; false when absent.
    bool remove_entry(uint32_t key);
    // Removes every entry whose value lies in memory owned by `heap`.
    void clean_entries(Hx_baseheap *heap);
    // Frees every entry and starts again with 509 buckets.
    void clear();
    // Statistics and contents, in the fixed texts of the library's diagnostics.
    void print_stats(FILE *out = stderr) const;
    void dump_table(FILE *out = stderr) const;

    int32_t bucketCount() const { return d_nbuckets; }
    int32_t sizeExponent() const { return d_exponent; }
    int32_t maxChain() const { return d_maxChain; }
    int32_t entries() const { return d_count; }
    int32_t longestChain() const;
    // Calls fn for every entry (bucket order, then chain order).
    void iterate(void (*fn)(uint32_t key, void *value, void *arg), void *arg) const;
    bool isValid() const;

private:
    uint32_t bucketOf(uint32_t key) const { return key % static_cast<uint32_t>(d_nbuckets); }
    bool ensureBuckets();
    void rebuild();
    void setCount(int32_t buckets);

    Hx_baseheap *d_heap;
    int32_t d_nbuckets = 0;
    int32_t d_exponent = 0;
    int32_t d_maxChain;
    int32_t d_count = 0;
    nyxOIDHashTableBucket **d_buckets = nullptr;
};

class NyxIdTab {
public:
    explicit NyxIdTab(Hx_baseheap *heap = nullptr);
    // Adds id -> ptr; false when the id is present or no memory could be had.
    bool add_id(uint32_t id, void *ptr) { return table().add_entry(id, ptr); }
    void *find_id(uint32_t id) const { return d_table.find_entry(id); }
    // Sets the pointer of an id, adding the id when absent.
    bool update_id(uint32_t id, void *ptr);
    void reset() { d_table.clear(); }
    bool list_empty() const { return d_table.entries() == 0; }
    int32_t size() const { return d_table.entries(); }

private:
    nyxOIDHashTable &table() { return d_table; }
    nyxOIDHashTable d_table;
};
