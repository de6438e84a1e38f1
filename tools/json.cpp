// JSON writer of the tool (json.h).
#include "json.h"

#include <cmath>

namespace nyxtool {

void Json::separate() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!first_.empty()) {
        if (!first_.back()) std::fputc(',', out_);
        first_.back() = false;
    }
}

void Json::open(char c) {
    separate();
    std::fputc(c, out_);
    first_.push_back(true);
}

void Json::close(char c) {
    first_.pop_back();
    std::fputc(c, out_);
}

static void writeString(FILE *out, const std::string &s) {
    std::fputc('"', out);
    for (unsigned char c : s) {
        switch (c) {
        case '"': std::fputs("\\\"", out); break;
        case '\\': std::fputs("\\\\", out); break;
        case '\n': std::fputs("\\n", out); break;
        case '\t': std::fputs("\\t", out); break;
        case '\r': std::fputs("\\r", out); break;
        default:
            if (c < 0x20) {
                std::fprintf(out, "\\u%04x", c);
            } else {
                std::fputc(c, out);
            }
        }
    }
    std::fputc('"', out);
}

Json &Json::key(const std::string &k) {
    separate();
    writeString(out_, k);
    std::fputc(':', out_);
    afterKey_ = true;
    return *this;
}

Json &Json::value(const std::string &s) {
    separate();
    writeString(out_, s);
    return *this;
}

Json &Json::value(int64_t n) {
    separate();
    std::fprintf(out_, "%lld", static_cast<long long>(n));
    return *this;
}

Json &Json::value(double d) {
    if (!std::isfinite(d)) return null();  // JSON has no infinities or NaN
    separate();
    std::fprintf(out_, "%.9g", d);
    return *this;
}

Json &Json::value(bool b) {
    separate();
    std::fputs(b ? "true" : "false", out_);
    return *this;
}

Json &Json::null() {
    separate();
    std::fputs("null", out_);
    return *this;
}

} // namespace nyxtool
