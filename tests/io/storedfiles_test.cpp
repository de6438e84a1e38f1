// Stored files on a hostile disk: FIFOs where files are expected, sparse view files up to and
// beyond what the format holds, and library saves that fail at any one of their operations.
#include <filesystem>
#include <map>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "io/view_fixture.h"

using iotest::readBytes;
using iotest::ViewSession;
using iotest::writeBytes;

namespace {

// A read that would block forever on a FIFO ends the test program with SIGALRM instead.
struct HangGuard {
    HangGuard() { alarm(20); }
    ~HangGuard() { alarm(0); }
};

// Every file and directory under dir with its content, backups left out (a failed save may renew
// them). Temporaries and new directories count: a failed save must not leave them either.
std::map<std::string, std::string> storedFiles(const std::string &dir) {
    std::map<std::string, std::string> files;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(dir)) {
        const std::string path = entry.path().string();
        if (path.size() > 4 && path.compare(path.size() - 4, 4, ".bak") == 0) continue;
        if (entry.is_directory()) files[path] = "<directory>";
        else if (entry.is_regular_file()) files[path] = readBytes(path);
        else files[path] = "<special>";
    }
    return files;
}

long maxResidentKiB() {
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void restartAndOpen(cfiOID &lib) {
    cfidrErrorT e = 0;
    cfidrPIQuit(&e);
    cfidrPIInit(&e);
    lib = cfidrPIOpenLib("iolib", cfidrUpdateMode, &e);
    ASSERT_EQ(e, 0);
}

bool hasNet(cfiOID cell, const char *view, const char *net) {
    cfidrErrorT e = 0;
    cfiOID v = cfidrCellFindViewByName(cell, view, &e);
    return e == 0 && cfidrNetlistViewFindNetByName(v, net, &e).object != 0 && e == 0;
}

} // namespace

TEST_F(ViewSession, FifoWhereAStoredFileIsExpectedIsRefusedWithoutBlocking) {
    HangGuard guard;
    cfidrNetlistViewCreateNetScalar(view, "n", &e);
    cfidrObjectCreateProp(cell, "p", &e);
    cfidrLibSave(lib, &e);
    ASSERT_EQ(e, 0);
    const std::string dir = nyxpi::object<nyxCell>(cell)->pathnameObj();
    const std::string libDir = nyxpi::object<nyxLib>(lib)->pathnameObj();
    // A view file of either form, and the property files of the library and the cell.
    for (const std::string &fifo : {filePath(), dir + "/older.nyx", dir + "/_nyx_Cell", libDir + "/_nyx_Lib"}) {
        unlink(fifo.c_str());
        ASSERT_EQ(mkfifo(fifo.c_str(), 0666), 0) << fifo;
    }
    EXPECT_FALSE(nyxViewIO::headerNames((dir + "/older.nyx").c_str(), nyxCodeNetlistView));
    // The library's property file cannot be read: the open reports it, the library is open after.
    cfidrPIQuit(&e);
    cfidrPIInit(&e);
    cfidrPIOpenLib("iolib", cfidrUpdateMode, &e);
    EXPECT_EQ(e, cfidrErrNotFound);
    lib = cfidrPIOpenLib("iolib", cfidrUpdateMode, &e);
    ASSERT_EQ(e, 0);
    cell = cfidrLibFindCellByName(lib, "iocell", &e);
    ASSERT_EQ(e, 0);
    for (const char *name : {"netlist", "older"}) {
        cfidrCellFindViewByName(cell, name, &e);
        EXPECT_EQ(e, cfidrErrNotFound) << name;
    }
    // A save does not replace property files that could not be read: it saves the rest, reports
    // the read's error (27), and the FIFOs stay.
    cfiOID fresh = cfidrCellCreateNetlistView(cell, "fresh", &e);
    cfidrNetlistViewCreateNetScalar(fresh, "m", &e);
    ASSERT_EQ(e, 0);
    cfidrLibSave(lib, &e);
    EXPECT_EQ(e, cfidrErrNotFound);
    struct stat st;
    ASSERT_EQ(lstat((libDir + "/_nyx_Lib").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_TRUE(nyxFileIO::isFile(filePath("fresh")));
}

// A sparse file takes no room on disk; reading it must cost what its records need, not its size.
TEST_F(ViewSession, SparseHugeViewFileIsReadByItsRecordsAndOverTheLimitIsDamaged) {
    HangGuard guard;
    cfidrNetlistViewCreateNetScalar(view, "n", &e);
    saveAndPurge(view);
    const std::string good = readBytes(filePath());
    const long before = maxResidentKiB();

    // Valid records followed by a hole up to the 4 GiB limit: read, the hole untouched.
    ASSERT_EQ(truncate(filePath().c_str(), UINT32_MAX), 0);
    EXPECT_TRUE(hasNet(cell, "netlist", "n"));
    cfidrViewPurge(cfidrCellFindViewByName(cell, "netlist", &e), &e);

    // A damaged header is refused before the rest is looked at.
    std::string bad = good;
    bad[8] = 'E';
    writeBytes(filePath(), bad);
    ASSERT_EQ(truncate(filePath().c_str(), UINT32_MAX), 0);
    cfidrCellFindViewByName(cell, "netlist", &e);
    EXPECT_EQ(e, cfidrErrInternal);

    // Beyond the limit the file is damaged (4), not missing (27).
    writeBytes(filePath(), good);
    ASSERT_EQ(truncate(filePath().c_str(), uint64_t{1} << 32), 0);
    cfidrCellFindViewByName(cell, "netlist", &e);
    EXPECT_EQ(e, cfidrErrInternal);
    EXPECT_LT(maxResidentKiB() - before, 64 * 1024);
}

// Several views and property files change; the save is made to fail at each of its operations in
// turn. Every failure reports 4 and leaves every stored file byte-identical; the save that finally
// runs through writes every change (a failed save keeps the views changed).
TEST_F(ViewSession, LibrarySaveFailingAtAnyOperationChangesNoStoredFile) {
    struct InjectionOff {
        ~InjectionOff() { nyxFileIO::failOperation(0); }
    } injectionOff;
    cfiOID other = cfidrLibCreateCell(lib, "other", &e);
    cfiOID views[4] = {view, cfidrCellCreateNetlistView(cell, "second", &e),
                       cfidrCellCreateNetlistView(other, "v1", &e), cfidrCellCreateNetlistView(other, "v2", &e)};
    cfiOID libProp = cfidrObjectCreateProp(lib, "rev", &e);
    cfiOID cellProp = cfidrObjectCreateProp(cell, "rev", &e);
    cfiOID otherProp = cfidrObjectCreateProp(other, "rev", &e);
    for (cfiOID p : {libProp, cellProp, otherProp}) cfidrPropSetInt32Value(p, 1, &e);
    for (cfiOID v : views) cfidrNetlistViewCreateNetScalar(v, "old", &e);
    ASSERT_EQ(e, 0);
    cfidrLibSave(lib, &e);
    ASSERT_EQ(e, 0);

    // Three views change, two property files change, one is removed, a new cell brings a new
    // directory.
    for (int i = 0; i < 3; ++i) cfidrNetlistViewCreateNetScalar(views[i], "new", &e);
    cfidrPropSetInt32Value(libProp, 2, &e);
    cfidrPropSetInt32Value(cellProp, 2, &e);
    cfidrObjectDestroy(otherProp, &e);
    cfiOID added = cfidrCellCreateNetlistView(cfidrLibCreateCell(lib, "added", &e), "v", &e);
    cfidrNetlistViewCreateNetScalar(added, "new", &e);
    ASSERT_EQ(e, 0);

    const std::string libDir = nyxpi::object<nyxLib>(lib)->pathnameObj();
    const auto before = storedFiles(libDir);
    long n = 1;
    for (;; ++n) {
        SCOPED_TRACE("failing operation " + std::to_string(n));
        nyxFileIO::failOperation(n);
        cfidrLibSave(lib, &e);
        const long used = nyxFileIO::operationCount();
        nyxFileIO::failOperation(0);
        if (e == 0) {
            EXPECT_LT(used, n);
            break;
        }
        EXPECT_EQ(e, cfidrErrInternal);
        ASSERT_EQ(storedFiles(libDir), before);
        ASSERT_LT(n, 1000);
    }
    EXPECT_GT(n, 40);
    EXPECT_NE(storedFiles(libDir), before);

    restartAndOpen(lib);
    cell = cfidrLibFindCellByName(lib, "iocell", &e);
    other = cfidrLibFindCellByName(lib, "other", &e);
    EXPECT_TRUE(hasNet(cell, "netlist", "new"));
    EXPECT_TRUE(hasNet(cell, "second", "new"));
    EXPECT_TRUE(hasNet(other, "v1", "new"));
    EXPECT_FALSE(hasNet(other, "v2", "new"));
    EXPECT_TRUE(hasNet(cfidrLibFindCellByName(lib, "added", &e), "v", "new"));
    EXPECT_EQ(cfidrPropGetInt32Value(cfidrObjectFindPropByName(lib, "rev", &e), &e), 2);
    EXPECT_EQ(cfidrPropGetInt32Value(cfidrObjectFindPropByName(cell, "rev", &e), &e), 2);
    cfidrObjectFindPropByName(other, "rev", &e);
    EXPECT_EQ(e, cfidrErrNotFound);
}

// The reader takes a file a window at a time: values that straddle windows, a string longer than
// a window, and a read that fails part way through.
TEST_F(ViewSession, ViewFileLargerThanTheReadWindowReadsAsFromMemory) {
    struct InjectionOff {
        ~InjectionOff() { nyxFileIO::failOperation(0); }
    } injectionOff;
    for (int i = 0; i < 40000; ++i) {
        cfiOID net = cfidrNetlistViewCreateNetScalar(view, ("net_with_a_longer_name_" + std::to_string(i)).c_str(), &e);
        if (i % 7 == 0) cfidrPropSetInt32Value(cfidrObjectCreateProp(net, "w", &e), i, &e);
    }
    cfidrPropSetStringValue(cfidrObjectCreateProp(view, "long", &e), std::string(700000, 'x').c_str(), &e);
    cfidrPropSetStringValue(cfidrObjectCreateProp(view, "mid", &e), std::string(200000, 'y').c_str(), &e);
    ASSERT_EQ(e, 0);
    const std::string expected = iotest::dumpView(asView(view));
    saveAndPurge(view);
    ASSERT_GT(readBytes(filePath()).size(), 3u * 256 * 1024);

    // Fail the open, then each read of the file in turn, until a read runs through.
    long n = 1;
    for (;; ++n) {
        SCOPED_TRACE("failing operation " + std::to_string(n));
        nyxFileIO::failOperation(n);
        view = cfidrCellFindViewByName(cell, "netlist", &e);
        nyxFileIO::failOperation(0);
        if (e == 0) break;
        EXPECT_EQ(e, n == 1 ? 27 : 4);
        ASSERT_LT(n, 100);
    }
    EXPECT_GT(n, 6);  // the open, then the header, trailer and body windows and the long string
    EXPECT_EQ(iotest::dumpView(asView(view)), expected);
}

TEST(LibraryMap, FifoAsTheMapFileIsRefusedWithoutBlocking) {
    HangGuard guard;
    nyxDMUtil::resetLibraryMap();
    ASSERT_EQ(mkfifo("map", 0666), 0);
    setenv("ZIL_NYX_LIBRARYMAP", "map", 1);
    // No rule is read: the name is taken through the location map as when no rule matches.
    EXPECT_EQ(nyxDMUtil::pathOf("/abs/lib"), "/abs/lib");
    nyxDMUtil::resetLibraryMap();
}
