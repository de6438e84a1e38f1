// Property files as hostile input, the types beyond the plain four, durable saves under injected
// I/O failures, and what a cell's read records of its directory.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "cfidr.h"
#include "dm/store/storeInt.h"
#include "dm/dm_checks.h"
#include "nyxpriv.h"
#include "utils/fileio.h"

namespace {

// The names of the records parsed, and "!" last when the text is damaged.
std::vector<std::string> parsedNames(const std::string &text) {
    std::vector<std::string> names;
    bool whole = nyxPropFile::parse(text.data(), text.size(), [&](const nyxPropFile::Record &r) {
        names.emplace_back(r.name);
        return true;
    });
    if (!whole) names.emplace_back("!");
    return names;
}

std::string slurp(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool exists(const std::string &path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// What stands at path, so that a test can tell whether it was touched: its kind, and for a regular
// file its inode, size and (when small) its bytes.
std::string snapshot(const std::string &path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return "missing";
    if (S_ISLNK(st.st_mode)) return "link";
    if (S_ISDIR(st.st_mode)) return "directory";
    if (S_ISFIFO(st.st_mode)) return "pipe";
    std::string out = "file " + std::to_string(st.st_ino) + " " + std::to_string(st.st_size);
    return st.st_size < 4096 ? out + " " + slurp(path) : out;
}

void restart() {
    cfidrErrorT e = 0;
    cfidrPIQuit(&e);
    cfidrPIInit(&e);
}

} // namespace

TEST(PropertyFiles, MalformedRecordsStopReadingAndKeepEarlierOnes) {
    const std::string good = "1 a2 1\n";
    using V = std::vector<std::string>;
    EXPECT_EQ(parsedNames(good + "1 b5 3 xyz\n1 c3 0.5\n"), (V{"a", "b", "c"}));
    // Each of these ends the reading after "a" and marks the text damaged.
    for (const std::string &bad : std::vector<std::string>{
             "-1 b2 1\n",          // negative name length
             "99 b2 1\n",          // name length beyond the end of the file
             "1 b",                // missing type
             "1 b2 ",              // missing value
             "1 b2 x\n",           // value not a number
             "1 b2 99999999999\n", // value out of range
             "1 b5 -4 abc\n",      // negative string length
             "1 b5 400 abc\n",     // string length beyond the end
             "1 b6 1\n",           // type no writer produces
             "1 b42 1\n",          // unknown type
             std::string{'1', ' ', '\0', '2', ' ', '1', '\n'}, // NUL byte in a name
             std::string("1 b5 1 \0\n", 10),                   // NUL byte in a text
             "1 b3 nan\n",                   // not a finite float
             "1 b3 1e300\n",                 // float out of range
             "1",                            // length and nothing else
         }) {
        EXPECT_EQ(parsedNames(good + bad), (V{"a", "!"})) << bad;
    }
    EXPECT_EQ(parsedNames(""), V{});
    EXPECT_EQ(parsedNames("  \n"), V{});
}

TEST(PropertyFiles, EveryValueTypeRoundTripsThroughTheFileForm) {
    cfidrErrorT e = 0;
    cfidrPIInit(&e);
    nyxPropList *list = nullptr;
    int owner = 0;
    const nyxPropOwner o = {&owner, 0, nyxCodeLib, nyx::getGlobalHeap(), nullptr};
    auto make = [&](const char *name) {
        return nyxPropCreate(list, o, name, &e).member;
    };
    // Each index is taken before the list is passed: the first creation makes the list.
    uint32_t k = make("b");
    nyxPropSetBoolean(list, k, 1, &e);
    k = make("i");
    nyxPropSetInt(list, k, -7, &e);
    k = make("f");
    nyxPropSetFloat(list, k, -1.25f, &e);
    k = make("s");
    nyxPropSetString(list, k, "two\nlines", &e);
    k = make("t");
    setTripletValue(list, k, "1:2:3", &e);
    k = make("ct");
    setCasetripletValue(list, k, "a:b:c", &e);
    k = make("x");
    nyxPropSetExpression(list, k, "iPar(\"w\")", &e);
    k = make("d");
    setDeletedValue(list, k, &e);
    make("none");
    ASSERT_EQ(e, 0);
    const std::string text = nyxPropFile::format(list);
    // Records of types 0 and 4 carry no value; the string-valued types carry their text.
    EXPECT_NE(text.find("1 d4 4 none0 "), std::string::npos) << text;
    EXPECT_NE(text.find("2 ct8 5 a:b:c\n"), std::string::npos) << text;

    nyxPropList *back = nullptr;
    int owner2 = 0;
    const nyxPropOwner o2 = {&owner2, 0, nyxCodeLib, nyx::getGlobalHeap(), nullptr};
    EXPECT_TRUE(nyxPropFile::load(text.data(), text.size(), back, o2));
    ASSERT_EQ(nyxPropListSize(back), 9);
    for (uint32_t k = 0; k < 9; ++k) {
        const nyxProp *a = nyxPropAt(list, k);
        const nyxProp *b = nyxPropAt(back, k);
        ASSERT_NE(b, nullptr);
        EXPECT_STREQ(a->name(), b->name());
        EXPECT_EQ(a->type(), b->type()) << a->name();
        if (a->type() == 3) {
            EXPECT_EQ(a->floatValue(), b->floatValue());
        } else if (nyxPropTypeHasString(a->type())) {
            EXPECT_STREQ(a->stringValue(), b->stringValue()) << a->name();
        } else {
            EXPECT_EQ(a->intValue(), b->intValue());
        }
    }
    EXPECT_EQ(nyxPropFile::format(back), text);
    // A record of a name already on the list sets that property again.
    const std::string again = "1 i2 99\n";
    nyxPropFile::load(again.data(), again.size(), back, o2);
    EXPECT_EQ(nyxPropListSize(back), 9);
    EXPECT_EQ(nyxPropAt(back, 1)->intValue(), 99);
    nyxPropListDestroy(list);
    nyxPropListDestroy(back);
}

TEST(PropertyFiles, FailedSavesLeaveThePropertyFileAsItWas) {
    cfidrErrorT e = 0;
    setenv("ZIL_NYX_LIBRARYMAP", ".", 1);
    cfiOID lib = cfidrPICreateLib("durable", &e);
    cfiOID cell = cfidrLibCreateCell(lib, "c", &e);
    cfiOID lp = cfidrObjectCreateProp(lib, "version", &e);
    cfiOID cp = cfidrObjectCreateProp(cell, "version", &e);
    cfidrPropSetInt32Value(lp, 1, &e);
    cfidrPropSetInt32Value(cp, 1, &e);
    cfidrLibSave(lib, &e);
    ASSERT_EQ(e, 0);
    const std::string oldLib = slurp("durable/_nyx_Lib");
    const std::string oldCell = slurp("durable/c/_nyx_Cell");

    cfidrPropSetInt32Value(lp, 2, &e);
    cfidrPropSetStringValue(cfidrObjectCreateProp(lib, "more", &e), "text", &e);
    cfidrPropSetInt32Value(cp, 2, &e);
    // Fail each operation of the save in turn, until a save takes no more operations than allowed.
    int failures = 0;
    for (long n = 1; n < 200; ++n) {
        nyxFileIO::failOperation(n);
        cfidrLibSave(lib, &e);
        const long used = nyxFileIO::operationCount();
        nyxFileIO::failOperation(0);
        if (e == 0) {
            EXPECT_LT(used, n);
            break;
        }
        ++failures;
        EXPECT_EQ(e, cfidrErrInternal) << "operation " << n;
        EXPECT_EQ(slurp("durable/_nyx_Lib"), oldLib) << "operation " << n;
        EXPECT_FALSE(exists("durable/_nyx_Lib.ed")) << "operation " << n;
        EXPECT_FALSE(exists("durable/c/_nyx_Cell.ed")) << "operation " << n;
        // A library save replaces all its files or none.
        EXPECT_EQ(slurp("durable/c/_nyx_Cell"), oldCell) << "operation " << n;
    }
    EXPECT_GT(failures, 5);
    EXPECT_EQ(slurp("durable/_nyx_Lib"), "7 version2 2\n4 more5 4 text\n");
    EXPECT_EQ(slurp("durable/_nyx_Lib.bak"), oldLib);
}

// Property files that could not be read were read as empty without an error, and the next save
// deleted or replaced them.
TEST(PropertyFiles, UnreadableFilesAreReportedAndLeftAloneBySaves) {
    setenv("ZIL_NYX_LIBRARYMAP", ".", 1);
    struct Case {
        const char *what;
        std::function<bool(const std::string &)> make; // false: the case cannot be made here
        cfidrErrorT code;
        const char *kept; // a property read before the damage
    };
    const std::vector<Case> cases = {
        {"pipe", [](const std::string &f) { return mkfifo(f.c_str(), 0666) == 0; }, 27, nullptr},
        {"dangling link", [](const std::string &f) { return symlink("nowhere", f.c_str()) == 0; },
         27, nullptr},
        {"no read permission",
         [](const std::string &f) {
             std::ofstream(f) << "1 a2 1\n";
             return chmod(f.c_str(), 0) == 0 && access(f.c_str(), R_OK) != 0; // not as root
         },
         27, nullptr},
        {"over the size limit",
         [](const std::string &f) {
             return truncate((std::ofstream(f), f.c_str()), nyxPropFile::kMaxFile + 1) == 0;
         },
         4, nullptr},
        {"damaged", [](const std::string &f) { return !!(std::ofstream(f) << "1 a2 1\n1 b2 x\n"); },
         4, "a"},
    };
    cfidrErrorT e = 0;
    int n = 0, made = 0;
    for (const bool onCell : {false, true}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(c.what) + (onCell ? ", cell" : ", library"));
            restart();
            const std::string lib = "lib" + std::to_string(n++);
            ASSERT_EQ(mkdir(lib.c_str(), 0777), 0);
            ASSERT_EQ(mkdir((lib + "/c").c_str(), 0777), 0);
            const std::string file = onCell ? lib + "/c/_nyx_Cell" : lib + "/_nyx_Lib";
            if (!c.make(file)) continue;
            ++made;
            const std::string before = snapshot(file);
            // The operation that reads reports the error; the object is open afterwards.
            cfiOID l = cfidrPIOpenLib(lib.c_str(), cfidrUpdateMode, &e);
            if (!onCell) {
                EXPECT_EQ(e, c.code);
                EXPECT_EQ(l.object, 0u);
                l = cfidrPIOpenLib(lib.c_str(), cfidrUpdateMode, &e);
            }
            ASSERT_EQ(e, 0);
            cfiOID cell = cfidrLibFindCellByName(l, "c", &e);
            ASSERT_EQ(e, 0) << "the cells are listed all the same";
            if (onCell) {
                EXPECT_CODE(cfidrObjectGetProps(cell, &e), c.code);
            }
            const cfiOID owner = onCell ? cell : l;
            if (c.kept != nullptr) {
                EXPECT_NE(cfidrObjectFindPropByName(owner, c.kept, &e).object, 0u);
            }
            cfidrPropSetInt32Value(cfidrObjectCreateProp(owner, "new", &e), 1, &e);
            ASSERT_EQ(e, 0);
            // Another cell's edit, which the save must not give up for the unread file.
            const cfiOID other = cfidrLibCreateCell(l, "d", &e);
            cfidrPropSetInt32Value(cfidrObjectCreateProp(other, "kept", &e), 2, &e);
            ASSERT_EQ(e, 0);
            // Every save reports the read's error and leaves the file as it stands, and saves
            // everything else.
            for (int save = 0; save < 2; ++save) {
                EXPECT_CODE(cfidrLibSave(l, &e), c.code);
                EXPECT_EQ(snapshot(file), before);
                EXPECT_EQ(snapshot(file + ".ed"), "missing");
                EXPECT_NE(snapshot(lib + "/d/_nyx_Cell"), "missing");
            }
        }
    }
    EXPECT_GE(made, 8); // all but the permission cases when running as root
}

// A directory under a property-file name is a cell, not an unreadable property file.
TEST(PropertyFiles, ACellNamedLikeAPropertyFileIsNotOne) {
    setenv("ZIL_NYX_LIBRARYMAP", ".", 1);
    ASSERT_EQ(mkdir("lib", 0777), 0);
    ASSERT_EQ(mkdir("lib/_nyx_Lib", 0777), 0);
    std::ofstream("lib/.nyx_lib") << "1 a2 7\n"; // the property file under its older name
    cfidrErrorT e = 0;
    cfiOID lib = cfidrPIOpenLib("lib", cfidrReadMode, &e);
    ASSERT_EQ(e, 0);
    EXPECT_EQ(cfidrPropGetInt32Value(cfidrObjectFindPropByName(lib, "a", &e), &e), 7);
    EXPECT_NE(cfidrLibFindCellByName(lib, "_nyx_Lib", &e).object, 0u);
}

// Saving a library that was found but not yet read deleted its property file.
TEST(PropertyFiles, SavingAnUnreadLibraryKeepsItsProperties) {
    setenv("ZIL_NYX_LIBRARYMAP", ".", 1);
    ASSERT_EQ(mkdir("found", 0777), 0);
    std::ofstream("found/_nyx_Lib") << "1 a2 7\n";
    cfidrErrorT e = 0;
    cfiOID lib = cfidrPIFindLibByName("found", &e);
    ASSERT_CODE(cfidrLibSave(lib, &e), 0);
    EXPECT_EQ(slurp("found/_nyx_Lib"), "1 a2 7\n");
}

// A 70 MB string property was saved into a file the reader then refused as too large.
TEST(PropertyFiles, TheWriterNeverWritesAFileTheReaderRefuses) {
    setenv("ZIL_NYX_LIBRARYMAP", ".", 1);
    cfidrErrorT e = 0;
    cfiOID lib = cfidrPICreateLib("big", &e);
    cfiOID p = cfidrObjectCreateProp(lib, "s", &e);
    // "1 s5 <8-digit length> <bytes>\n" fills the largest file the reader takes.
    std::string value(nyxPropFile::kMaxFile - 15, 'x');
    cfidrPropSetStringValue(p, value.c_str(), &e);
    ASSERT_CODE(cfidrLibSave(lib, &e), 0);
    struct stat st;
    ASSERT_EQ(stat("big/_nyx_Lib", &st), 0);
    ASSERT_EQ(static_cast<size_t>(st.st_size), nyxPropFile::kMaxFile);
    const std::string before = snapshot("big/_nyx_Lib");
    cfidrPropSetStringValue(p, (value + "x").c_str(), &e);
    EXPECT_CODE(cfidrLibSave(lib, &e), cfidrErrInternal);
    EXPECT_EQ(snapshot("big/_nyx_Lib"), before);
    EXPECT_EQ(snapshot("big/_nyx_Lib.ed"), "missing");

    restart();
    lib = cfidrPIOpenLib("big", cfidrReadMode, &e);
    ASSERT_EQ(e, 0);
    EXPECT_EQ(
        std::string(cfidrPropGetStringValue(cfidrObjectFindPropByName(lib, "s", &e), &e)).size(),
        value.size());
}

// The reader stopped at a name that breaks the name rule and dropped it and every later record.
TEST(PropertyFiles, RecordsWhoseNamesBreakTheNameRuleAreRead) {
    setenv("ZIL_NYX_LIBRARYMAP", ".", 1);
    cfidrErrorT e = 0;
    cfiOID lib = cfidrPICreateLib("odd", &e);
    const std::vector<std::string> names = {"\x01"
                                            "ctl",
                                            "tab\there",
                                            "caf\xc3\xa9",
                                            "line\nbreak",
                                            " lead",
                                            "7",
                                            "",
                                            "after"};
    nyxprivPIPushExpertMode(&e); // trusted data mode creates names outside the rule
    for (size_t i = 0; i + 1 < names.size(); ++i) {
        cfidrPropSetInt32Value(cfidrObjectCreateProp(lib, names[i].c_str(), &e),
                               static_cast<int32_t>(i), &e);
    }
    nyxprivPIPopExpertMode(&e);
    cfidrPropSetInt32Value(cfidrObjectCreateProp(lib, "after", &e), 7, &e);
    ASSERT_EQ(e, 0);
    ASSERT_CODE(cfidrLibSave(lib, &e), 0);

    restart();
    lib = cfidrPIOpenLib("odd", cfidrReadMode, &e);
    ASSERT_EQ(e, 0);
    std::vector<std::string> read;
    cfidrIterT it = cfidrObjectGetProps(lib, &e);
    for (cfiOID q = cfidrIterNextProp(it, &e); q.object != 0; q = cfidrIterNextProp(it, &e)) {
        read.push_back(cfidrNamedObjectGetName(q, &e));
        EXPECT_EQ(cfidrPropGetInt32Value(q, &e), static_cast<int32_t>(read.size() - 1));
    }
    cfidrIterQuit(it, &e);
    EXPECT_EQ(read, names);
}

// Each record searched the list being built for its name and for a free entry: 80,000 records
// took seconds and a million over five minutes. Two million load in seconds now; a quadratic load
// runs far past the test time limit.
TEST(PropertyFiles, LoadingTwoMillionRecordsTakesLinearTime) {
    cfidrErrorT e = 0;
    cfidrPIInit(&e);
    constexpr int kRecords = 2000000;
    std::string text;
    char record[64];
    for (int i = 0; i < kRecords; ++i) {
        text.append(record, static_cast<size_t>(
                                std::snprintf(record, sizeof record, "8 p%07d2 %d\n", i, i)));
    }
    text += "8 P"
            "0000005"
            "5 4 five\n"; // sets the property of that name again (names ignore case)
    nyxPropList *list = nullptr;
    int owner = 0;
    const nyxPropOwner o = {&owner, 0, nyxCodeLib, nyx::getGlobalHeap(), nullptr};
    ASSERT_TRUE(nyxPropFile::load(text.data(), text.size(), list, o));
    ASSERT_EQ(nyxPropListSize(list), kRecords);
    EXPECT_STREQ(nyxPropAt(list, 5)->stringValue(), "five");
    EXPECT_EQ(nyxPropAt(list, kRecords - 1)->intValue(), kRecords - 1);
    nyxPropListDestroy(list);
}

TEST(CellRead, RecordsStoredObjectsOfEveryKind) {
    cfidrErrorT e = 0;
    setenv("ZIL_NYX_LIBRARYMAP", ".", 1);
    ASSERT_EQ(mkdir("lib", 0777), 0);
    ASSERT_EQ(mkdir("lib/c", 0777), 0);
    for (const char *f : {"x.nyxNetlistView", "old.nyx", "e.NYXENCAPSULATEDVIEW", "cfg.nyxDesignConfig",
                          "o.nyxOccPropSet", "a\tb.nyxNetlistView", "sel.nyxSelectorSet", "notes.txt",
                          "x.nyxNetlistView.bak", ".nyx", "noext"}) {
        std::ofstream(std::string("lib/c/") + f) << "";
    }
    cfidrPIInit(&e);
    nyxLib *lib = nyxLib::openLib("lib", cfidrReadMode, &e);
    ASSERT_NE(lib, nullptr);
    nyxCell *cell = nyxLib::findCellByName(lib, "c", &e);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->storedEntries().nitems(), 0);  // Not listed until first used.
    ASSERT_TRUE(cell->openObj(&e));
    std::map<std::string, std::string> found;
    for (int32_t i = 0; i < cell->storedEntries().nitems(); ++i) {
        const nyxDMEntry *entry = static_cast<const nyxDMEntry *>(cell->storedEntries()[i]);
        found[entry->name.getString()] = nyxDMTypes::kindName(entry->row);
    }
    EXPECT_EQ(found, (std::map<std::string, std::string>{
                         {"x", "netlist view"},
                         {"old", "netlist view (older form)"},
                         {"e", "encapsulated view"},
                         {"cfg", "design configuration"},
                         {"o", "occurrence property set"},
                         {"a/b", "netlist view"},
                     }));
}

namespace {

// A stored object of a kind whose class does not exist here: just a name in a cell's list.
class FakeSet final : public nyxDMObj {
public:
    explicit FakeSet(const char *name) : nyxDMObj(nyxDMTypes::kOccPropSet, 1), name_(name) {}
    const char *pathnameObj() override { return name_.c_str(); }
    const char *nameObj() const override { return name_.c_str(); }
    void deleteObj() override {}

private:
    std::string name_;
};

// Finds "Alpha" and "alpha" in a cell that is known but unread; reports whether each look-up
// left the cell unread.
std::pair<bool, bool> lookUpBeforeAndAfterRead() {
    cfidrErrorT e = 0;
    setenv("ZIL_NYX_LIBRARYMAP", ".", 1);
    EXPECT_EQ(mkdir("lib", 0777), 0);
    EXPECT_EQ(mkdir("lib/c", 0777), 0);
    cfidrPIInit(&e);
    nyxLib *lib = nyxLib::openLib("lib", cfidrReadMode, &e);
    nyxCell *cell = nyxLib::findCellByName(lib, "c", &e);
    static FakeSet set("Alpha");
    cell->occPropSets().add(&set);
    EXPECT_EQ(nyxCell::findOccPropSetByName(cell, "Alpha", &e), &set);
    const bool exactUnread = !cell->loaded();
    EXPECT_EQ(nyxCell::findOccPropSetByName(cell, "ALPHA", &e), &set);
    const bool caseUnread = !cell->loaded();
    EXPECT_EQ(nyxCell::findOccPropSetByName(cell, "beta", &e), nullptr);
    EXPECT_EQ(e, cfidrErrNotFound);
    EXPECT_EQ(nyxCell::findDesignConfigByName(cell, "Alpha", &e), nullptr);
    cell->occPropSets().remove(&set);
    return {exactUnread, caseUnread};
}

} // namespace

TEST(FixSwitches, ExactSetLookUpSkipsReadingUnlessDisabled) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(lookUpBeforeAndAfterRead(), std::make_pair(true, false));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(FixSwitches, DisabledSwitchReadsFirstAndSaysSo) {
    setenv("NYX_DISABLE_DR119985", "", 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(lookUpBeforeAndAfterRead(), std::make_pair(false, false));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "nyxDR: DR119985 has been DISABLED\n");
}
