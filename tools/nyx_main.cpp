// The `nyx` command-line tool: a thin dispatcher over the subcommands registered in tools/cmd_*.cpp.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "command.h"

namespace nyxtool {

std::vector<Command> &commands() {
    static std::vector<Command> all;
    return all;
}

} // namespace nyxtool

namespace {

void printHelp(FILE *out) {
    std::fprintf(out, "usage: nyx COMMAND [ARGS...]\n\n"
                      "Inspects design libraries stored by libnyx.\n\nCommands:\n");
    std::vector<nyxtool::Command> sorted = nyxtool::commands();
    std::sort(sorted.begin(), sorted.end(), [](const nyxtool::Command &a, const nyxtool::Command &b) {
        return std::strcmp(a.name, b.name) < 0;
    });
    for (const nyxtool::Command &c : sorted) {
        std::string head = std::string(c.name) + (c.usage[0] != '\0' ? " " : "") + c.usage;
        std::fprintf(out, "  %-28s %s\n", head.c_str(), c.summary);
    }
    std::fprintf(out, "\n  %-28s %s\n", "--help", "this text");
}

// Output that did not reach the standard output (a full disk, a device that refuses it) is a
// failure of the command, whatever it returned: reported, and the exit status is not 0. (A pipe
// closed by its reader ends the process by SIGPIPE before this.)
int finishOutput(int status) {
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0;
    const int cause = errno;
    if (flushed && !std::ferror(stdout)) return status;
    // The cause is known only when this flush failed (a command may have flushed before).
    if (cause != 0) {
        std::fprintf(stderr, "nyx: cannot write standard output: %s\n", std::strerror(cause));
    } else {
        std::fprintf(stderr, "nyx: cannot write standard output\n");
    }
    return status != 0 ? status : 1;
}

int run(int argc, char **argv) {
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 ||
        std::strcmp(argv[1], "help") == 0) {
        printHelp(stdout);
        return argc < 2 ? 2 : 0;
    }
    for (const nyxtool::Command &c : nyxtool::commands()) {
        if (std::strcmp(c.name, argv[1]) == 0) return c.run(argc - 1, argv + 1);
    }
    std::fprintf(stderr, "nyx: unknown command '%s' (try nyx --help)\n", argv[1]);
    return 2;
}

} // namespace

int main(int argc, char **argv) { return finishOutput(run(argc, argv)); }
