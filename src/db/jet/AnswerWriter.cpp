#include "db/jet/AnswerWriter.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "db/jet/JetWire.h"

namespace dsadmin {
namespace {

constexpr std::size_t kLengthBytes = sizeof(std::uint32_t);

void writeAll(int fd, const char* p, std::size_t left) {
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw std::runtime_error("answer socket closed");
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}

}  // namespace

AnswerWriter::AnswerWriter(int fd, char kind) : fd_(fd) {
    buf_.reserve(kChunk + 4096);
    buf_.assign(kLengthBytes, '\0');  // the chunk's length, filled in by flush()
    raw(jetwire::kMagic, sizeof jetwire::kMagic);
    buf_.push_back(kind);
}

void AnswerWriter::str(std::string_view s) {
    u32(static_cast<std::uint32_t>(s.size()));
    buf_.append(s);
}

void AnswerWriter::raw(const void* p, std::size_t n) {
    buf_.append(static_cast<const char*>(p), n);
}

void AnswerWriter::finish() {
    raw(jetwire::kTrailer, sizeof jetwire::kTrailer);
    flush();
    const std::uint32_t end = 0;
    writeAll(fd_, reinterpret_cast<const char*>(&end), sizeof end);
}

void AnswerWriter::flush() {
    const auto n = static_cast<std::uint32_t>(buf_.size() - kLengthBytes);
    if (n == 0) return;
    std::memcpy(buf_.data(), &n, sizeof n);
    writeAll(fd_, buf_.data(), buf_.size());
    buf_.assign(kLengthBytes, '\0');
}

}  // namespace dsadmin
