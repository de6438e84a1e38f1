// Runs a registered `nyx` subcommand in the test's process and captures what it prints.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "command.h"
#include "common/test_env.h"

namespace tooltest {

struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

inline ToolRun runTool(std::vector<std::string> args) {
    // Reading a cell asks the compiler rules; an empty rules file keeps the message about a
    // missing one out of what the tests compare.
    if (std::getenv("ZIL_NYX_COMPILER_RULES") == nullptr) {
        const std::string rules = nyxtest::testDirectory() + "/no_compilers.rules";
        std::fclose(std::fopen(rules.c_str(), "w"));
        setenv("ZIL_NYX_COMPILER_RULES", rules.c_str(), 1);
    }
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
