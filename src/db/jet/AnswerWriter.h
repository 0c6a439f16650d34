#pragma once
// The helper's side of a JetReader call: encodes one answer (see JetWire.h) into a buffer and
// writes it to a file descriptor in large length-prefixed chunks, ended by an empty chunk.

#include <cstdint>
#include <string>
#include <string_view>

namespace dsadmin {

class AnswerWriter {
  public:
    // Does not own `fd`. Writes "DSJ1" and `kind`.
    AnswerWriter(int fd, char kind);

    void u8(std::uint8_t v) { buf_.push_back(static_cast<char>(v)); }
    void u32(std::uint32_t v) { raw(&v, sizeof v); }
    void i64(std::int64_t v) { raw(&v, sizeof v); }
    void f64(double v) { raw(&v, sizeof v); }
    void str(std::string_view s);
    void raw(const void* p, std::size_t n);

    // Sends what is buffered once the buffer is large. Throws std::runtime_error when the
    // socket refuses data.
    void maybeFlush() {
        if (buf_.size() >= kChunk) flush();
    }
    // Writes the trailer, sends everything and ends the answer with the empty chunk.
    void finish();

  private:
    static constexpr std::size_t kChunk = 256 * 1024;
    void flush();

    int fd_;
    std::string buf_;
};

}  // namespace dsadmin
