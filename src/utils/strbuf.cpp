// nyxVarString, nyxStringBuf and Hx_sbuf: see strbuf.h.
#include "utils/strbuf.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "utils/heap.h"

// ---------------------------------------------------------------------------------------------
// nyxVarString

char *nyxVarString::heapCopy() const {
    if (!onHeap()) return nullptr;
    uint64_t word;
    std::memcpy(&word, d_bytes, sizeof word);
    return reinterpret_cast<char *>(static_cast<uintptr_t>(word & 0x00FFFFFFFFFFFFFFull));
}

const char *nyxVarString::getString() const { return onHeap() ? heapCopy() : d_bytes; }

void nyxVarString::clear() {
    if (char *old = heapCopy()) {
        if (Hx_baseheap *owner = Hx_topheap::allocated(old)) owner->freeBlock(old, std::strlen(old) + 1);
    }
    std::memset(d_bytes, 0, sizeof d_bytes);
}

bool nyxVarString::setString(const char *s, Hx_baseheap *heap) {
    if (s == nullptr) {
        clear();
        return true;
    }
    // The new form is made before the old copy is freed: `s` may be that copy. A short value is
    // copied as it is measured (no byte past its NUL is read).
    char in[8] = {};
    size_t len = 0;
    while (len < 8 && s[len] != '\0') {
        in[len] = s[len];
        ++len;
    }
    char *copy = nullptr;
    if (len == 8) {
        len += std::strlen(s + 8);
        if (heap == nullptr) heap = nyxDefaultGlobalHeap();
        copy = heap != nullptr ? static_cast<char *>(heap->allocBlock(len + 1)) : nullptr;
        if (copy == nullptr) return false;
        std::memcpy(copy, s, len + 1);
    }
    clear();
    if (copy == nullptr) {
        std::memcpy(d_bytes, in, sizeof in);
    } else {
        uint64_t word = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(copy)) | (uint64_t{1} << 56);
        std::memcpy(d_bytes, &word, sizeof word);
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// nyxCharBuf

nyxCharBuf::nyxCharBuf(char *initial, size_t initialCap)
    : d_initial(initialCap > 0 ? initial : nullptr), d_initialCap(initial != nullptr ? initialCap : 0) {
    if (d_initial != nullptr) {
        d_buf = d_initial;
        d_cap = d_initialCap;
        d_buf[0] = '\0';
    } else {
        d_buf = d_none;
        d_cap = 1;
    }
}

void nyxCharBuf::releaseGrown() {
    if (d_buf != d_initial && d_buf != d_none) release(d_buf, d_cap);
    d_buf = d_initial != nullptr ? d_initial : d_none;
    d_cap = d_initial != nullptr ? d_initialCap : 1;
}

// Makes room for `need` bytes (text and NUL), growing in whole steps.
bool nyxCharBuf::reserve(size_t need) {
    if (need <= d_cap) return true;
    if (need > (size_t{1} << 40)) return false;
    size_t base = d_buf == d_none ? 0 : d_cap;
    size_t cap = base + (need - base + step() - 1) / step() * step();
    char *grown = obtain(cap);
    if (grown == nullptr) return false;
    std::memcpy(grown, d_buf, d_len + 1);
    if (d_buf != d_initial && d_buf != d_none) release(d_buf, d_cap);
    d_buf = grown;
    d_cap = cap;
    return true;
}

bool nyxCharBuf::appendBytes(const char *s, size_t n) {
    // Text taken from this buffer itself must be found again after the buffer moves.
    uintptr_t at = reinterpret_cast<uintptr_t>(s), base = reinterpret_cast<uintptr_t>(d_buf);
    bool inside = at >= base && at < base + d_cap;
    if (!reserve(d_len + n + 1)) return false;
    if (inside) s = d_buf + (at - base);
    std::memmove(d_buf + d_len, s, n);
    d_len += n;
    d_buf[d_len] = '\0';
    return true;
}

bool nyxCharBuf::append(const char *s) { return s == nullptr || appendBytes(s, std::strlen(s)); }

bool nyxCharBuf::append_sub(const char *s, size_t from, size_t count) {
    if (s == nullptr) return true;
    size_t len = strnlen(s, from + count < from ? SIZE_MAX : from + count);
    if (from >= len) return true;
    return appendBytes(s + from, len - from < count ? len - from : count);
}

bool nyxCharBuf::append_compressed(const char *s) {
    if (s == nullptr) return true;
    for (; *s; ++s)
        if (*s != ' ' && *s != '\t' && !append_char(*s)) return false;
    return true;
}

bool nyxCharBuf::append_char(char c) { return appendBytes(&c, 1); }

bool nyxCharBuf::copy(const char *s) {
    if (s == nullptr) {
        empty();
        return true;
    }
    size_t n = std::strlen(s);
    if (!reserve(n + 1)) return false;
    std::memmove(d_buf, s, n);
    d_len = n;
    d_buf[n] = '\0';
    return true;
}

void nyxCharBuf::set_byte_len(size_t n) {
    if (n >= d_len) return;
    d_len = n;
    d_buf[n] = '\0';
}

void nyxCharBuf::empty() {
    d_len = 0;
    d_buf[0] = '\0';
}

void nyxCharBuf::zero() {
    releaseGrown();
    empty();
}

void nyxCharBuf::downcase() {
    for (size_t i = 0; i < d_len; ++i) d_buf[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(d_buf[i])));
}

void nyxCharBuf::uppercase() {
    for (size_t i = 0; i < d_len; ++i) d_buf[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(d_buf[i])));
}

// ---------------------------------------------------------------------------------------------
// The two kinds of storage

nyxStringBuf::nyxStringBuf(char *initial, size_t initialCap, Hx_baseheap *heap)
    : nyxCharBuf(initial, initialCap), d_heap(heap) {}

char *nyxStringBuf::obtain(size_t cap) {
    if (d_heap == nullptr) d_heap = nyxDefaultGlobalHeap();
    return d_heap != nullptr ? static_cast<char *>(d_heap->allocBlock(cap)) : nullptr;
}

void nyxStringBuf::release(char *buf, size_t cap) { d_heap->freeBlock(buf, cap); }

char *Hx_sbuf::obtain(size_t cap) { return static_cast<char *>(std::malloc(cap)); }

void Hx_sbuf::release(char *buf, size_t) { std::free(buf); }
