// The file layer of stored objects.
//
// Every file operation on stored design data (libraries, cells, views, their property files) goes
// through these functions, for three reasons:
//
// 1. Durability. A stored file is replaced so that at every moment its plain name holds either the
//    old content or the new content, whole. A save runs in two phases:
//
//      phase 1, per file
//        unlink   path.ed             (a stale temporary: a file, link or FIFO left by anyone)
//        create   path.ed             (O_EXCL | O_NOFOLLOW: never an existing file or a link's
//                                      target; written, flushed, fsync'ed, closed, all checked)
//      phase 2, once every file of the save is written
//        link     path -> path.bak.tmp -> rename to path.bak   (per file that exists: the backup)
//        fsync    each directory      (the backups are durable before any plain name moves)
//        rename   path.ed -> path     (per file: atomic replacement of the plain name)
//        fsync    each directory      (the replacements survive a crash)
//
//    The plain name is never unlinked or renamed away, so a crash between any two steps leaves it
//    whole. A failure in phase 1 removes every temporary written so far (and the directories the
//    save made) and leaves every stored file as it was. A failure in phase 2 puts the previous
//    content of every file already replaced back from its backup link (atomically, by rename), or
//    removes a file that did not exist before, so that a failed save changes no stored file; the
//    older backups of the files involved are replaced by copies of their current content.
//
//    A crash (not a failure) in phase 2 can leave the save half done: some plain names hold the
//    new content, the others the old one, each whole; the files not yet replaced still have their
//    path.ed (removed by the next save), those replaced have their previous content in path.bak.
//    A file at the plain name that is not a regular file or a link (a FIFO, a directory, a
//    device) is refused: the save fails in phase 2 and changes nothing.
//
//    One file saved alone (saveFile outside a SaveBatch) is a batch of one.
//
// 2. No hang. Stored files are opened without blocking (O_NONBLOCK) and checked with fstat before
//    anything is read: a FIFO, device or directory where a stored file is expected is refused at
//    once instead of blocking in open(2) or read(2).
//
// 3. Testability. Each operation counts itself; a test can make the Nth operation from now fail
//    (as an I/O error would) and check that nothing is lost (nyxFileIO::failOperation). Cleanup
//    after a failure is not counted and cannot fail by injection.
//
// Reads are bounded by the file's size; callers parse the returned bytes as hostile input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace nyxFileIO {

// Failure injection. failOperation(n) makes the nth counted operation from now fail with EIO
// (n >= 1); failOperation(0) turns injection off. operationCount() counts operations since the
// last call of failOperation, so a test can first measure how many operations a save takes.
void failOperation(long n);
long operationCount();

// Buffered writer of one new file. Output collects in memory and goes to the file in large writes;
// writeAt patches bytes already written (for example an offset known only at the end).
class Writer {
public:
    Writer() = default;
    Writer(const Writer &) = delete;
    Writer &operator=(const Writer &) = delete;
    ~Writer();

    // Removes whatever path names (a file, a link, a FIFO; not a directory) and creates it anew,
    // exclusively and without following a link, mode 0666 before umask, close-on-exec.
    bool open(const std::string &path);
    bool write(const void *data, size_t length);
    bool put(const std::string &text) { return write(text.data(), text.size()); }
    bool printf(const char *format, ...) __attribute__((format(printf, 2, 3)));
    bool writeAt(uint64_t offset, const void *data, size_t length);
    uint64_t offset() const { return written_ + buffer_.size(); }
    bool ok() const { return ok_; }
    // Flushes, fsyncs and closes; false when any step (or an earlier write) failed.
    bool close();
    // Closes and removes the file, for a write that is given up.
    void abandon();

private:
    bool flushBuffer();

    std::string path_;
    int fd_ = -1;
    bool ok_ = false;
    bool created_ = false;
    uint64_t written_ = 0;
    std::vector<char> buffer_;
};

// Writes a file through its ".ed" companion and replaces path as described above. The callback
// writes the content and returns false to give up. Returns true when the new content is in place,
// or, inside a SaveBatch, when it is written and waits for the batch's commit.
template <class WriteContent> bool saveFile(const std::string &path, WriteContent &&writeContent);

// Phase 2 for path after path + ".ed" has been written and closed, or, inside a SaveBatch, its
// registration for the commit; removes path + ".ed" on failure.
bool replaceWithEdited(const std::string &path);

// A save of several files that replaces all of them or none (phase 1 and 2 above). While a batch
// is current, saveFile and replaceWithEdited only write and register, removeAll registers the
// removal, makeDirectory remembers the directories it makes, and atRollback keeps its action;
// commit() runs phase 2. A batch that is destroyed without a successful commit is rolled back:
// temporaries removed, directories made by the save removed again, actions run (newest first).
// A batch made while another is current joins it: its commit does nothing, the outer one decides.
class SaveBatch {
public:
    SaveBatch();
    SaveBatch(const SaveBatch &) = delete;
    SaveBatch &operator=(const SaveBatch &) = delete;
    ~SaveBatch();

    // Phase 2. False (errno set) when a step failed; every stored file is then as it was.
    bool commit();
    // Gives the save up now (as the destructor would).
    void rollback();

private:
    bool d_joined;
    bool d_done = false;
};

// Keeps an action that undoes an effect of the current save in memory (a cleared changed flag),
// run when the current batch is rolled back. Without a current batch it does nothing.
void atRollback(std::function<void()> undo);

// A stored file open for reading: opened without blocking and without following it into a FIFO,
// device or directory (such a file is refused).
class Reader {
public:
    Reader() = default;
    Reader(const Reader &) = delete;
    Reader &operator=(const Reader &) = delete;
    ~Reader();

    // False when path cannot be opened or is not a regular file (errno set).
    bool open(const std::string &path);
    // The file's size when it was opened.
    uint64_t size() const { return d_size; }
    // The file's identity (device, inode): the same file under two names has one identity.
    std::pair<uint64_t, uint64_t> identity() const { return {d_device, d_inode}; }
    // Reads up to length bytes at offset into data: the number read (fewer only at the end of the
    // file), or -1 on an error. Each call is one counted operation.
    long readAt(uint64_t offset, void *data, size_t length);

private:
    int d_fd = -1;
    uint64_t d_size = 0;
    uint64_t d_device = 0;
    uint64_t d_inode = 0;
};

// Reads a whole regular file into out; false when it cannot be opened or read, is not a regular
// file, or exceeds maxBytes (errno EFBIG).
bool readFile(const std::string &path, std::string &out, size_t maxBytes = SIZE_MAX);

// Directory and file operations, each one counted operation; false (errno set) on failure.
// makeDirectory succeeds on an existing directory.
bool makeDirectory(const std::string &path, unsigned mode = 0777);
bool removeDirectory(const std::string &path);
bool removeFile(const std::string &path);  // a missing file is not a failure
bool listDirectory(const std::string &path, std::vector<std::string> &names);  // without . and ..
bool isDirectory(const std::string &path);
bool isFile(const std::string &path);
uint64_t inodeOf(const std::string &path);  // 0 when path does not exist
bool syncDirectoryOf(const std::string &path);

// Removes path, path + ".ed" and path + ".bak"; inside a SaveBatch, path goes in phase 2 (after
// its backup link is made, so that a rollback can put it back) and its companions after commit.
bool removeAll(const std::string &path);

template <class WriteContent> bool saveFile(const std::string &path, WriteContent &&writeContent) {
    Writer out;
    if (!out.open(path + ".ed")) return false;
    if (!writeContent(out) || !out.close()) {
        out.abandon();
        return false;
    }
    return replaceWithEdited(path);
}

} // namespace nyxFileIO
