// Command-line helpers shared by the subcommands: flags taken out of the argument list, and the
// progress line for long operations.
#pragma once

#include <chrono>

namespace nyxtool {

// Removes every occurrence of `flag` from argv[1..argc-1] (argv[0] is the subcommand) and returns
// whether there was one; argc shrinks accordingly.
bool takeFlag(int &argc, char **argv, const char *flag);

// A progress line on the standard error stream, for operations over many views: shown only when
// the standard error stream is a terminal and the operation has run for a while, redrawn at most
// a few times a second, and erased by done(). Nothing at all is written otherwise, so that
// scripts and pipes see only the results.
class Progress {
public:
    explicit Progress(const char *what);
    ~Progress() { done(); }
    void step(long count);
    void done();

private:
    const char *what_;
    bool enabled_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point start_, last_;
};

} // namespace nyxtool
