#pragma once
// Appends integers and text to a growing byte buffer in the byte orders TDS uses.

#include <cstdint>
#include <string>
#include <string_view>

namespace sandbox::tds {

class ByteWriter {
  public:
    void u8(std::uint8_t v) { out_.push_back(static_cast<char>(v)); }
    void u16le(std::uint16_t v);
    void u16be(std::uint16_t v);
    void u32le(std::uint32_t v);
    void u32be(std::uint32_t v);
    void u64le(std::uint64_t v);
    void bytes(std::string_view b) { out_.append(b); }
    // UTF-8 text as UCS-2LE without a length; returns the number of UTF-16 code units.
    std::size_t ucs2(std::string_view utf8);
    // B_VARCHAR (byte count of characters, at most 255: longer text is cut) and
    // US_VARCHAR (USHORT count, at most 65535).
    void bVarchar(std::string_view utf8);
    void usVarchar(std::string_view utf8);
    // US_VARCHAR of a message text, cut as SQL Server cuts one: over kMaxMessageUnits UTF-16
    // units, the first kMaxMessageUnits - 3 and "...".
    static constexpr std::size_t kMaxMessageUnits = 2047;
    void messageText(std::string_view utf8);
    // Overwrites two bytes at `pos` (little-endian), for lengths known only afterwards.
    void patchU16le(std::size_t pos, std::uint16_t v);

    std::size_t size() const { return out_.size(); }
    const std::string& data() const { return out_; }
    std::string take() { return std::move(out_); }

  private:
    std::string out_;
};

}  // namespace sandbox::tds
