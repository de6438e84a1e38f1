// Subcommands of the `nyx` tool. Each subcommand lives in its own file and registers itself with
// NYX_COMMAND, so that adding one touches no other file.
#pragma once

#include <vector>

namespace nyxtool {

struct Command {
    const char *name;     // word on the command line
    const char *usage;    // arguments, for --help
    const char *summary;  // one line, for --help
    int (*run)(int argc, char **argv);  // argv[0] is the subcommand's name; returns the exit status
};

// Every registered subcommand, in the order of registration.
std::vector<Command> &commands();

struct Registrar {
    explicit Registrar(const Command &c) { commands().push_back(c); }
};

} // namespace nyxtool

#define NYX_COMMAND_CONCAT2(a, b) a##b
#define NYX_COMMAND_CONCAT(a, b) NYX_COMMAND_CONCAT2(a, b)
#define NYX_COMMAND(name, usage, summary, fn)                                                     \
    static const ::nyxtool::Registrar NYX_COMMAND_CONCAT(nyxCommandRegistrar_, __LINE__)(           \
        ::nyxtool::Command{name, usage, summary, fn})
