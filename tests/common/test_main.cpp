// Shared main of every test program. Each test case starts in a fresh temporary directory that is
// also its HOME and ZIL_HOME, with the library's environment variables cleared, so that nothing
// from the machine leaks into a test and tests never see each other's files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "common/test_env.h"

namespace {

const char *const kClearedVariables[] = {
    "ZIL_CFI_LIBPATH", "ZIL_NYX_LIBRARYMAP",   "ZIL_SVC_COMPILER", "ZIL_NYX_CASE_SENSITIVE",
    "ZIL_NYX_COMPILER_RULES", "ZIL_LOCATION_MAP", "ZIL_TMPDIR",     "LANG",
};

std::string g_testDir;
std::string g_startDir;

class FreshDirectoryListener : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo &) override {
        char pattern[] = "/tmp/nyx-test-XXXXXX";
        const char *dir = mkdtemp(pattern);
        if (dir == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        g_testDir = dir;
        for (const char *name : kClearedVariables) unsetenv(name);
        // Remove every fix-switch variable inherited from the caller.
        std::vector<std::string> toClear;
        for (char **e = environ; *e != nullptr; ++e) {
            std::string entry(*e);
            if (entry.rfind("NYX_DISABLE_DR", 0) == 0) toClear.push_back(entry.substr(0, entry.find('=')));
        }
        for (const std::string &name : toClear) unsetenv(name.c_str());
        setenv("HOME", g_testDir.c_str(), 1);
        setenv("ZIL_HOME", g_testDir.c_str(), 1);
        setenv("ZIL_LOCATION_MAP", "NO_MAP", 1);
        if (chdir(g_testDir.c_str()) != 0) std::abort();
    }
    void OnTestEnd(const testing::TestInfo &) override {
        if (chdir(g_startDir.c_str()) != 0) std::abort();
        std::error_code ec;
        std::filesystem::remove_all(g_testDir, ec);
        g_testDir.clear();
    }
};

} // namespace

namespace nyxtest {
const std::string &testDirectory() { return g_testDir; }
} // namespace nyxtest

int main(int argc, char **argv) {
    testing::InitGoogleTest(&argc, argv);
    char cwd[4096];
    g_startDir = getcwd(cwd, sizeof cwd) != nullptr ? cwd : "/";
    testing::UnitTest::GetInstance()->listeners().Append(new FreshDirectoryListener);
    return RUN_ALL_TESTS();
}
