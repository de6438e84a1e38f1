// Compiles the first line of the input as a regular expression, matches it against the rest and
// substitutes the match into the pattern text as a replacement.
#include <cstddef>
#include <cstdint>
#include <string>

#include "utils/regexp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string input(reinterpret_cast<const char *>(data), size);
    size_t split = input.find('\n');
    std::string pattern = input.substr(0, split);
    std::string subject = split == std::string::npos ? std::string() : input.substr(split + 1);
    std::string error;
    auto re = nyxRegexp::compile(pattern.c_str(), &error);
    if (!re) return 0;
    if (re->exec(subject.c_str())) {
        std::string out;
        re->substitute(pattern.c_str(), out);
        for (int i = 0; i < nyxRegexp::kMaxSubexp; ++i) {
            long s = re->start(i), e = re->end(i);
            if ((s < 0) != (e < 0) || s > e || e > static_cast<long>(subject.size())) __builtin_trap();
        }
    }
    return 0;
}
