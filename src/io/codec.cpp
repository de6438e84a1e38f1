// The tagged value codec: writer over a sink, bounded reader over memory, the header probe.
#include "io/codec.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstring>

#include "utils/fileio.h"

namespace {

// Whether a double is stored as an integer: finite, integral and within -1e6 .. 1e6.
bool integralValue(double value) {
    return !std::isnan(value) && std::isfinite(value) && value >= -1e6 && value <= 1e6 &&
           value == std::floor(value);
}

} // namespace

// --- Sinks ---------------------------------------------------------------------------------------

bool nyxFileSink::write(const void *data, size_t length) { return d_out.write(data, length); }

bool nyxFileSink::writeAt(uint64_t offset, const void *data, size_t length) {
    return d_out.writeAt(offset, data, length);
}

uint64_t nyxFileSink::offset() const { return d_out.offset(); }

bool nyxMemorySink::write(const void *data, size_t length) {
    d_bytes.append(static_cast<const char *>(data), length);
    return true;
}

bool nyxMemorySink::writeAt(uint64_t offset, const void *data, size_t length) {
    if (offset > d_bytes.size() || length > d_bytes.size() - offset) return false;
    std::memcpy(&d_bytes[offset], data, length);
    return true;
}

// --- Writer --------------------------------------------------------------------------------------

bool nyxTagWriter::emit(const unsigned char *bytes, size_t length) {
    if (!d_ok) return false;
    if (!d_sink.write(bytes, length)) return fail();
    return true;
}

bool nyxTagWriter::putInt(int32_t value) {
    unsigned char b[5];
    const uint32_t u = static_cast<uint32_t>(value);
    size_t n;
    if (value == 0) n = 0;
    else if (value >= -128 && value <= 127) n = 1;
    else if (value >= -32768 && value <= 32767) n = 2;
    else if (value >= -8388608 && value <= 8388607) n = 3;
    else n = 4;
    b[0] = static_cast<unsigned char>(0x10 + n);
    for (size_t i = 0; i < n; ++i) b[1 + i] = static_cast<unsigned char>(u >> (8 * (n - 1 - i)));
    return emit(b, n + 1);
}

bool nyxTagWriter::putLong(long value) {
    if (value < INT32_MIN || value > INT32_MAX) return fail();
    return putInt(static_cast<int32_t>(value));
}

bool nyxTagWriter::putDouble(double value) {
    if (integralValue(value)) return putInt(static_cast<int32_t>(value));
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    unsigned char b[9] = {0x28};
    for (int i = 0; i < 8; ++i) b[1 + i] = static_cast<unsigned char>(bits >> (8 * i));
    return emit(b, sizeof b);
}

bool nyxTagWriter::putFloat(float value) {
    if (integralValue(value)) return putInt(static_cast<int32_t>(value));
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    unsigned char b[5] = {0xB4};
    for (int i = 0; i < 4; ++i) b[1 + i] = static_cast<unsigned char>(bits >> (8 * i));
    return emit(b, sizeof b);
}

bool nyxTagWriter::putString(const char *text) {
    return putString(text, text != nullptr ? std::strlen(text) : 0);
}

bool nyxTagWriter::putString(const char *text, size_t length) {
    unsigned char b[5];
    size_t n;
    if (length <= 14) {
        b[0] = static_cast<unsigned char>(0x30 + length);
        n = 1;
    } else if (length <= 0xFFFF) {
        b[0] = 0x3F;
        b[1] = static_cast<unsigned char>(length >> 8);
        b[2] = static_cast<unsigned char>(length);
        n = 3;
    } else if (length <= 0xFFFFFFFFu) {
        b[0] = 0x5F;
        for (int i = 0; i < 4; ++i) b[1 + i] = static_cast<unsigned char>(length >> (8 * (3 - i)));
        n = 5;
    } else {
        return fail();
    }
    if (!emit(b, n)) return false;
    return length == 0 || emit(reinterpret_cast<const unsigned char *>(text), length);
}

bool nyxTagWriter::putTag(int32_t tag) {
    if (tag < 0 || tag > 15) return fail();
    const unsigned char b = static_cast<unsigned char>(0x70 + tag);
    return emit(&b, 1);
}

bool nyxTagWriter::putRaw(const void *data, size_t length) {
    return emit(static_cast<const unsigned char *>(data), length);
}

bool nyxTagWriter::patch32(uint64_t offset, uint32_t value) {
    if (!d_ok) return false;
    const unsigned char b[4] = {static_cast<unsigned char>(value >> 24), static_cast<unsigned char>(value >> 16),
                                static_cast<unsigned char>(value >> 8), static_cast<unsigned char>(value)};
    if (!d_sink.writeAt(offset, b, sizeof b)) return fail();
    return true;
}

bool nyxTagWriter::put(const char *format, ...) {
    va_list args;
    va_start(args, format);
    for (const char *f = format; f != nullptr && f[0] == '%';) {
        const bool isLong = f[1] == 'l';
        const char directive = f[isLong ? 2 : 1];
        if (directive == 'd') {
            if (isLong) putLong(va_arg(args, long));
            else putInt(va_arg(args, int));
        } else if (directive == 'f') {
            if (isLong) putDouble(va_arg(args, double));
            else putFloat(static_cast<float>(va_arg(args, double)));
        } else if (directive == 's') {
            putString(va_arg(args, const char *));
        } else if (directive == 't') {
            putTag(va_arg(args, int));
        } else {
            break;
        }
        f += isLong ? 3 : 2;
    }
    va_end(args);
    return d_ok;
}

// --- Reader --------------------------------------------------------------------------------------

nyxTagReader::nyxTagReader(nyxFileIO::Reader &file, size_t window)
    : d_data(nullptr), d_have(0), d_size(static_cast<size_t>(file.size())), d_file(&file),
      d_windowSize(window > 0 ? window : 1) {}

bool nyxTagReader::refill(size_t want) {
    if (d_file == nullptr) return NYX_IO_CORRUPT(*this), false;
    const size_t length = std::min(std::max(want, d_windowSize), d_size - d_pos);
    if (d_window.size() < length) d_window.resize(length);
    const long n = d_file->readAt(d_pos, d_window.data(), length);
    if (n < 0 || static_cast<size_t>(n) < want) {
        d_ioError = true;
        return NYX_IO_CORRUPT(*this), false;
    }
    d_data = d_window.data();
    d_base = d_pos;
    d_have = static_cast<size_t>(n);
    return true;
}

bool nyxTagReader::copyBytes(void *out, size_t length) {
    if (d_file != nullptr && length > d_windowSize &&
        !(d_pos >= d_base && d_pos - d_base + length <= d_have)) {
        // A long string goes straight from the file to its place, without a window of its size.
        const long n = d_file->readAt(d_pos, out, length);
        if (n < 0 || static_cast<size_t>(n) < length) {
            d_ioError = true;
            return NYX_IO_CORRUPT(*this), false;
        }
    } else {
        if (!have(length)) return false;
        if (length > 0) std::memcpy(out, here(), length);
    }
    d_pos += length;
    return true;
}

int nyxTagReader::markCorrupt(const char *file, int line) {
    if (d_corruptLine == 0) {
        d_corruptFile = file;
        d_corruptLine = line > 0 ? line : 1;
    }
    return kCorrupt;
}

bool nyxTagReader::seek(size_t offset) {
    if (offset > d_size) return false;
    d_pos = offset;
    return true;
}

bool nyxTagReader::skipByte() {
    if (corrupt() || d_pos >= d_size) return false;
    ++d_pos;
    return true;
}

bool nyxTagReader::getRaw32(uint32_t &value) {
    if (corrupt()) return false;
    if (d_size - d_pos < 4) return NYX_IO_CORRUPT(*this), false;
    return readBigEndian(4, value) == kRead;
}

// Reads `count` (at most 4) bytes, most significant first, at the position.
int nyxTagReader::readBigEndian(size_t count, uint32_t &value) {
    if (d_size - d_pos < count) return NYX_IO_CORRUPT(*this);
    if (!have(count)) return kCorrupt;
    const unsigned char *p = here();
    value = 0;
    for (size_t i = 0; i < count; ++i) value = value << 8 | p[i];
    d_pos += count;
    return kRead;
}

int nyxTagReader::getIntChecked(int32_t &value) {
    if (corrupt()) return kCorrupt;
    if (d_pos >= d_size) return kEnd;
    if (!have(5)) return kCorrupt;
    const unsigned char *p = here();
    const unsigned tag = p[0];
    if (tag >> 4 != 1) return kMismatch;
    const size_t n = tag & 15;
    if (n > 4) return NYX_IO_CORRUPT(*this);
    if (d_size - d_pos - 1 < n) return NYX_IO_CORRUPT(*this);
    d_pos += 1 + n;
    if (n == 0) {
        value = 0;
        return kRead;
    }
    // The first byte carries the sign.
    int32_t v = static_cast<int8_t>(p[1]);
    for (size_t i = 2; i <= n; ++i) v = static_cast<int32_t>(static_cast<uint32_t>(v) << 8 | p[i]);
    value = v;
    return kRead;
}

int nyxTagReader::getDouble(double &value) {
    if (corrupt()) return kCorrupt;
    if (d_pos >= d_size) return kEnd;
    if (!have(9)) return kCorrupt;
    const unsigned char *p = here();
    const unsigned tag = p[0];
    switch (tag >> 4) {
    case 1: {
        int32_t i = 0;
        const int r = getInt(i);
        if (r == kRead) value = i;
        return r;
    }
    case 2: {
        if (tag != 0x28 || d_size - d_pos < 9) return NYX_IO_CORRUPT(*this);
        uint64_t bits = 0;
        for (int i = 8; i >= 1; --i) bits = bits << 8 | p[i];
        d_pos += 9;
        std::memcpy(&value, &bits, sizeof value);
        return kRead;
    }
    case 0xB: {
        if (tag != 0xB4 || d_size - d_pos < 5) return NYX_IO_CORRUPT(*this);
        uint32_t bits = 0;
        for (int i = 4; i >= 1; --i) bits = bits << 8 | p[i];
        d_pos += 5;
        float f;
        std::memcpy(&f, &bits, sizeof f);
        value = f;
        return kRead;
    }
    default:
        return kMismatch;
    }
}

int nyxTagReader::getFloat(float &value) {
    double d = 0;
    const int r = getDouble(d);
    if (r == kRead) value = static_cast<float>(d);
    return r;
}

int nyxTagReader::getStringHead(size_t &length) {
    if (corrupt()) return kCorrupt;
    if (d_pos >= d_size) return kEnd;
    if (!have(1)) return kCorrupt;
    const unsigned tag = here()[0];
    const size_t start = d_pos;
    uint32_t n = 0;
    if (tag >> 4 == 3) {
        ++d_pos;
        n = tag & 15;
        if (n == 15 && readBigEndian(2, n) != kRead) return kCorrupt;
    } else if (tag >> 4 == 5) {
        if (tag != 0x5F) return NYX_IO_CORRUPT(*this);
        ++d_pos;
        if (readBigEndian(4, n) != kRead) return kCorrupt;
    } else {
        return kMismatch;
    }
    if (d_size - d_pos < n) {
        d_pos = start;
        return NYX_IO_CORRUPT(*this);
    }
    length = n;
    return kRead;
}

int nyxTagReader::getString(char *&text, nyxTagAllocFn alloc, void *context, size_t *length) {
    size_t n = 0;
    const int r = getStringHead(n);
    if (r != kRead) return r;
    char *out = static_cast<char *>(alloc(context, n + 1));
    if (out == nullptr) {
        d_outOfMemory = true;
        return NYX_IO_CORRUPT(*this);
    }
    if (!copyBytes(out, n)) return kCorrupt;
    out[n] = '\0';
    text = out;
    if (length != nullptr) *length = n;
    return kRead;
}

int nyxTagReader::getStringInto(char *buffer, size_t capacity) {
    const size_t start = d_pos;
    size_t n = 0;
    const int r = getStringHead(n);
    if (r != kRead) return r;
    if (capacity < n + 1) {
        d_pos = start;
        return kMismatch;
    }
    if (!copyBytes(buffer, n)) return kCorrupt;
    buffer[n] = '\0';
    return kRead;
}

int nyxTagReader::getTag(int32_t &tag) {
    if (corrupt()) return kCorrupt;
    if (d_pos >= d_size) return kEnd;
    if (!have(1)) return kCorrupt;
    const unsigned t = here()[0];
    if (t >> 4 != 7) return kMismatch;
    ++d_pos;
    tag = static_cast<int32_t>(t & 15);
    return kRead;
}

int nyxTagReader::get(const char *format, ...) {
    constexpr size_t kBuffer = 256;
    va_list args;
    va_start(args, format);
    int count = 0;
    for (const char *f = format; f != nullptr && f[0] == '%';) {
        const bool isLong = f[1] == 'l';
        const char directive = f[isLong ? 2 : 1];
        int r;
        if (directive == 'd') {
            int32_t v = 0;
            r = getInt(v);
            if (r == kRead) {
                if (isLong) *va_arg(args, long *) = v;
                else *va_arg(args, int32_t *) = v;
            }
        } else if (directive == 'f') {
            double v = 0;
            r = getDouble(v);
            if (r == kRead) {
                if (isLong) *va_arg(args, double *) = v;
                else *va_arg(args, float *) = static_cast<float>(v);
            }
        } else if (directive == 's') {
            r = getStringInto(va_arg(args, char *), kBuffer);
        } else if (directive == 't') {
            int32_t v = 0;
            r = getTag(v);
            if (r == kRead) *va_arg(args, int32_t *) = v;
        } else {
            break;
        }
        if (r == kMismatch) {
            count = -1;
            break;
        }
        if (r != kRead) break;
        ++count;
        f += isLong ? 3 : 2;
    }
    va_end(args);
    return count;
}

// --- Header probe --------------------------------------------------------------------------------

bool nyxIOReadHeader(const char *path, int32_t &marker, int32_t &version, int32_t &kind) {
    if (path == nullptr) return false;
    // The lead byte and three integers of at most five bytes each.
    unsigned char head[16];
    nyxFileIO::Reader file;
    if (!file.open(path)) return false;
    const long have = file.readAt(0, head, sizeof head);
    if (have < 0) return false;
    return nyxIOParseHeader(head, static_cast<size_t>(have), marker, version, kind);
}

bool nyxIOParseHeader(const void *data, size_t size, int32_t &marker, int32_t &version, int32_t &kind) {
    nyxTagReader in(data, size);
    return in.skipByte() && in.getInt(marker) == nyxTagReader::kRead &&
           in.getInt(version) == nyxTagReader::kRead && in.getInt(kind) == nyxTagReader::kRead;
}
