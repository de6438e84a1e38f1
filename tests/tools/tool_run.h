// Runs a registered `nyx` subcommand in the test's process and captures what it prints.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "command.h"

namespace tooltest {

struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

inline ToolRun runTool(std::vector<std::string> args) {
    std::vector<char *> argv;
    for (std::string &a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (const nyxtool::Command &c : nyxtool::commands()) {
        if (args[0] != c.name) continue;
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const int status = c.run(static_cast<int>(args.size()), argv.data());
        std::fflush(stdout);
        std::string out = testing::internal::GetCapturedStdout();
        return {status, out, testing::internal::GetCapturedStderr()};
    }
    ADD_FAILURE() << "no command " << args[0];
    return {-1, "", ""};
}

} // namespace tooltest
