// The compiler rules file: where it is found, how its lines read, the order of its rules, a
// missing file, the re-read when the schematic bit flips, and the rank the cell read asks for.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "cfidr.h"
#include "common/test_env.h"
#include "compiler/compiler.h"
#include "utils/settings.h"

namespace {

const std::string &home() {
    return nyxtest::testDirectory();
}

// Writes the rules file of the home directory (normal or schematic).
void writeRules(const std::string &text, const char *file = "nyxCompilers.rules") {
    mkdir((home() + "/lib").c_str(), 0777);
    std::ofstream(home() + "/lib/" + file, std::ios::binary) << text;
}

// The list as "viewType compiler priority" lines, in list order.
std::vector<std::string> listed() {
    std::vector<std::string> out;
    for (nyxCompilerRule *r = nyxCompilerIntf::getCompilerList(); r != nullptr; r = r->next) {
        out.push_back(r->viewType + " " + r->compiler + " " + std::to_string(r->priority));
    }
    return out;
}

std::string compilerOf(const char *viewType) {
    nyxCompilerRule *r = nyxCompilerIntf::findCompiler(viewType);
    return r != nullptr ? r->compiler : "(none)";
}

TEST(CompilerRules, AscendingPriorityAndTheLaterLineFirstAmongEquals) {
    writeRules("v /bin/first 5\nv /bin/second 5\nw /bin/w\n");
    EXPECT_EQ(compilerOf("v"), "/bin/second");
    EXPECT_EQ(nyxCompilerIntf::ruleRank("w"), 0); // default priority 1
    EXPECT_EQ(nyxCompilerIntf::ruleRank("v"), 1);
    EXPECT_EQ(nyxCompilerIntf::ruleRank("V"), -1); // view types compare exactly
    EXPECT_EQ(nyxCompilerIntf::ruleRank(nullptr), -1);

    nyxCompilerIntf::clearRules();
    writeRules("v /bin/first 5\nv /bin/second 5\nw /bin/w\nv /bin/third 3\n");
    EXPECT_EQ(compilerOf("v"), "/bin/third");
    EXPECT_EQ(listed(), (std::vector<std::string>{"w /bin/w 1", "v /bin/third 3", "v /bin/second 5",
                                                  "v /bin/first 5"}));
    EXPECT_EQ(nyxCompilerIntf::topPriority(), 1);
}

TEST(CompilerRules, PrioritiesReadAsAtoiAndClampTo32Bits) {
    writeRules("a /c 12abc\nb /c abc\nc /c 99999999999\nd /c -99999999999\ne /c +7 extra tokens\n");
    EXPECT_EQ(listed(),
              (std::vector<std::string>{"d /c " + std::to_string(INT32_MIN), "b /c 0", "e /c 7",
                                        "a /c 12", "c /c " + std::to_string(INT32_MAX)}));
    EXPECT_EQ(nyxCompilerIntf::topPriority(), INT32_MIN);
}

TEST(CompilerRules, CommentsShortAndOverlongLinesMakeNoRule) {
    const std::string longest = "k /" + std::string(1023 - 3, 'x'); // 1023 bytes: taken
    const std::string overlong = "l /" + std::string(1024 - 3, 'y');
    writeRules("#c /bin/comment\n onlyone\n\n \t \n" + overlong + " 1\n" + longest +
               "\ncrlf /bin/crlf 2\r\n" + std::string("nul /bin/n\0ul 4\n", 17));
    testing::internal::CaptureStderr();
    std::vector<std::string> rules = listed();
    const std::string err = testing::internal::GetCapturedStderr();
    // A NUL byte ends its line's text.
    EXPECT_EQ(rules, (std::vector<std::string>{"nul /bin/n 1", longest + " 1", "crlf /bin/crlf 2"}));
    // One line says which line was skipped; its tail made no rule of its own.
    EXPECT_NE(err.find("Line 5 of the compiler rules file"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}

TEST(CompilerRules, ZilHomeIsReplacedOnlyAtAPathBoundary) {
    writeRules("a $ZIL_HOME/bin/cc\nb $ZIL_HOME\nc $ZIL_HOMEX/cc\nd NONE\ne /abs/$ZIL_HOME\n");
    EXPECT_EQ(compilerOf("a"), home() + "/bin/cc");
    EXPECT_EQ(compilerOf("b"), home());
    EXPECT_EQ(compilerOf("c").rfind(home(), 0), std::string::npos) << compilerOf("c");
    EXPECT_EQ(compilerOf("d"), "NONE");
    EXPECT_EQ(compilerOf("e"), "/abs/$ZIL_HOME");
}

TEST(CompilerRules, TheFileIsFoundByTheEnvironmentAndTheHomeDefault) {
    std::ofstream(home() + "/elsewhere.rules") << "x /bin/x\n";
    setenv("ZIL_NYX_COMPILER_RULES", (home() + "/elsewhere.rules").c_str(), 1);
    EXPECT_EQ(compilerOf("x"), "/bin/x");
    nyxCompilerIntf::clearRules();

    unsetenv("ZIL_NYX_COMPILER_RULES");
    unsetenv("ZIL_HOME");
    testing::internal::CaptureStderr();
    EXPECT_EQ(nyxCompilerIntf::getCompilerList(), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "NYX: Unable to open the NYX compiler rules file \"/obol/lib/nyxCompilers.rules\"\n");
}

TEST(CompilerRules, AMissingFileIsReportedOnceAndReadOnceItExists) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(nyxCompilerIntf::findCompiler("v"), nullptr);
    EXPECT_EQ(nyxCompilerIntf::ruleRank("v"), -1);
    EXPECT_EQ(nyxCompilerIntf::topPriority(), 0);
    nyxCompilerIntf::setCompiler("/bin/x"); // no effect on an empty list
    nyxCompilerIntf::setHostname("host");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "NYX: Unable to open the NYX compiler rules file \"" + home() +
                  "/lib/nyxCompilers.rules\"\n");
    writeRules("v /bin/v\n");
    EXPECT_EQ(compilerOf("v"), "/bin/v");
    EXPECT_EQ(nyxCompilerIntf::getCompilerList()->hostName, "");
}

TEST(CompilerRules, AFileWithoutRulesIsReadOnceUntilCleared) {
    writeRules("# no compilers here\n");
    EXPECT_EQ(nyxCompilerIntf::getCompilerList(), nullptr);
    writeRules("v /bin/v\n");
    EXPECT_EQ(nyxCompilerIntf::findCompiler("v"), nullptr);  // not read again per lookup
    nyxCompilerIntf::clearRules();
    EXPECT_EQ(compilerOf("v"), "/bin/v");
}

TEST(CompilerRules, FlippingTheSchematicBitReadsTheOtherFile) {
    static int stops = 0;
    nyxCompilerIntf::beforeRulesCleared = [] { ++stops; };
    writeRules("v /bin/netlist\n");
    writeRules("v /bin/schematic\n", "svcCompilers.rules");
    EXPECT_EQ(compilerOf("v"), "/bin/netlist");
    nyxSettings::setNameOptionBits(nyxSettings::kSchematicCompilerMode);
    EXPECT_EQ(compilerOf("v"), "/bin/schematic");
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(compilerOf("v"), "/bin/schematic"); // read once per flip
    nyxSettings::clearNameOptionBits(nyxSettings::kSchematicCompilerMode);
    EXPECT_EQ(compilerOf("v"), "/bin/netlist");
    EXPECT_EQ(stops, 2);
    nyxCompilerIntf::beforeRulesCleared = nullptr;
}

TEST(CompilerRules, SetCompilerConvertsThePathAndForgetsTheProcess) {
    writeRules("v /bin/old 2\nw /bin/old 3\n");
    nyxCompilerRule *first = nyxCompilerIntf::getCompilerList();
    auto *running = reinterpret_cast<nyxCompilerProc *>(first); // any non-null address
    first->proc = running;
    first->next->proc = running;
    nyxCompilerIntf::setCompiler("$ZIL_HOME/bin/new");
    EXPECT_EQ(first->compiler, home() + "/bin/new");
    EXPECT_EQ(first->proc, nullptr);
    EXPECT_EQ(first->next->compiler, "/bin/old"); // the other rule keeps its compiler
    EXPECT_EQ(first->next->proc, running);
    nyxCompilerIntf::setCompiler("NONE");
    EXPECT_EQ(first->compiler, "NONE");
    nyxCompilerIntf::setHostname("far");
    EXPECT_EQ(first->hostName, "far");
    first->next->proc = nullptr;
}

// The cell read registers the entries whose extension has the best-ranked rule.
std::vector<std::string> g_registered;
void recordEntry(nyxCell *, const char *entry, cfidrErrorT *) {
    g_registered.push_back(entry);
}

TEST(CompilerRules, TheCellReadRanksEntriesByTheirRule) {
    writeRules("vlog /bin/vc 1\nedif /bin/ec 2\n");
    ASSERT_EQ(mkdir("design", 0777), 0);
    ASSERT_EQ(mkdir("design/top", 0777), 0);
    for (const char *f : {"design/top/a.vlog", "design/top/b.edif", "design/top/c.txt"})
        std::ofstream(f) << "x";
    cfidrErrorT e = 0;
    cfidrPIInit(&e);
    ASSERT_EQ(nyxLater.compilerRuleRank("edif"), 1);
    ASSERT_EQ(nyxLater.compilerRuleRank("txt"), -1);
    nyxLater.registerCompiledView = recordEntry;
    cfiOID lib = cfidrPIOpenLib((home() + "/design").c_str(), cfidrReadMode, &e);
    ASSERT_EQ(e, 0);
    cfidrIterT views = cfidrCellGetViews(cfidrLibFindCellByName(lib, "top", &e), &e);
    cfidrIterQuit(views, &e);
    EXPECT_EQ(g_registered, std::vector<std::string>{"a.vlog"});
    nyxLater.registerCompiledView = nullptr;
    // The release clears the rules: the next need reads the file again.
    cfidrPIQuit(&e);
    writeRules("vlog /bin/other\n");
    EXPECT_EQ(compilerOf("vlog"), "/bin/other");
}

} // namespace
