#include "db/jet/AnswerWriter.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "db/jet/JetWire.h"

namespace dsadmin {

AnswerWriter::AnswerWriter(int fd, char kind) : fd_(fd) {
    buf_.reserve(kChunk + 4096);
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
}

void AnswerWriter::flush() {
    const char* p = buf_.data();
    std::size_t left = buf_.size();
    while (left > 0) {
        ssize_t n = ::write(fd_, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw std::runtime_error("answer pipe closed");
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    buf_.clear();
}

}  // namespace dsadmin
