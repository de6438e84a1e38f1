// Private to the heap code: marks free heap memory for AddressSanitizer, so that a sanitizer
// build reports reads and writes of freed heap blocks. Free blocks keep their first bytes (size
// and links) addressable for the heap itself; the rest of every free block is poisoned.
#pragma once

#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
#define NYX_HEAP_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define NYX_HEAP_ASAN 1
#endif
#endif

#ifdef NYX_HEAP_ASAN
#include <sanitizer/asan_interface.h>
#endif

namespace nyxheap {

// Bytes at the start of a free block that the heap reads: size, next and previous link.
constexpr size_t kFreeHeader = 24;

inline void poison(const void *p, size_t n) {
#ifdef NYX_HEAP_ASAN
    if (n > 0) ASAN_POISON_MEMORY_REGION(p, n);
#else
    (void)p;
    (void)n;
#endif
}

inline void unpoison(const void *p, size_t n) {
#ifdef NYX_HEAP_ASAN
    if (n > 0) ASAN_UNPOISON_MEMORY_REGION(p, n);
#else
    (void)p;
    (void)n;
#endif
}

// A free block of `size` bytes at p: header addressable, the rest poisoned.
inline void markFree(const void *p, size_t size) {
    unpoison(p, size < kFreeHeader ? size : kFreeHeader);
    if (size > kFreeHeader) poison(static_cast<const char *>(p) + kFreeHeader, size - kFreeHeader);
}

} // namespace nyxheap
