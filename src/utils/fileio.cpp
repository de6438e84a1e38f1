// The file layer of stored objects: counted, fault-injectable POSIX calls and the durable
// replacement of a file through its ".ed" companion. See fileio.h for the protocol.
#include "utils/fileio.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nyxFileIO {

namespace {

// Operations counted since the last failOperation call, and the one to fail (0: none).
long g_count = 0;
long g_failAt = 0;

// Counts one operation; true when it is the one chosen to fail, with errno set as for an I/O error.
bool injectedFailure() {
    ++g_count;
    if (g_failAt != 0 && g_count == g_failAt) {
        errno = EIO;
        return true;
    }
    return false;
}

constexpr size_t kWriteChunk = 1 << 16;

// write(2) until everything is written or an error other than EINTR occurs.
bool writeAll(int fd, const char *data, size_t length) {
    while (length > 0) {
        ssize_t n = ::write(fd, data, length);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

bool pwriteAll(int fd, const char *data, size_t length, uint64_t offset) {
    while (length > 0) {
        ssize_t n = ::pwrite(fd, data, length, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        length -= static_cast<size_t>(n);
        offset += static_cast<uint64_t>(n);
    }
    return true;
}

std::string directoryOf(const std::string &path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

} // namespace

void failOperation(long n) {
    g_failAt = n > 0 ? n : 0;
    g_count = 0;
}

long operationCount() { return g_count; }

// ---------------------------------------------------------------------------------------------
// Writer

Writer::~Writer() {
    if (fd_ >= 0) abandon();
}

bool Writer::open(const std::string &path) {
    path_ = path;
    written_ = 0;
    buffer_.clear();
    created_ = false;
    if (injectedFailure()) return ok_ = false;
    // A stale temporary may be anything, planted or left by a crash: it is removed, never opened
    // or followed, and the new file is created exclusively.
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) return ok_ = false;
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    created_ = ok_ = fd_ >= 0;
    return ok_;
}

bool Writer::flushBuffer() {
    if (!ok_) return false;
    if (buffer_.empty()) return true;
    if (injectedFailure() || !writeAll(fd_, buffer_.data(), buffer_.size())) return ok_ = false;
    written_ += buffer_.size();
    buffer_.clear();
    return true;
}

bool Writer::write(const void *data, size_t length) {
    if (!ok_) return false;
    const char *bytes = static_cast<const char *>(data);
    buffer_.insert(buffer_.end(), bytes, bytes + length);
    return buffer_.size() < kWriteChunk || flushBuffer();
}

bool Writer::printf(const char *format, ...) {
    if (!ok_) return false;
    char small[256];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    if (n < 0) return ok_ = false;
    if (static_cast<size_t>(n) < sizeof small) return write(small, static_cast<size_t>(n));
    std::vector<char> large(static_cast<size_t>(n) + 1);
    va_start(args, format);
    std::vsnprintf(large.data(), large.size(), format, args);
    va_end(args);
    return write(large.data(), static_cast<size_t>(n));
}

bool Writer::writeAt(uint64_t offset, const void *data, size_t length) {
    if (!ok_ || offset + length > this->offset()) return ok_ = false;
    const char *bytes = static_cast<const char *>(data);
    // The part still in the buffer is patched there; the part already on disk with pwrite.
    while (length > 0 && offset < written_) {
        size_t onDisk = static_cast<size_t>(std::min<uint64_t>(length, written_ - offset));
        if (injectedFailure() || !pwriteAll(fd_, bytes, onDisk, offset)) return ok_ = false;
        bytes += onDisk;
        offset += onDisk;
        length -= onDisk;
    }
    if (length > 0) std::memcpy(buffer_.data() + (offset - written_), bytes, length);
    return true;
}

bool Writer::close() {
    if (fd_ < 0) return false;
    bool good = flushBuffer();
    if (good && (injectedFailure() || ::fsync(fd_) != 0)) good = false;
    int fd = fd_;
    fd_ = -1;
    if (injectedFailure()) {
        ::close(fd);
        good = false;
    } else if (::close(fd) != 0) {
        good = false;
    }
    ok_ = good;
    return good;
}

void Writer::abandon() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    ok_ = false;
    // Cleanup is not counted: it must not fail by injection. Only a file this writer made goes.
    if (created_) ::unlink(path_.c_str());
    created_ = false;
}

// ---------------------------------------------------------------------------------------------
// Replacement: the two phases of a save

namespace {

// One file of a save: replaced by its ".ed" companion, or removed.
struct BatchEntry {
    std::string path;
    bool remove = false;
    bool hadPrevious = false;  // the plain name existed when phase 2 began
    bool moved = false;        // the plain name was replaced or removed in phase 2
};

// The current save. Invariants while active: every entry's path is distinct; a replaced entry's
// path + ".ed" is written and closed; madeDirectories holds, in creation order, the directories
// that this save created.
struct BatchState {
    bool active = false;
    std::vector<BatchEntry> entries;
    std::vector<std::string> madeDirectories;
    std::vector<std::function<void()>> undo;
};

BatchState g_batch;

void addEntry(const std::string &path, bool remove) {
    for (BatchEntry &e : g_batch.entries) {
        if (e.path == path) return (void)(e.remove = remove);
    }
    g_batch.entries.push_back(BatchEntry{path, remove});
}

std::vector<std::string> directoriesOf(const std::vector<BatchEntry> &entries) {
    std::vector<std::string> dirs;
    for (const BatchEntry &e : entries) {
        std::string d = directoryOf(e.path);
        if (std::find(dirs.begin(), dirs.end(), d) == dirs.end()) dirs.push_back(std::move(d));
    }
    return dirs;
}

// The backup of an existing plain name: path.bak becomes a second link to it.
bool makeBackup(BatchEntry &e) {
    struct stat st;
    if (::lstat(e.path.c_str(), &st) != 0) {
        if (errno != ENOENT) return false;
        e.hadPrevious = false;
        return true;
    }
    e.hadPrevious = true;
    if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) return errno = EINVAL, false;
    const std::string temp = e.path + ".bak.tmp";
    ::unlink(temp.c_str());
    if (injectedFailure() || ::link(e.path.c_str(), temp.c_str()) != 0) return false;
    if (injectedFailure() || ::rename(temp.c_str(), (e.path + ".bak").c_str()) != 0) return false;
    // When path.bak already was a link to the same file, rename does nothing and leaves the
    // temporary name behind.
    ::unlink(temp.c_str());
    return true;
}

bool commitEntries(std::vector<BatchEntry> &entries) {
    const std::vector<std::string> dirs = directoriesOf(entries);
    bool anyPrevious = false;
    for (BatchEntry &e : entries) {
        if (!makeBackup(e)) return false;
        anyPrevious = anyPrevious || e.hadPrevious;
    }
    // The backups must be durable before any plain name moves to new content.
    if (anyPrevious) {
        for (const std::string &d : dirs) {
            if (!syncDirectoryOf(d + "/.")) return false;
        }
    }
    for (BatchEntry &e : entries) {
        if (!e.remove) {
            if (injectedFailure() || ::rename((e.path + ".ed").c_str(), e.path.c_str()) != 0) return false;
        } else if (e.hadPrevious) {
            if (injectedFailure() || ::unlink(e.path.c_str()) != 0) return false;
        } else {
            continue;
        }
        e.moved = true;
    }
    for (const std::string &d : dirs) {
        if (!syncDirectoryOf(d + "/.")) return false;
    }
    return true;
}

// Undoes everything the current save did to the disk and runs its undo actions; keeps errno.
void rollbackBatch() {
    const int saved = errno;
    std::vector<BatchEntry> &entries = g_batch.entries;
    for (auto e = entries.rbegin(); e != entries.rend(); ++e) {
        if (!e->moved) continue;
        if (e->hadPrevious) {
            // Atomically back from the backup link, which then links the restored file again.
            ::rename((e->path + ".bak").c_str(), e->path.c_str());
            ::link(e->path.c_str(), (e->path + ".bak").c_str());
        } else {
            ::unlink(e->path.c_str());
        }
    }
    for (const BatchEntry &e : entries) {
        if (!e.remove) ::unlink((e.path + ".ed").c_str());
        ::unlink((e.path + ".bak.tmp").c_str());
    }
    for (const std::string &d : directoriesOf(entries)) {
        int fd = ::open(d.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0) {
            ::fsync(fd);
            ::close(fd);
        }
    }
    for (auto d = g_batch.madeDirectories.rbegin(); d != g_batch.madeDirectories.rend(); ++d) {
        ::rmdir(d->c_str());
    }
    for (auto u = g_batch.undo.rbegin(); u != g_batch.undo.rend(); ++u) (*u)();
    errno = saved;
}

void endBatch() {
    g_batch.active = false;
    g_batch.entries.clear();
    g_batch.madeDirectories.clear();
    g_batch.undo.clear();
}

} // namespace

SaveBatch::SaveBatch() : d_joined(g_batch.active) {
    if (!d_joined) {
        endBatch();
        g_batch.active = true;
    }
}

SaveBatch::~SaveBatch() {
    if (!d_joined && !d_done) rollback();
}

bool SaveBatch::commit() {
    if (d_joined || d_done) return true;
    d_done = true;
    if (!commitEntries(g_batch.entries)) {
        rollbackBatch();
        endBatch();
        return false;
    }
    // Removed files lose their companions once the removal stands; this cannot undo the save.
    for (const BatchEntry &e : g_batch.entries) {
        if (!e.remove) continue;
        ::unlink((e.path + ".ed").c_str());
        ::unlink((e.path + ".bak").c_str());
    }
    endBatch();
    return true;
}

void SaveBatch::rollback() {
    if (d_joined || d_done) return;
    d_done = true;
    rollbackBatch();
    endBatch();
}

void atRollback(std::function<void()> undo) {
    if (g_batch.active) g_batch.undo.push_back(std::move(undo));
}

bool replaceWithEdited(const std::string &path) {
    if (g_batch.active) {
        addEntry(path, false);
        return true;
    }
    SaveBatch one;
    addEntry(path, false);
    return one.commit();
}

bool syncDirectoryOf(const std::string &path) {
    if (injectedFailure()) return false;
    int fd = ::open(directoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    bool good = !injectedFailure() && ::fsync(fd) == 0;
    ::close(fd);
    return good;
}

// ---------------------------------------------------------------------------------------------
// Reading and directories

Reader::~Reader() {
    if (d_fd >= 0) ::close(d_fd);
}

bool Reader::open(const std::string &path) {
    if (d_fd >= 0) ::close(d_fd);
    d_fd = -1;
    d_size = d_device = d_inode = 0;
    if (injectedFailure()) return false;
    // Without O_NONBLOCK, opening a FIFO waits for a writer forever.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    const bool statted = ::fstat(fd, &st) == 0;
    if (!statted || !S_ISREG(st.st_mode)) {
        const int saved = statted ? EINVAL : errno;
        ::close(fd);
        errno = saved;
        return false;
    }
    d_fd = fd;
    d_size = static_cast<uint64_t>(st.st_size);
    d_device = static_cast<uint64_t>(st.st_dev);
    d_inode = static_cast<uint64_t>(st.st_ino);
    return true;
}

long Reader::readAt(uint64_t offset, void *data, size_t length) {
    if (d_fd < 0 || injectedFailure()) return -1;
    char *bytes = static_cast<char *>(data);
    size_t done = 0;
    while (done < length) {
        ssize_t n = ::pread(d_fd, bytes + done, length - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return static_cast<long>(done);
}

bool readFile(const std::string &path, std::string &out, size_t maxBytes) {
    out.clear();
    Reader in;
    if (!in.open(path)) return false;
    if (in.size() > maxBytes) return errno = EFBIG, false;
    out.resize(static_cast<size_t>(in.size()));
    long n = in.readAt(0, out.data(), out.size());
    if (n < 0) {
        out.clear();
        return false;
    }
    out.resize(static_cast<size_t>(n));  // The file shrank: keep what was read.
    return true;
}

bool makeDirectory(const std::string &path, unsigned mode) {
    if (injectedFailure()) return false;
    if (::mkdir(path.c_str(), static_cast<mode_t>(mode)) == 0) {
        if (g_batch.active) g_batch.madeDirectories.push_back(path);
        return true;
    }
    return errno == EEXIST && isDirectory(path);
}

bool removeDirectory(const std::string &path) {
    if (injectedFailure()) return false;
    return ::rmdir(path.c_str()) == 0;
}

bool removeFile(const std::string &path) {
    if (injectedFailure()) return false;
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

bool removeAll(const std::string &path) {
    if (g_batch.active) {
        addEntry(path, true);
        return true;
    }
    bool good = removeFile(path + ".ed");
    good = removeFile(path + ".bak") && good;
    return removeFile(path) && good;
}

bool listDirectory(const std::string &path, std::vector<std::string> &names) {
    names.clear();
    if (injectedFailure()) return false;
    DIR *dir = ::opendir(path.c_str());
    if (dir == nullptr) return false;
    while (struct dirent *entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        names.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    return true;
}

bool isDirectory(const std::string &path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isFile(const std::string &path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

uint64_t inodeOf(const std::string &path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_ino) : 0;
}

} // namespace nyxFileIO
