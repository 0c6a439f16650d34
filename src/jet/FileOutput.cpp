#include "jet/FileOutput.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "jet/JetWriteError.h"

namespace dsadmin::jet {
namespace {
constexpr std::size_t kBuffer = 1 << 20;
}

FileOutput::FileOutput(std::string path, bool overwrite)
    : path_(std::move(path)), overwrite_(overwrite) {
    struct stat st {};
    if (!overwrite_ && ::lstat(path_.c_str(), &st) == 0)
        throw JetWriteError("\"" + path_ + "\" exists already");
    temp_ = path_ + ".tmp-XXXXXX";
    fd_ = ::mkostemp(temp_.data(), O_CLOEXEC);
    if (fd_ < 0) {
        temp_.clear();
        fail("cannot create a file beside it");
    }
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd_, 0666 & ~mask);
    buffer_.reserve(kBuffer);
}

FileOutput::~FileOutput() {
    if (fd_ >= 0) ::close(fd_);
    if (!temp_.empty()) ::unlink(temp_.c_str());
}

void FileOutput::fail(const std::string& what) const {
    throw JetWriteError("cannot write \"" + path_ + "\": " + what + " (" + std::strerror(errno) +
                        ")");
}

void FileOutput::put(std::uint32_t number, const Page& page) {
    const std::uint64_t at = std::uint64_t{number} * kPageSize;
    if (!buffer_.empty() && at != bufferAt_ + buffer_.size()) flush();
    if (buffer_.empty()) bufferAt_ = at;
    buffer_.append(reinterpret_cast<const char*>(page.data()), page.size());
    if (buffer_.size() >= kBuffer) flush();
}

void FileOutput::flush() {
    const char* p = buffer_.data();
    std::size_t left = buffer_.size();
    auto at = static_cast<off_t>(bufferAt_);
    while (left > 0) {
        ssize_t n = ::pwrite(fd_, p, left, at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) fail("write failed");
        p += n;
        at += n;
        left -= static_cast<std::size_t>(n);
    }
    buffer_.clear();
}

void FileOutput::commit() {
    flush();
    if (::fsync(fd_) != 0) fail("sync failed");
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) fail("close failed");
    int r = overwrite_
                ? ::rename(temp_.c_str(), path_.c_str())
                : ::renameat2(AT_FDCWD, temp_.c_str(), AT_FDCWD, path_.c_str(), RENAME_NOREPLACE);
    if (r != 0 && !overwrite_ && errno == EINVAL) {
        // A file system without RENAME_NOREPLACE: link() refuses an existing target too.
        r = ::link(temp_.c_str(), path_.c_str());
        if (r == 0) ::unlink(temp_.c_str());
    }
    if (r != 0) fail(errno == EEXIST ? "it exists already" : "rename failed");
    temp_.clear();
}

}  // namespace dsadmin::jet
