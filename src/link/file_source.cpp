#include "link/file_source.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace vx {

FileByteSource::FileByteSource(int fd, AtEnd atEnd, size_t blockSize)
    : fd_(fd), atEnd_(atEnd), block_(blockSize) {}

FileByteSource::~FileByteSource() {
    if (ownsFd_ && fd_ >= 0) ::close(fd_);
}

std::unique_ptr<FileByteSource> FileByteSource::open(const std::string& path, std::string& error,
                                                     AtEnd atEnd) {
    if (path == "-") return std::make_unique<FileByteSource>(0, atEnd);
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return nullptr;
    }
    // A directory opens, but every read of it fails: refuse it here, before anything is
    // printed.
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        error = path + ": is a directory, not a recording";
        return nullptr;
    }
    auto src = std::make_unique<FileByteSource>(fd, atEnd);
    src->ownsFd_ = true;
    return src;
}

int FileByteSource::fetch(uint8_t& b) {
    for (;;) {
        ssize_t n = ::read(fd_, block_.data(), block_.size());
        if (n > 0) {
            delivered_ += uint64_t(n);
            cur_ = block_.data();
            end_ = cur_ + n;
            b = *cur_++;
            return kGot;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) readError_ = std::strerror(errno);
        cur_ = end_ = block_.data();
        return atEnd_ == AtEnd::Finish ? kEnd : kNone;
    }
}

} // namespace vx
