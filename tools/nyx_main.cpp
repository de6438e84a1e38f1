// The `nyx` command-line tool: a thin dispatcher over the subcommands registered in tools/cmd_*.cpp.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "command.h"
#include "help.h"

namespace nyxtool {

std::vector<Command> &commands() {
    static std::vector<Command> all;
    return all;
}

} // namespace nyxtool

namespace {

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

// `help`, `--help` and `-h` anywhere after a command's name print that command's help.
bool asksForHelp(int argc, char **argv) {
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return true;
    }
    return false;
}

int run(int argc, char **argv) {
    if (argc < 2) {
        nyxtool::printOverview(stderr);
        return 2;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 ||
        (std::strcmp(argv[1], "help") == 0 && argc == 2)) {
        nyxtool::printOverview(stdout);
        return 0;
    }
    if (std::strcmp(argv[1], "help") == 0) {
        if (argc == 3 && nyxtool::printCommandHelp(stdout, argv[2])) return 0;
        std::fprintf(stderr, "nyx help: %s (try nyx --help)\n",
                     argc == 3 ? "no such command" : "usage: nyx help [COMMAND]");
        return 2;
    }
    for (const nyxtool::Command &c : nyxtool::commands()) {
        if (std::strcmp(c.name, argv[1]) != 0) continue;
        if (asksForHelp(argc, argv)) {
            nyxtool::printCommandHelp(stdout, c.name);
            return 0;
        }
        return c.run(argc - 1, argv + 1);
    }
    std::fprintf(stderr, "nyx: unknown command '%s' (try nyx --help)\n", argv[1]);
    return 2;
}

} // namespace

int main(int argc, char **argv) { return finishOutput(run(argc, argv)); }
