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
