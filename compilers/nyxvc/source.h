// source.h - a source file mapped read-only into memory, whole, for the lexer.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace nyxvc {

class SourceFile {
public:
    SourceFile() = default;
    SourceFile(const SourceFile &) = delete;
    SourceFile &operator=(const SourceFile &) = delete;
    ~SourceFile() { close(); }

    // Maps the file; false with errno's text in error when it cannot be opened or mapped.
    bool open(const std::string &path, std::string &error);
    void close();

    std::string_view text() const { return {data_, size_}; }
    // Gives back the memory that holds the text before offset (whole pages, a few megabytes at
    // a time), once it is parsed. Views of it stay good: reading them maps the file's pages again.
    void dropBefore(size_t offset);
    const std::string &path() const { return path_; }

private:
    const char *data_ = nullptr;
    size_t size_ = 0;
    bool mapped_ = false;
    size_t dropped_ = 0;  // bytes from the start given back by dropBefore()
    std::string path_;
};

bool fileExists(const std::string &path);
bool dirExists(const std::string &path);

} // namespace nyxvc
