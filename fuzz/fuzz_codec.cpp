// Decodes arbitrary bytes with the tagged value reader: the first byte picks a directive list,
// the rest is decoded with typed and formatted reads until the data ends or is corrupt. Every
// value read is written again and must decode to itself.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "io/io.h"

namespace {

void *keepString(void *context, size_t bytes) {
    auto *keep = static_cast<std::vector<std::string> *>(context);
    keep->emplace_back(bytes, '\0');
    return keep->back().data();
}

// The value just read re-encodes to bytes that decode to the same value.
void checkInt(int32_t v) {
    nyxMemorySink sink;
    nyxTagWriter w(sink);
    w.putInt(v);
    nyxTagReader r(sink.bytes().data(), sink.bytes().size());
    int32_t back = 0;
    if (r.getInt(back) != nyxTagReader::kRead || back != v || !r.atEnd()) __builtin_trap();
}

void checkDouble(double v) {
    nyxMemorySink sink;
    nyxTagWriter w(sink);
    w.putDouble(v);
    nyxTagReader r(sink.bytes().data(), sink.bytes().size());
    double back = 0;
    if (r.getDouble(back) != nyxTagReader::kRead) __builtin_trap();
    if (!(std::isnan(v) ? std::isnan(back) : back == v)) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0) return 0;
    const unsigned mix = data[0];
    nyxTagReader in(data + 1, size - 1);
    std::vector<std::string> keep;
    for (unsigned step = 0; step < 4096; ++step) {
        const unsigned pick = (mix + step) % 7;
        int32_t i = 0;
        double d = 0;
        float f = 0;
        char *s = nullptr;
        char buf[256];
        long l = 0;
        int r = 0;
        switch (pick) {
        case 0: r = in.getInt(i); if (r == nyxTagReader::kRead) checkInt(i); break;
        case 1: r = in.getDouble(d); if (r == nyxTagReader::kRead) checkDouble(d); break;
        case 2: r = in.getFloat(f); break;
        case 3: {
            size_t n = 0;
            r = in.getString(s, keepString, &keep, &n);
            if (r == nyxTagReader::kRead && (s[n] != '\0' || keep.back().size() != n + 1)) __builtin_trap();
            break;
        }
        case 4: r = in.getTag(i); if (r == nyxTagReader::kRead && (i < 0 || i > 15)) __builtin_trap(); break;
        case 5: r = in.get("%d%s%lf%t", &i, buf, &d, &i) < 0 ? nyxTagReader::kMismatch : nyxTagReader::kRead; break;
        default: r = in.get("%ld%f%s", &l, &f, buf) < 0 ? nyxTagReader::kMismatch : nyxTagReader::kRead; break;
        }
        if (in.offset() > in.size()) __builtin_trap();
        if (in.corrupt() || in.atEnd()) break;
        // A mismatch consumed nothing; step past the tag so that the loop moves on.
        if (r == nyxTagReader::kMismatch && pick == 6) in.seek(in.offset() + 1);
        if (keep.size() > 64) keep.clear();
    }
    return 0;
}
