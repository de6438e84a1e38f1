// Decodes arbitrary bytes with the tagged value reader: the first byte picks a directive list,
// the rest is decoded with typed and formatted reads until the data ends or is corrupt. Every
// value read is written again and must decode to itself. The same bytes read from a file through
// a small window (its size also taken from the first byte) must give the same reads.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cstdio>
#include <string>
#include <vector>

#include "io/io.h"
#include "scratch_dir.h"
#include "utils/fileio.h"

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

// Runs the reads picked by `mix` and describes what each gave.
std::string decodeAll(nyxTagReader &in, unsigned mix) {
    std::string trace;
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
        trace += std::to_string(r) + "," + std::to_string(i) + "," + std::to_string(l) + "@" +
                 std::to_string(in.offset()) + (r == nyxTagReader::kRead && pick == 3 ? keep.back() : "") + " ";
        if (in.corrupt() || in.atEnd()) break;
        // A mismatch consumed nothing; step past the tag so that the loop moves on.
        if (r == nyxTagReader::kMismatch && pick == 6) in.seek(in.offset() + 1);
        if (keep.size() > 64) keep.clear();
    }
    return trace + (in.corrupt() ? "corrupt" : "");
}

// The file that the bytes are written to for the windowed read; empty when none can be made.
const std::string &inputFile() {
    static ScratchDir dir;
    static const std::string file = dir.make("nyx_fuzz_codec") ? dir.path() + "/input" : std::string();
    return file;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0) return 0;
    const unsigned mix = data[0];
    nyxTagReader memory(data + 1, size - 1);
    const std::string expected = decodeAll(memory, mix);
    // Reading through a window of a few bytes costs a system call per value: one input in four.
    if (mix % 4 != 0 || inputFile().empty()) return 0;
    std::FILE *f = std::fopen(inputFile().c_str(), "wb");
    if (f == nullptr) return 0;
    const bool written = std::fwrite(data + 1, 1, size - 1, f) == size - 1;
    if (std::fclose(f) != 0 || !written) return 0;
    nyxFileIO::Reader file;
    if (!file.open(inputFile())) return 0;
    nyxTagReader windowed(file, 1 + mix / 4 % 16);
    if (decodeAll(windowed, mix) != expected) __builtin_trap();
    return 0;
}
