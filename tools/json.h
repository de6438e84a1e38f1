// A small JSON writer for the tool's --json output: values are written as they come, commas and
// nesting are tracked here, strings are escaped (control characters as \u00XX; bytes that are not
// valid UTF-8 pass through as they are stored, as names are kept byte for byte).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace nyxtool {

class Json {
public:
    explicit Json(FILE *out) : out_(out) {}

    Json &beginObject() { open('{'); return *this; }
    Json &endObject() { close('}'); return *this; }
    Json &beginArray() { open('['); return *this; }
    Json &endArray() { close(']'); return *this; }
    // The key of the next value inside an object.
    Json &key(const std::string &k);
    Json &value(const std::string &s);
    Json &value(const char *s) { return value(std::string(s != nullptr ? s : "")); }
    Json &value(int64_t n);
    Json &value(int32_t n) { return value(static_cast<int64_t>(n)); }
    Json &value(double d);
    Json &value(bool b);
    Json &null();
    // Ends the document with a newline.
    void finish() { std::fputc('\n', out_); }

private:
    void separate();
    void open(char c);
    void close(char c);
    FILE *out_;
    std::vector<bool> first_;  // per open level: no element written yet
    bool afterKey_ = false;
};

} // namespace nyxtool
