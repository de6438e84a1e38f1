// The file layer of stored objects.
//
// Every file operation on stored design data (libraries, cells, views, their property files) goes
// through these functions, for two reasons:
//
// 1. Durability. A stored file is replaced so that at every moment its plain name holds either the
//    old content or the new content, whole:
//
//      write    path.ed         (created, written, flushed, fsync'ed, closed; every result checked)
//      link     path -> path.bak.tmp     (only when path exists; a stale temporary is removed first)
//      rename   path.bak.tmp -> path.bak (the previous content, kept as the backup)
//      fsync    the directory            (the backup is durable before the plain name moves)
//      rename   path.ed -> path          (atomic replacement of the plain name)
//      fsync    the directory            (the replacement survives a crash)
//
//    The plain name is never unlinked or renamed away, so a crash between any two steps leaves it
//    whole. A failed save removes path.ed and reports the failure with the plain file as it was:
//    when only the last sync fails, the previous content is renamed back from its backup link.
//
// 2. Testability. Each operation counts itself; a test can make the Nth operation from now fail
//    (as an I/O error would) and check that nothing is lost (nyxFileIO::failOperation).
//
// Reads are bounded by the file's size; callers parse the returned bytes as hostile input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
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

    bool open(const std::string &path);  // creates or truncates path, mode 0666 before umask
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
    uint64_t written_ = 0;
    std::vector<char> buffer_;
};

// Writes a file through its ".ed" companion and replaces path as described above. The callback
// writes the content and returns false to give up. Returns true when the new content is in place.
template <class WriteContent> bool saveFile(const std::string &path, WriteContent &&writeContent);

// The replacement steps after path + ".ed" has been written and closed; removes path + ".ed" on
// failure. Exposed for writers that cannot use saveFile's callback form.
bool replaceWithEdited(const std::string &path);

// Reads a whole regular file into out; false when it cannot be opened or read, or exceeds maxBytes.
bool readFile(const std::string &path, std::string &out, size_t maxBytes = SIZE_MAX);

// Directory and file operations, each one counted operation; false (errno set) on failure.
bool makeDirectory(const std::string &path, unsigned mode = 0777);
bool removeDirectory(const std::string &path);
bool removeFile(const std::string &path);  // a missing file is not a failure
bool listDirectory(const std::string &path, std::vector<std::string> &names);  // without . and ..
bool isDirectory(const std::string &path);
bool isFile(const std::string &path);
uint64_t inodeOf(const std::string &path);  // 0 when path does not exist
bool syncDirectoryOf(const std::string &path);

// Removes path, path + ".ed" and path + ".bak".
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
