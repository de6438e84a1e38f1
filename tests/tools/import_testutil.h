// Helpers of the `nyx import` tests: files in the test's directory, and the environment in which
// the tool finds the library and the built nyxvc.
#pragma once

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "common/test_env.h"

namespace importtest {

inline std::string write(const std::string &name, const std::string &text) {
    const std::string path = nyxtest::testDirectory() + "/" + name;
    std::ofstream(path) << text;
    return path;
}

inline bool exists(const std::string &path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

// The library map "." and the built nyxvc on PATH (the test program is not beside it).
inline void environment() {
    setenv("ZIL_NYX_LIBRARYMAP", ".", 1);
    const char *path = std::getenv("PATH");
    setenv("PATH", (std::string(NYXVC_DIR) + ":" + (path != nullptr ? path : "")).c_str(), 1);
}

} // namespace importtest
