// Location map: finding and reading map files, both conversions, overrides, includes, merging,
// home expansion and the language map. Diagnostics are compared with their exact texts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "common/test_env.h"
#include "paths/locmap_int.h"
#include "paths/paths.h"
#include "utils/fileio.h"

namespace {

std::string dir() { return nyxtest::testDirectory(); }

void writeFile(const std::string &path, const std::string &text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

void makeDirs(const std::string &path) {
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') ::mkdir(path.substr(0, i).c_str(), 0777);
    }
}

std::string toHard(const char *path) {
    char buf[kLocMapPathMax];
    const char *result = nyxLocMapSoftToHard(path, buf, sizeof buf);
    if (result == nullptr) {
        EXPECT_STREQ(buf, "") << "a failed conversion leaves an empty buffer";
        return "<null>";
    }
    return result;
}

std::string toSoft(const char *path) {
    char buf[kLocMapPathMax];
    const char *result = nyxLocMapHardToSoft(path, buf, sizeof buf);
    return result == nullptr ? "<null>" : result;
}

// Runs f and returns what it wrote to the standard error stream.
template <class F> std::string stderrOf(F f) {
    testing::internal::CaptureStderr();
    f();
    return testing::internal::GetCapturedStderr();
}

// Makes text the map file named by ZIL_LOCATION_MAP and reads it; returns the diagnostics.
std::string useMap(const std::string &text, const std::string &name = "map") {
    writeFile(dir() + "/" + name, text);
    setenv("ZIL_LOCATION_MAP", (dir() + "/" + name).c_str(), 1);
    nyxLocMapReset();
    return stderrOf([] { nyxLocMapDisabled(); });
}

TEST(LocMap, FindsTheMapFileInSearchOrderOrDisablesMapping) {
    const std::string home = dir() + "/h", zilHome = dir() + "/z";
    makeDirs(home + "/zil");
    makeDirs(zilHome + "/etc");
    makeDirs(zilHome + "/shared/etc");
    setenv("HOME", home.c_str(), 1);
    setenv("ZIL_HOME", zilHome.c_str(), 1);
    unsetenv("ZIL_LOCATION_MAP");
    const std::string files[] = {dir() + "/zil_location_map", home + "/zil/zil_location_map",
                                 zilHome + "/etc/zil_location_map", zilHome + "/shared/etc/zil_location_map"};
    for (const std::string &f : files) writeFile(f, "ZIL_LOCATION_MAP_1\n$P /p\n");
    for (const std::string &f : files) {
        nyxLocMapReset();
        ASSERT_NE(nyxLocMapFileName(), nullptr);
        EXPECT_EQ(nyxLocMapFileName(), f);
        EXPECT_EQ(toHard("$P/x"), "/p/x");
        ::unlink(f.c_str());
    }
    // No map anywhere: mapping is disabled and soft paths stay as they are.
    nyxLocMapReset();
    EXPECT_TRUE(nyxLocMapDisabled());
    EXPECT_EQ(nyxLocMapFileName(), nullptr);
    setenv("P", "/env", 1);
    EXPECT_EQ(toHard("$P/x"), "$P/x");

    // "NO_MAP" disables mapping even when a map exists; every path converts to itself.
    writeFile(files[0], "ZIL_LOCATION_MAP_1\n$P /p\n");
    setenv("ZIL_LOCATION_MAP", "NO_MAP", 1);
    nyxLocMapReset();
    for (const char *path : {"$P/x", "/p/x", "$UNKNOWN", "/"}) {
        EXPECT_EQ(toHard(path), path);
        EXPECT_EQ(toSoft(path), path);
    }
    // A map named by the variable that does not exist is reported; soft names then come from the
    // environment.
    setenv("ZIL_LOCATION_MAP", "missing_map", 1);
    nyxLocMapReset();
    EXPECT_EQ(stderrOf([] { EXPECT_EQ(toHard("$P/x"), "/env/x"); }),
              "Error:  Can't open location map file missing_map.\n");
}

TEST(LocMap, ConvertsBothWaysAtSeparatorBoundaries) {
    EXPECT_EQ(useMap("# projects\n\nZIL_LOCATION_MAP_1\n$PROJ /a/b/\n$TOOLS\t/opt/tools\r\n"
                     "  /opt/tools2\n$X /x\n"),
              "");
    EXPECT_EQ(toHard("$PROJ"), "/a/b");
    EXPECT_EQ(toHard("$PROJ/lib/cell"), "/a/b/lib/cell");
    EXPECT_EQ(toHard("$TOOLS\\bin"), "/opt/tools\\bin");
    EXPECT_EQ(toSoft("/a/b/lib"), "$PROJ/lib");
    EXPECT_EQ(toSoft("/a/b"), "$PROJ");
    EXPECT_EQ(toSoft("/opt/tools2/x"), "$TOOLS/x");
    EXPECT_EQ(toSoft("/a/bc"), "/a/bc") << "/a/b must not cover /a/bc";
    EXPECT_EQ(toSoft("/"), "/");
    EXPECT_EQ(toSoft("$PROJ/known"), "$PROJ/known");
    // Relative paths are made absolute first.
    EXPECT_EQ(toHard("rel/x"), dir() + "/rel/x");
    EXPECT_EQ(toHard("~/x"), dir() + "/x");
    EXPECT_EQ(toHard("~"), dir());
    EXPECT_EQ(toSoft("rel"), dir() + "/rel");
    // Soft names that the map does not know come from the environment.
    setenv("OTHER", "/other", 1);
    EXPECT_EQ(toHard("$OTHER/y"), "/other/y");

    struct Failure {
        bool soft;
        const char *path, *message;
    } failures[] = {
        {true, "", ""},
        {true, "$PROJX/y", "Error:  Undefined environment variable \"PROJX\" in soft name \"$PROJX/y\".\n"},
        {true, "$/y", "Error:  Syntax error in soft name \"$/y\".\n"},
        {true, "~user/x", "Error:  Syntax error in leaf name \"~user/x\".\n"},
        {false, "", "Error:  Syntax error in hard name \"\".\n"},
        {false, "$", "Error:  Syntax error in hard name \"$\".\n"},
        {false, "$NOPE/x", "Error:  Unknown soft name \"$NOPE/x\".\n"},
        {false, "~user", "Error:  Syntax error in leaf name \"~user\".\n"},
    };
    for (const Failure &f : failures) {
        EXPECT_EQ(stderrOf([&] { EXPECT_EQ(f.soft ? toHard(f.path) : toSoft(f.path), "<null>"); }), f.message)
            << f.path;
    }
    unsetenv("HOME");
    EXPECT_EQ(stderrOf([] { EXPECT_EQ(toHard("~/x"), "<null>"); }),
              "Error:  Cannot get environment variable \"HOME\".\n");
    // A current directory that was removed cannot make a relative path absolute.
    makeDirs(dir() + "/gone");
    ASSERT_EQ(::chdir((dir() + "/gone").c_str()), 0);
    ::rmdir((dir() + "/gone").c_str());
    EXPECT_EQ(stderrOf([] { EXPECT_EQ(toSoft("x"), "<null>"); }), "Error:  Can't get current working directory.\n");
    ASSERT_EQ(::chdir(dir().c_str()), 0);
    // An input returned unchanged is the caller's own string.
    const char *hard = "/elsewhere/x";
    char buf[kLocMapPathMax];
    EXPECT_EQ(nyxLocMapHardToSoft(hard, buf, sizeof buf), hard);
    // Results that do not fit the buffer fail instead of overflowing it.
    char small[8];
    EXPECT_EQ(stderrOf([&] { EXPECT_EQ(nyxLocMapSoftToHard("$PROJ/long/path", small, sizeof small), nullptr); }),
              "Error:  Path name too long \"$PROJ/long/path\".\n");
    nyxLocMapClearCache();
    EXPECT_EQ(toHard("$PROJ/lib"), "/a/b/lib");
}

TEST(LocMap, ForceMakesUnknownHardNamesAnError) {
    useMap("ZIL_LOCATION_MAP_2 force\n$FP /p\n");
    EXPECT_TRUE(nyxLocMapGlobal().force());
    EXPECT_EQ(toSoft("/p/q"), "$FP/q");
    EXPECT_EQ(stderrOf([] { EXPECT_EQ(toSoft("/q"), "<null>"); }), "Error:  Unknown hard name \"/q\".\n");
    // "force" counts only on the top-level file.
    writeFile(dir() + "/inc", "ZIL_LOCATION_MAP_2 force\n$Q /q\n");
    useMap("ZIL_LOCATION_MAP_2\nINCLUDE " + dir() + "/inc\n");
    EXPECT_FALSE(nyxLocMapGlobal().force());
    EXPECT_EQ(toSoft("/r"), "/r");
}

TEST(LocMap, SearchFlagPicksTheFirstHardNameThatExists) {
    const std::string one = dir() + "/one", two = dir() + "/two";
    makeDirs(two + "/cell");
    EXPECT_EQ(useMap("ZIL_LOCATION_MAP_2\n$S -t design -s " + one + "\n" + two + "\n$N " + one + " " + two + "\n"),
              "");
    const nyxLocMapEntry *s = nyxLocMapGlobal().findEntry("$S");
    ASSERT_NE(s, nullptr);
    EXPECT_TRUE(s->search && s->typed);
    EXPECT_EQ(s->typeWord, "design");
    EXPECT_EQ(toHard("$S/cell"), two + "/cell");
    EXPECT_EQ(toHard("$S/none"), one + "/none") << "nothing exists: the first hard name";
    EXPECT_EQ(toHard("$N/cell"), one + "/cell") << "without -s the first hard name";
    // The answer follows the disk, not an earlier answer.
    makeDirs(one + "/cell");
    EXPECT_EQ(toHard("$S/cell"), one + "/cell");
    // Options are words of version 2 maps only.
    EXPECT_EQ(useMap("ZIL_LOCATION_MAP_1\n$S -s /a\n"), "Error:  Syntax error in location map file " + dir() +
                                                             "/map at \"-s\".\n");
}

TEST(LocMap, EnvironmentVariableOverridesTheMap) {
    setenv("PROJ", "/from/env/", 1);
    setenv("LIBS", "/libs/env", 1);
    EXPECT_EQ(useMap("ZIL_LOCATION_MAP_1\n$PROJ /from/map\n /from/map2\n$LIBS\n$PLAIN /o\n"),
              "Warning:  Environment variable override for $PROJ in location map file " + dir() + "/map.\n");
    EXPECT_EQ(toHard("$PROJ/x"), "/from/env/x");
    EXPECT_EQ(toSoft("/from/env/x"), "$PROJ/x");
    EXPECT_EQ(toSoft("/from/map/x"), "/from/map/x");
    EXPECT_EQ(toHard("$LIBS"), "/libs/env") << "an entry may list no names when the environment gives one";
    EXPECT_EQ(toHard("$PLAIN/y"), "/o/y");
    setenv("PROJ", "", 1);  // an empty value does not override
    EXPECT_EQ(useMap("ZIL_LOCATION_MAP_1\n$PROJ /from/map\n"), "");
    EXPECT_EQ(toHard("$PROJ"), "/from/map");
}

TEST(LocMap, RepeatedSoftNamesAreMerged) {
    writeFile(dir() + "/inc", "ZIL_LOCATION_MAP_2\n$A -t lib -s /a3 /a1\n");
    EXPECT_EQ(useMap("ZIL_LOCATION_MAP_2\n$A /a1\n$B /b\n$A /a2\nINCLUDE " + dir() + "/inc\n"), "");
    const auto &entries = nyxLocMapGlobal().entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].softName, "$A");
    EXPECT_EQ(entries[0].hardNames, (std::vector<std::string>{"/a1", "/a2", "/a3"}));
    EXPECT_TRUE(entries[0].search && entries[0].typed);
    EXPECT_EQ(toSoft("/a3/x"), "$A/x");
    // The limit of twenty hard names holds for the merged entry.
    std::string names;
    for (int i = 0; i < 20; ++i) names += " /d" + std::to_string(i);
    EXPECT_EQ(useMap("ZIL_LOCATION_MAP_1\n$D" + names + "\n$D /d0 /d20\n"),
              "Error:  Too many names in location map file " + dir() + "/map at \"/d20\".\n");
    EXPECT_EQ(nyxLocMapGlobal().entries()[0].hardNames.size(), 20u);
}

TEST(LocMap, IncludesAreReadOnceAndNestingIsBounded) {
    setenv("MAPS", dir().c_str(), 1);
    writeFile(dir() + "/a", "ZIL_LOCATION_MAP_2\n$A /a\nINCLUDE $MAPS/b\n$A2 /a2\n");
    writeFile(dir() + "/b", "ZIL_LOCATION_MAP_1\n$B /b\n");
    // The top-level file includes a, which includes b and (through another spelling) the top.
    EXPECT_EQ(useMap("ZIL_LOCATION_MAP_2\n$T /t\nINCLUDE " + dir() + "/a\nINCLUDE " + dir() +
                     "/./map\nINCLUDE $MAPS/a\n$U /u\n"),
              "");
    std::vector<std::string> names;
    for (const nyxLocMapEntry &e : nyxLocMapGlobal().entries()) names.push_back(e.softName);
    EXPECT_EQ(names, (std::vector<std::string>{"$T", "$A", "$B", "$A2", "$U"}));

    EXPECT_EQ(useMap("ZIL_LOCATION_MAP_2\n$T /t\nINCLUDE $NOSUCHVAR/x\n$U /u\n"),
              "Error:  Undefined environment variable \"NOSUCHVAR\" in location map file " + dir() + "/map.\n");
    EXPECT_EQ(nyxLocMapGlobal().entries().size(), 1u) << "entries before the error stay";

    // A chain of distinct files deeper than the limit stops with a diagnostic.
    for (int i = 0; i < 30; ++i)
        writeFile(dir() + "/chain" + std::to_string(i),
                  "ZIL_LOCATION_MAP_2\n$C" + std::to_string(i) + " /c\nINCLUDE $MAPS/chain" + std::to_string(i + 1) +
                      "\n");
    std::string err = useMap("ZIL_LOCATION_MAP_2\nINCLUDE $MAPS/chain0\n");
    EXPECT_EQ(err, "Error:  Too many nested includes in location map file " + dir() + "/chain" +
                       std::to_string(nyxLocMap::kMaxIncludeDepth - 1) + ".\n");
    EXPECT_EQ(nyxLocMapGlobal().entries().size(), static_cast<size_t>(nyxLocMap::kMaxIncludeDepth));
    // Directories and other non-regular files are never read as maps.
    EXPECT_EQ(useMap("ZIL_LOCATION_MAP_2\nINCLUDE /dev/zero\n"),
              "Error:  Can't open location map file /dev/zero.\n");
}

TEST(LocMap, MalformedMapsStopReadingWithTheirDiagnostic) {
    const std::string m = "Error:  Syntax error in location map file " + dir() + "/map";
    struct Case {
        std::string text, message;
        size_t entriesKept;
    } cases[] = {
        {"", m + " at first line.\n", 0},
        {"ZIL_LOCATION_MAP_3\n$A /a\n", m + " at version specification \"ZIL_LOCATION_MAP_3\".\n", 0},
        {"ZIL_LOCATION_MAP_12\n", m + " at version specification \"ZIL_LOCATION_MAP_12\".\n", 0},
        {"$A /a\n", m + " at version specification \"$A\".\n", 0},
        {"ZIL_LOCATION_MAP_1\n$A /a\n$1B /b\n", "Error:  Syntax error in soft name prefix at \"$1B\".\n", 1},
        {"ZIL_LOCATION_MAP_1\n$A-B /b\n", "Error:  Syntax error in soft name prefix at \"$A-B\".\n", 0},
        {"ZIL_LOCATION_MAP_1\n$ /b\n", "Error:  Syntax error in soft name prefix at \"$\".\n", 0},
        {"ZIL_LOCATION_MAP_1\n/a\n", m + " at \"/a\".\n", 0},
        {"ZIL_LOCATION_MAP_1\n$A /a rel\n", m + " at \"rel\".\n", 1},
        {"ZIL_LOCATION_MAP_1\n$A c:/a C:\\b \\\\srv\\x\n$B\n$C /c\n", m + ".\n", 2},
        {"ZIL_LOCATION_MAP_1\n$A /a\nINCLUDE /x\n", m + " at \"INCLUDE\".\n", 1},
        {"ZIL_LOCATION_MAP_2\n$A /a\nINCLUDE\n", m + " at \"INCLUDE\".\n", 1},
        {"ZIL_LOCATION_MAP_2\n$A -t\n", m + " at \"-t\".\n", 1},
        {"ZIL_LOCATION_MAP_1\n$A /" + std::string(3000, 'a') + "\n$B /b\n", m + " at \"$A /" + std::string(36, 'a') + "\".\n", 0},
        {std::string(3000, 'Z') + "\n", m + " at first line.\n", 0},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(useMap(c.text), c.message) << c.text.substr(0, 60);
        EXPECT_EQ(nyxLocMapGlobal().entries().size(), c.entriesKept) << c.text.substr(0, 60);
    }
}

// Every open and read of a map file goes through the file layer: a failure injected into any of
// them is reported as the file that could not be opened, and none of that file's lines are used.
TEST(LocMap, AFailedReadAddsNothingOfTheFileToTheMap) {
    const std::string top = dir() + "/map", inc = dir() + "/inc";
    writeFile(inc, "ZIL_LOCATION_MAP_1\n$I /i\n");
    writeFile(top, "ZIL_LOCATION_MAP_2\n$T /t\nINCLUDE " + inc + "\n$U /u\n");
    setenv("ZIL_LOCATION_MAP", top.c_str(), 1);
    auto softNames = [] {
        std::vector<std::string> names;
        for (const nyxLocMapEntry &e : nyxLocMapGlobal().entries()) names.push_back(e.softName);
        return names;
    };
    nyxLocMapReset();
    nyxFileIO::failOperation(0);
    EXPECT_EQ(stderrOf([] { nyxLocMapDisabled(); }), "");
    ASSERT_EQ(nyxFileIO::operationCount(), 4) << "open and read of each of the two files";
    EXPECT_EQ(softNames(), (std::vector<std::string>{"$T", "$I", "$U"}));

    for (long n = 1; n <= 4; ++n) {
        nyxLocMapReset();
        nyxFileIO::failOperation(n);
        const std::string err = stderrOf([] { nyxLocMapDisabled(); });
        nyxFileIO::failOperation(0);
        const bool topFailed = n <= 2;
        EXPECT_EQ(err, "Error:  Can't open location map file " + (topFailed ? top : inc) + ".\n") << n;
        EXPECT_EQ(softNames(), topFailed ? std::vector<std::string>{} : std::vector<std::string>{"$T"}) << n;
        EXPECT_FALSE(nyxLocMapDisabled()) << "a map that exists but cannot be read does not disable mapping";
        EXPECT_EQ(toSoft("/i/x"), "/i/x") << n;
    }
}

TEST(LocMap, HomeExpansionWithLanguageAndTemporaryDirectory) {
    const std::string z = dir();
    char buf[kLocMapPathMax];
    auto expand = [&](const char *path) {
        nyxHomeStatus status = nyxLocMapExpandHome(path, buf, sizeof buf);
        return status == nyxHomeStatus::Ok ? std::string(buf) : status == nyxHomeStatus::TooLong ? "<long>" : "<unset>";
    };
    EXPECT_EQ(expand("/obol"), z);
    EXPECT_EQ(expand("/obol/lib/$LANG/x$LANG"), z + "/lib/USASCII/xUSASCII");
    EXPECT_EQ(expand("$ZIL_HOME/etc"), z + "/etc");
    EXPECT_EQ(expand("/obolus/x"), "/obolus/x");
    EXPECT_EQ(expand("/other/$LANG"), "/other/$LANG");
    EXPECT_EQ(expand("/tmp/x"), "/tmp/x") << "without ZIL_TMPDIR /tmp stays";
    EXPECT_EQ(expand(("/" + std::string(kLocMapPathMax, 'x')).c_str()), "<long>");
    EXPECT_EQ(expand(("/obol/" + std::string(kLocMapPathMax - 8, 'x')).c_str()), "<long>");

    // The language map: etc/cust first, then the string registry; LANG, "$LANG", "default".
    makeDirs(z + "/etc/cust");
    makeDirs(z + "/pkgs/base/string_registry");
    writeFile(z + "/pkgs/base/string_registry/zil_lang_map", "default FALLBACK\nfr_FR REGISTRY\n");
    setenv("LANG", "de_DE", 1);
    nyxLocMapReset();
    EXPECT_STREQ(nyxLocMapLanguage(), "FALLBACK");
    writeFile(z + "/etc/cust/zil_lang_map", "# languages\nfr_FR\tFRENCH\n$LANG DOLLAR\nde_DE GERMAN\n");
    nyxLocMapReset();
    EXPECT_EQ(expand("$ZIL_HOME/msg/$LANG"), z + "/msg/GERMAN");
    setenv("LANG", "it_IT", 1);
    nyxLocMapReset();
    EXPECT_STREQ(nyxLocMapLanguage(), "DOLLAR");
    setenv("LANG", "fr_FR", 1);
    EXPECT_STREQ(nyxLocMapLanguage(), "DOLLAR") << "the language is read once";

    setenv("ZIL_TMPDIR", "/scratch", 1);
    nyxLocMapReset();
    EXPECT_EQ(expand("/tmp"), "/scratch");
    EXPECT_EQ(expand("/tmp/a/$LANG"), "/scratch/a/FRENCH");
    EXPECT_EQ(expand("/tmpx"), "/tmpx");
    EXPECT_EQ(toHard("/tmp/y"), "/scratch/y");

    unsetenv("ZIL_HOME");
    nyxLocMapReset();
    EXPECT_EQ(expand("/obol/x"), "<unset>");
    EXPECT_STREQ(nyxLocMapLanguage(), "USASCII");
    EXPECT_EQ(stderrOf([] { EXPECT_EQ(toHard("$ZIL_HOME/x"), "<null>"); }),
              "Error:  Undefined environment variable \"ZIL_HOME\" in soft name \"$ZIL_HOME/x\".\n");
}

}  // namespace
