#include "sandbox/tds/ByteWriter.h"

#include "sandbox/tds/TextCodec.h"

namespace sandbox::tds {

namespace {
// Cuts UCS-2LE text to `units` code units without splitting a surrogate pair.
void cutUnits(std::string& ucs2, std::size_t units) {
    if (ucs2.size() <= units * 2) return;
    ucs2.resize(units * 2);
    const auto last =
        static_cast<std::uint16_t>(static_cast<unsigned char>(ucs2[units * 2 - 2]) |
                                   static_cast<unsigned char>(ucs2[units * 2 - 1]) << 8);
    if (last >= 0xD800 && last <= 0xDBFF) ucs2.resize(ucs2.size() - 2);
}
}  // namespace

void ByteWriter::u16le(std::uint16_t v) {
    u8(v & 0xFF);
    u8(v >> 8);
}

void ByteWriter::u16be(std::uint16_t v) {
    u8(v >> 8);
    u8(v & 0xFF);
}

void ByteWriter::u32le(std::uint32_t v) {
    u16le(v & 0xFFFF);
    u16le(v >> 16);
}

void ByteWriter::u32be(std::uint32_t v) {
    u16be(v >> 16);
    u16be(v & 0xFFFF);
}

void ByteWriter::u64le(std::uint64_t v) {
    u32le(v & 0xFFFFFFFFu);
    u32le(v >> 32);
}

std::size_t ByteWriter::ucs2(std::string_view utf8) {
    std::string encoded = utf8ToUcs2(utf8);
    out_.append(encoded);
    return encoded.size() / 2;
}

void ByteWriter::bVarchar(std::string_view utf8) {
    std::string encoded = utf8ToUcs2(utf8);
    cutUnits(encoded, 255);
    u8(static_cast<std::uint8_t>(encoded.size() / 2));
    out_.append(encoded);
}

void ByteWriter::usVarchar(std::string_view utf8) {
    std::string encoded = utf8ToUcs2(utf8);
    cutUnits(encoded, 65535);
    u16le(static_cast<std::uint16_t>(encoded.size() / 2));
    out_.append(encoded);
}

void ByteWriter::messageText(std::string_view utf8) {
    std::string encoded = utf8ToUcs2(utf8);
    if (encoded.size() > kMaxMessageUnits * 2) {
        cutUnits(encoded, kMaxMessageUnits - 3);
        encoded += utf8ToUcs2("...");
    }
    u16le(static_cast<std::uint16_t>(encoded.size() / 2));
    out_.append(encoded);
}

void ByteWriter::patchU16le(std::size_t pos, std::uint16_t v) {
    out_[pos] = static_cast<char>(v & 0xFF);
    out_[pos + 1] = static_cast<char>(v >> 8);
}

}  // namespace sandbox::tds
