// A temporary directory for a fuzz target's files, removed with its contents when the process
// exits normally (a crashing run leaves it for inspection).
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <initializer_list>
#include <string>

class ScratchDir {
public:
    // Creates <base>/<prefix>XXXXXX in memory (/dev/shm) when it can, else in /tmp, where
    // creating directories can be a thousand times slower; false when neither works.
    bool make(const char *prefix) {
        for (const char *base : {"/dev/shm/", "/tmp/"}) {
            std::string pattern = std::string(base) + prefix + "XXXXXX";
            if (mkdtemp(pattern.data()) != nullptr) {
                path_ = pattern;
                return true;
            }
        }
        return false;
    }
    const std::string &path() const { return path_; }
    ~ScratchDir() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }

private:
    std::string path_;
};
