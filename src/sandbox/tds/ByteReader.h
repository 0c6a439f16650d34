#pragma once
// Sequential reader over a byte buffer that the caller owns. Every read checks the bounds and
// throws ProtocolError instead of reading past the end.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace sandbox::tds {

class ByteReader {
  public:
    explicit ByteReader(std::string_view data) : data_(data) {}

    std::size_t position() const { return pos_; }
    std::size_t remaining() const { return data_.size() - pos_; }
    bool atEnd() const { return pos_ == data_.size(); }

    std::uint8_t u8();
    std::uint16_t u16le();
    std::uint16_t u16be();
    std::uint32_t u32le();
    std::uint32_t u32be();
    std::uint64_t u64le();
    // `n` raw bytes (a view into the caller's buffer).
    std::string_view bytes(std::size_t n);
    void skip(std::size_t n) { bytes(n); }
    // UCS-2LE text of `chars` code units, returned as UTF-8.
    std::string ucs2(std::size_t chars);
    // B_VARCHAR: one byte of length in characters, then UCS-2LE; returned as UTF-8.
    std::string bVarchar() { return ucs2(u8()); }
    void seek(std::size_t pos);

  private:
    void need(std::size_t n) const;

    std::string_view data_;
    std::size_t pos_ = 0;
};

}  // namespace sandbox::tds
