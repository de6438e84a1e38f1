// Huge-page advice for large tables that are read at random places.
//
// A look-up in a table of many megabytes touches one random place: backed by 2 MiB pages, the
// place costs one memory access instead of a page-table walk plus the access. The advice covers
// only the whole 2 MiB pages inside the block and is only a hint: failure changes nothing.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>

inline void nyxPreferHugePages(void *p, size_t bytes) {
    constexpr uintptr_t kHuge = uintptr_t{2} << 20;
    uintptr_t begin = (reinterpret_cast<uintptr_t>(p) + kHuge - 1) & ~(kHuge - 1);
    uintptr_t end = (reinterpret_cast<uintptr_t>(p) + bytes) & ~(kHuge - 1);
    if (end > begin) madvise(reinterpret_cast<void *>(begin), end - begin, MADV_HUGEPAGE);
}
