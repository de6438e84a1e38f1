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
    if (injectedFailure()) return ok_ = false;
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    ok_ = fd_ >= 0;
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
    if (!path_.empty()) ::unlink(path_.c_str());  // Cleanup is not counted: it must not fail by injection.
}

// ---------------------------------------------------------------------------------------------
// Replacement

bool replaceWithEdited(const std::string &path) {
    const std::string edited = path + ".ed";
    const std::string backup = path + ".bak";
    const std::string backupTemp = path + ".bak.tmp";
    auto giveUp = [&]() {
        int saved = errno;
        ::unlink(edited.c_str());
        ::unlink(backupTemp.c_str());
        errno = saved;
        return false;
    };
    struct stat st;
    const bool hadPrevious = ::lstat(path.c_str(), &st) == 0;
    if (hadPrevious) {
        // Keep the previous content as the backup without the plain name ever going missing.
        ::unlink(backupTemp.c_str());
        if (injectedFailure() || ::link(path.c_str(), backupTemp.c_str()) != 0) return giveUp();
        if (injectedFailure() || ::rename(backupTemp.c_str(), backup.c_str()) != 0) return giveUp();
        // When path.bak already was a link to the same file, rename does nothing and leaves the
        // temporary name behind.
        ::unlink(backupTemp.c_str());
    }
    // The backup must be durable before the plain name moves to the new content.
    if (hadPrevious && !syncDirectoryOf(path)) return giveUp();
    if (injectedFailure() || ::rename(edited.c_str(), path.c_str()) != 0) return giveUp();
    if (syncDirectoryOf(path)) return true;
    // The replacement may not survive a crash. Report the failure and put the previous content
    // back (atomically, from its backup link), so that a failed save changes nothing.
    int saved = errno;
    if (hadPrevious) {
        ::rename(backup.c_str(), path.c_str());
    } else {
        ::unlink(path.c_str());
    }
    errno = saved;
    return false;
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

bool readFile(const std::string &path, std::string &out, size_t maxBytes) {
    out.clear();
    if (injectedFailure()) return false;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    bool good = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                static_cast<uint64_t>(st.st_size) <= maxBytes;
    if (good) {
        out.resize(static_cast<size_t>(st.st_size));
        size_t done = 0;
        while (good && done < out.size()) {
            if (injectedFailure()) {
                good = false;
                break;
            }
            ssize_t n = ::read(fd, out.data() + done, out.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;  // The file shrank: keep what was read.
            done += static_cast<size_t>(n);
        }
        out.resize(done);
    }
    ::close(fd);
    if (!good) out.clear();
    return good;
}

bool makeDirectory(const std::string &path, unsigned mode) {
    if (injectedFailure()) return false;
    return ::mkdir(path.c_str(), static_cast<mode_t>(mode)) == 0 || (errno == EEXIST && isDirectory(path));
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
