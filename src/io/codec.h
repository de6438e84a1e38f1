// codec.h - the tagged value encoding of stored views.
//
// Every value starts with one tag byte: the high four bits give its class, the low four bits a
// length or a small number.
//
//   tag          class  value
//   0x10         1      integer 0
//   0x11..0x14   1      integer in 1..4 following bytes, most significant first, sign-extended
//   0x28         2      IEEE double, 8 following bytes, little-endian
//   0xB4         0xB    IEEE float, 4 following bytes, little-endian
//   0x30..0x3E   3      string of 0..14 bytes (no terminator)
//   0x3F         3      string whose length follows as 2 bytes, most significant first
//   0x5F         5      string whose length follows as 4 bytes, most significant first
//   0x70..0x7F   7      small tag 0..15
//
// Integers take the shortest form; a double or float that is finite, integral and within
// -1e6 .. 1e6 is written as an integer (and read back exactly).
//
// The writer appends to a sink (a file being saved, or memory). The reader decodes an in-memory
// byte range, or a stored file through a window that it reads on demand, so that memory follows
// what the decoded values need and not the file's size; every read is bounded by the data's size. A read that meets a value of a class it does not take
// (or a byte of no class above) leaves the tag unread (pushed back) and reports a mismatch. A
// value cut short, or a tag of a class the read takes whose low bits are outside the table
// (0x15, 0x29, 0xB0, 0x5E ...), marks the reader corrupt and records where it was found; every
// later read then fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include <vector>

namespace nyxFileIO {
class Reader;
class Writer;
}

// Where written bytes go.
class nyxTagSink {
public:
    virtual ~nyxTagSink() = default;
    virtual bool write(const void *data, size_t length) = 0;
    // Overwrites bytes already written (offset + length <= offset()).
    virtual bool writeAt(uint64_t offset, const void *data, size_t length) = 0;
    virtual uint64_t offset() const = 0;
};

// A sink over a file writer of the file layer.
class nyxFileSink final : public nyxTagSink {
public:
    explicit nyxFileSink(nyxFileIO::Writer &out) : d_out(out) {}
    bool write(const void *data, size_t length) override;
    bool writeAt(uint64_t offset, const void *data, size_t length) override;
    uint64_t offset() const override;

private:
    nyxFileIO::Writer &d_out;
};

// A sink that collects the bytes in memory.
class nyxMemorySink final : public nyxTagSink {
public:
    bool write(const void *data, size_t length) override;
    bool writeAt(uint64_t offset, const void *data, size_t length) override;
    uint64_t offset() const override { return d_bytes.size(); }
    const std::string &bytes() const { return d_bytes; }

private:
    std::string d_bytes;
};

class nyxTagWriter {
public:
    explicit nyxTagWriter(nyxTagSink &sink) : d_sink(sink) {}

    // Each returns false when the sink failed or the value cannot be encoded; the failure is
    // sticky (ok() stays false) so that a writer may check once at the end.
    bool putInt(int32_t value);
    // A long wider than 32 bits has no encoding and fails.
    bool putLong(long value);
    bool putFloat(float value);
    bool putDouble(double value);
    // A null string is written as the empty string.
    bool putString(const char *text);
    bool putString(const char *text, size_t length);
    // A small tag 0..15.
    bool putTag(int32_t tag);
    bool putRaw(const void *data, size_t length);
    // Four raw bytes, most significant first, over bytes already written at `offset`.
    bool patch32(uint64_t offset, uint32_t value);

    // Formatted write: %d int, %ld long, %f float (passed as double), %lf double, %s string,
    // %t small tag (int), in order; any other character ends the list.
    bool put(const char *format, ...);

    bool ok() const { return d_ok; }
    uint64_t offset() const { return d_sink.offset(); }

private:
    bool emit(const unsigned char *bytes, size_t length);
    bool fail() { return d_ok = false; }

    nyxTagSink &d_sink;
    bool d_ok = true;
};

// Gives `bytes` bytes for a string being read (length + 1); null when it cannot.
using nyxTagAllocFn = void *(*)(void *context, size_t bytes);

class nyxTagReader {
public:
    // Results of the typed reads.
    enum : int {
        kRead = 1,       // one value read
        kEnd = 0,        // no byte left where a value should start
        kMismatch = -1,  // a value of another class is next; it stays unread
        kCorrupt = -2,   // bad tag, value cut short, or an earlier corruption
    };

    nyxTagReader(const void *data, size_t size)
        : d_data(static_cast<const unsigned char *>(data)), d_have(size), d_size(size) {}
    // Window bytes read from a file at a time (more when one value needs more).
    static constexpr size_t kWindow = 256 * 1024;

    // Over an open file: its bytes are read as the values need them, a window at a time. A
    // failed read (an I/O error, or a file that shrank) marks the data corrupt and sets ioError().
    // Tests pass small windows so that values straddle them.
    explicit nyxTagReader(nyxFileIO::Reader &file, size_t window = kWindow);
    nyxTagReader(const nyxTagReader &) = delete;
    nyxTagReader &operator=(const nyxTagReader &) = delete;

    // An integer. The common case, a whole integer inside the window of clean data, is decoded
    // here; every other case (and every error) goes through getIntChecked.
    int getInt(int32_t &value) {
        if (d_corruptLine == 0 && d_pos >= d_base && d_pos - d_base + 5 <= d_have) {
            const unsigned char *p = here();
            const unsigned n = p[0] - 0x10u;
            if (n <= 4) {
                d_pos += 1 + n;
                int32_t v = n == 0 ? 0 : static_cast<int8_t>(p[1]);
                for (unsigned i = 2; i <= n; ++i) v = static_cast<int32_t>(static_cast<uint32_t>(v) << 8 | p[i]);
                value = v;
                return kRead;
            }
        }
        return getIntChecked(value);
    }
    int getIntChecked(int32_t &value);
    // The short form of a string (fewer than 15 bytes) when it and the 15 bytes after its tag lie
    // in the window of clean data: copied to `out` (room for 16 bytes) with a terminating zero,
    // its length returned. -1, with nothing read, for anything else: getString reads that.
    int getShortString(char *out) {
        if (d_corruptLine != 0 || d_pos < d_base || d_pos - d_base + 16 > d_have) return -1;
        const unsigned char *p = here();
        const unsigned n = p[0] - 0x30u;
        if (n >= 15) return -1;
        std::memcpy(out, p + 1, 15);
        out[n] = '\0';
        d_pos += 1 + n;
        return static_cast<int>(n);
    }
    // Accept integers (converted), doubles and floats.
    int getDouble(double &value);
    int getFloat(float &value);
    // Asks `alloc` for length + 1 bytes and stores the text with a terminating zero there; the
    // length goes to *length when given. When the allocator gives null the read fails with
    // kCorrupt and outOfMemory() set.
    int getString(char *&text, nyxTagAllocFn alloc, void *context, size_t *length = nullptr);
    // Copies the text and a terminating zero into buffer, which must hold length + 1 bytes;
    // a longer string is left unread and reported as kMismatch.
    int getStringInto(char *buffer, size_t capacity);
    int getTag(int32_t &tag);

    // Formatted read: %d int32_t *, %ld long *, %f float *, %lf double *, %s char * buffer (at
    // least 256 bytes; a longer string mismatches), %t int32_t *. Returns the number of values
    // read, or -1 on a class mismatch (the value stays unread). Stops at the end of the data
    // or at corrupt data with the count so far.
    int get(const char *format, ...);

    // Raw access for the file header and the back-patched offset.
    bool skipByte();
    bool getRaw32(uint32_t &value);

    size_t offset() const { return d_pos; }
    size_t size() const { return d_size; }
    // Moves to an offset within the data (false, position unchanged, beyond it).
    bool seek(size_t offset);
    bool atEnd() const { return d_pos >= d_size; }

    bool corrupt() const { return d_corruptLine != 0; }
    bool outOfMemory() const { return d_outOfMemory; }
    bool ioError() const { return d_ioError; }
    // Where in the reader's source the corruption was noticed (for diagnostics and tests).
    const char *corruptFile() const { return d_corruptFile; }
    int corruptLine() const { return d_corruptLine; }
    // Marks the data corrupt (for format checks above the value level).
    int markCorrupt(const char *file, int line);

private:
    // Makes the next min(need, size - offset) bytes available at here(); false (data marked
    // corrupt) when the file cannot give them.
    bool have(size_t need) {
        const size_t want = need < d_size - d_pos ? need : d_size - d_pos;
        return (d_pos >= d_base && d_pos - d_base + want <= d_have) || refill(want);
    }
    bool refill(size_t want);
    const unsigned char *here() const { return d_data + (d_pos - d_base); }
    // The tag and length of the string at the position; on kRead the position is at its bytes,
    // which are all within the data. Nothing is consumed on a mismatch.
    int getStringHead(size_t &length);
    // Copies `length` bytes at the position to `out` and moves past them.
    bool copyBytes(void *out, size_t length);
    int readBigEndian(size_t count, uint32_t &value);

    // The window: bytes [d_base, d_base + d_have) of the data. Over memory it is the whole range.
    const unsigned char *d_data;
    size_t d_base = 0;
    size_t d_have;
    size_t d_size;
    size_t d_pos = 0;
    nyxFileIO::Reader *d_file = nullptr;
    size_t d_windowSize = kWindow;
    std::vector<unsigned char> d_window;
    bool d_ioError = false;
    const char *d_corruptFile = nullptr;
    int d_corruptLine = 0;
    bool d_outOfMemory = false;
};

// Records where corrupt data was found and yields kCorrupt.
#define NYX_IO_CORRUPT(reader) (reader).markCorrupt(__FILE__, __LINE__)

// The first three integers of a stored view file (after its lead byte): marker, format version,
// kind letter. False when the file cannot be read or does not start with three integers. Reads
// at most the few bytes they can take.
bool nyxIOReadHeader(const char *path, int32_t &marker, int32_t &version, int32_t &kind);
// The same from the first bytes of a file (the whole header takes at most nyxIOHeaderBytes).
bool nyxIOParseHeader(const void *data, size_t size, int32_t &marker, int32_t &version, int32_t &kind);
constexpr size_t nyxIOHeaderBytes = 16;
