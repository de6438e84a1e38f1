// Mapped source files.
#include "source.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nyxvc {

bool SourceFile::open(const std::string &path, std::string &error) {
    close();
    path_ = path;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = !S_ISREG(st.st_mode) ? "not a regular file" : std::strerror(errno);
        ::close(fd);
        return false;
    }
    size_ = static_cast<size_t>(st.st_size);
    if (size_ == 0) {
        ::close(fd);
        data_ = "";
        return true;
    }
    void *p = mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
    const int mapErrno = errno;
    ::close(fd);
    if (p == MAP_FAILED) {
        error = std::strerror(mapErrno);
        size_ = 0;
        return false;
    }
    madvise(p, size_, MADV_SEQUENTIAL);
    data_ = static_cast<const char *>(p);
    mapped_ = true;
    return true;
}

void SourceFile::close() {
    if (mapped_) munmap(const_cast<char *>(data_), size_);
    data_ = nullptr;
    size_ = 0;
    mapped_ = false;
    dropped_ = 0;
}

// The mapping is private and never written, so its pages are the file's: dropped, they are read
// from the file again when touched (names of modules parsed before are).
void SourceFile::dropBefore(size_t offset) {
    constexpr size_t kStep = size_t(4) << 20;
    if (!mapped_ || offset > size_) return;
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    const size_t end = offset / page * page;
    if (end < dropped_ + kStep) return;
    if (madvise(const_cast<char *>(data_) + dropped_, end - dropped_, MADV_DONTNEED) == 0) dropped_ = end;
}

bool fileExists(const std::string &path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool dirExists(const std::string &path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace nyxvc
