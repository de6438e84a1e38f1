// Command-line helpers of the tool (options.h).
#include "options.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace nyxtool {

bool takeFlag(int &argc, char **argv, const char *flag) {
    bool found = false;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], flag) == 0) {
            found = true;
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    return found;
}

namespace {
constexpr auto kQuietStart = std::chrono::milliseconds(500);  // short operations show nothing
constexpr auto kRedraw = std::chrono::milliseconds(200);
} // namespace

Progress::Progress(const char *what)
    : what_(what), enabled_(isatty(STDERR_FILENO) == 1), start_(std::chrono::steady_clock::now()), last_(start_) {}

void Progress::step(long count) {
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - start_ < kQuietStart || now - last_ < kRedraw) return;
    last_ = now;
    std::fprintf(stderr, "\r%s: %ld", what_, count);
    std::fflush(stderr);
    shown_ = true;
}

void Progress::done() {
    if (!shown_) return;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    shown_ = false;
}

} // namespace nyxtool
