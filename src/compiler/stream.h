// stream.h - the buffered reader of a compiler's answer: text lines, then the binary record stream.
//
// A compiler answers on a pipe (or, for the compiler "NONE", in a file; tests and the fuzz target
// read memory). The answer is external input: the stream bounds every read, waits at most the
// inactivity timeout for each refill, and turns any failure into a sticky state.
//
// Binary primitives, all little-endian:
//
//   primitive    bytes  value                                   after a failure
//   int          4      signed 32-bit                           0
//   float        4      IEEE single                             0.0
//   char         1      unsigned byte                           0
//   type         1      unsigned byte; one byte of push-back    15
//   object type  4      signed 32-bit                           0
//   string       4 + n  length n (0..kMaxString), then n bytes  ""
//   boolean      1      non-zero is true                        true
//
// Sticky failure: the first failed read (end of the data inside a value, inactivity timeout, an
// absurd string length, corruption found by the record reader through fail(), an I/O error) sets
// state() for good, and every later read returns the value of the last column at once. Loops that
// read a count and then that many entries therefore end as soon as the data does, whatever count
// was declared. A read that ends exactly where the data ends leaves the state kGood; only a read
// beyond it sets kEnd.
//
// Buffer invariant: d_begin <= d_pos <= d_end; the bytes [d_pos, d_end) are read from the source
// and not yet consumed; bytesRead() == d_base + (d_pos - d_begin). After a failure d_pos == d_end
// and nothing is refilled, so that the inline fast paths fall through to the slow paths, which
// return the failure values.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include <sys/types.h>

class nyxCompilerStream {
public:
    enum State : uint8_t { kGood, kEnd, kTimeout, kAbsurd, kCorrupt, kIoError };
    static constexpr int32_t kMaxString = 128000;
    static constexpr size_t kBufferSize = size_t{256} << 10;
    static constexpr size_t kMaxLine = size_t{64} << 10;
    // discardPending drops at most this many bytes, so that a flooding compiler cannot hold it.
    static constexpr size_t kMaxDiscard = size_t{16} << 20;

    // Reads fd (a pipe or a file) without owning it. timeoutSeconds: the longest wait for any
    // byte at each refill; 0 waits forever. Interrupted waits and reads are retried.
    nyxCompilerStream(int fd, int32_t timeoutSeconds);
    // Reads size bytes at data, which must outlive the stream.
    nyxCompilerStream(const void *data, size_t size);
    nyxCompilerStream(const nyxCompilerStream &) = delete;
    nyxCompilerStream &operator=(const nyxCompilerStream &) = delete;

    // One text line without its '\n'. False when nothing could be read (state() tells why).
    // Of a line longer than kMaxLine the first kMaxLine bytes are kept and the rest consumed.
    // *newline: whether the line ended with '\n' (false for a last line cut by the end).
    bool readLine(std::string &line, bool *newline = nullptr);
    // Drops the bytes readable without waiting (buffered, then what the fd has ready, at most
    // kMaxDiscard) and the pushed-back type; returns how many bytes were dropped.
    size_t discardPending();

    int32_t readInt() {
        if (d_end - d_pos >= 4) {
            int32_t v;
            std::memcpy(&v, d_pos, 4);
            d_pos += 4;
            return fromLittle(v);
        }
        return readIntSlow();
    }
    float readFloat() {
        int32_t bits = readInt();
        float f;
        std::memcpy(&f, &bits, 4);
        return f;
    }
    uint8_t readChar() {
        if (d_pos < d_end)
            return *d_pos++;
        return readCharSlow();
    }
    uint8_t readType() {
        if (d_pushback >= 0) {
            uint8_t t = static_cast<uint8_t>(d_pushback);
            d_pushback = -1;
            return t;
        }
        if (d_pos < d_end)
            return *d_pos++;
        return good() && fill(1) ? *d_pos++ : 15;
    }
    // Gives one type byte back to the next readType (ignored after a failure).
    void pushbackType(uint8_t t) {
        if (good())
            d_pushback = t;
    }
    int32_t readObjType() { return readInt(); }
    bool readBoolean() {
        if (d_pos < d_end)
            return *d_pos++ != 0;
        return good() && fill(1) ? *d_pos++ != 0 : true;
    }
    // The returned string is the stream's own buffer, valid until the next readString.
    const std::string &readString();

    bool good() const { return d_state == kGood; }
    State state() const { return d_state; }
    // Records a failure (the first one stays) and stops every later read.
    void fail(State s);
    uint64_t bytesRead() const { return d_base + static_cast<uint64_t>(d_pos - d_begin); }

private:
    template <typename T> static T fromLittle(T v) {
        if constexpr (std::endian::native == std::endian::big)
            return static_cast<T>(__builtin_bswap32(static_cast<uint32_t>(v)));
        return v;
    }
    int32_t readIntSlow();
    uint8_t readCharSlow();
    // Makes at least n bytes (n <= kBufferSize) readable at d_pos; false (state set) when the
    // data ends first or the source fails.
    bool fill(size_t n);
    // Reads once from the fd into [d_end, bufferEnd): bytes read, 0 at the end of the data,
    // -1 after a failure (state set). wait: whether to wait for bytes (else returns 0 at once
    // when none are ready, without marking the end).
    ssize_t readSome(bool wait);
    // 1 when the fd is readable (or at its end), 0 when timeoutMs passed first, -1 on error.
    // timeoutMs < 0 waits forever.
    int waitReadable(int64_t timeoutMs);
    // Moves the unconsumed bytes to the front of the buffer.
    void compact();
    void dumpFollowing();

    int d_fd = -1;
    int32_t d_timeout = 0;
    State d_state = kGood;
    bool d_sourceEnded = false;
    int16_t d_pushback = -1;
    std::unique_ptr<uint8_t[]> d_buffer;
    const uint8_t *d_begin = nullptr;
    const uint8_t *d_pos = nullptr;
    const uint8_t *d_end = nullptr;
    uint64_t d_base = 0;
    std::string d_string;
};
