// Strings and character buffers.
//
// nyxVarString is an eight-byte string: a value shorter than 8 characters is kept in place with
// its NUL at or before byte 7; a longer one is kept in a heap block whose address fills bytes 0-6
// (addresses of heap blocks fit 56 bits), and byte 7 is 1. Byte 7 therefore tells the two forms
// apart. The heap copy goes back to the heap that owns it when the value changes or is cleared;
// the destructor does not free it (objects holding one are dropped with their heap).
//
// nyxStringBuf and Hx_sbuf are growable character buffers that start in a buffer the caller
// supplies (often on the stack) and move to allocated storage when it is full: nyxStringBuf grows
// by 64 bytes from its heap, Hx_sbuf by 32 bytes from the system allocator. The text is always
// NUL-terminated. When storage cannot be had, an append does nothing and returns false.
//
// Invariants: length < capacity; text[length] == '\0'; the buffer is the caller's initial one or
// storage the buffer owns.
#pragma once

#include <cstddef>
#include <cstdint>

class Hx_baseheap;

class nyxVarString {
public:
    nyxVarString() : d_bytes{} {}
    explicit nyxVarString(const char *s, Hx_baseheap *heap = nullptr) : d_bytes{} { setString(s, heap); }
    nyxVarString(const nyxVarString &) = delete;
    nyxVarString &operator=(const nyxVarString &) = delete;

    // Sets the value (null clears it); a long value is copied into `heap` (the global heap when
    // null). False, with the old value kept, when no memory could be had.
    bool setString(const char *s, Hx_baseheap *heap = nullptr);
    const char *getString() const;
    void clear();
    bool onHeap() const { return d_bytes[7] == 1; }

private:
    char *heapCopy() const;
    alignas(8) char d_bytes[8];
};
static_assert(sizeof(nyxVarString) == 8, "a compact string is eight bytes");

// The text operations the two buffers share; storage comes from the derived class.
class nyxCharBuf {
public:
    nyxCharBuf(const nyxCharBuf &) = delete;
    nyxCharBuf &operator=(const nyxCharBuf &) = delete;

    bool append(const char *s);
    // Appends at most `count` characters of `s` starting at offset `from` (bounded by its length).
    bool append_sub(const char *s, size_t from, size_t count);
    // Appends `s` without its blanks and tabs.
    bool append_compressed(const char *s);
    bool append_char(char c);
    bool fast_append_char(char c) {
        if (d_len + 1 >= d_cap) return append_char(c);
        d_buf[d_len++] = c;
        d_buf[d_len] = '\0';
        return true;
    }
    // Replaces the text with `s`.
    bool copy(const char *s);
    const char *char_p() const { return d_buf; }
    size_t byte_length() const { return d_len; }
    // Cuts the text to n characters (n beyond the text keeps it whole).
    void set_byte_len(size_t n);
    // Empties the text, keeping the storage.
    void empty();
    // Empties the text and gives grown storage back, returning to the initial buffer.
    void zero();
    void downcase();
    void uppercase();
    size_t capacity() const { return d_cap; }

protected:
    nyxCharBuf(char *initial, size_t initialCap);
    ~nyxCharBuf() = default;
    // New storage of `cap` bytes, or null; and the release of storage obtained so.
    virtual char *obtain(size_t cap) = 0;
    virtual void release(char *buf, size_t cap) = 0;
    virtual size_t step() const = 0;
    void releaseGrown();

private:
    bool reserve(size_t need);
    bool appendBytes(const char *s, size_t n);

    char *d_initial;
    size_t d_initialCap;
    char *d_buf;
    size_t d_cap;
    size_t d_len = 0;
    char d_none[1] = {'\0'};
};

class nyxStringBuf : public nyxCharBuf {
public:
    explicit nyxStringBuf(char *initial = nullptr, size_t initialCap = 0, Hx_baseheap *heap = nullptr);
    ~nyxStringBuf() { releaseGrown(); }

protected:
    char *obtain(size_t cap) override;
    void release(char *buf, size_t cap) override;
    size_t step() const override { return 64; }

private:
    Hx_baseheap *d_heap;
};

class Hx_sbuf : public nyxCharBuf {
public:
    explicit Hx_sbuf(char *initial = nullptr, size_t initialCap = 0) : nyxCharBuf(initial, initialCap) {}
    ~Hx_sbuf() { releaseGrown(); }

protected:
    char *obtain(size_t cap) override;
    void release(char *buf, size_t cap) override;
    size_t step() const override { return 32; }
};
