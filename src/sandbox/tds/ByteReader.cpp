#include "sandbox/tds/ByteReader.h"

#include "sandbox/tds/ProtocolError.h"
#include "sandbox/tds/TextCodec.h"

namespace sandbox::tds {

void ByteReader::need(std::size_t n) const {
    if (n > remaining())
        throw ProtocolError("truncated data: need " + std::to_string(n) + " bytes at offset " +
                            std::to_string(pos_) + ", have " + std::to_string(remaining()));
}

std::uint8_t ByteReader::u8() {
    need(1);
    return static_cast<std::uint8_t>(data_[pos_++]);
}

std::uint16_t ByteReader::u16le() {
    std::uint16_t lo = u8();
    return static_cast<std::uint16_t>(lo | (u8() << 8));
}

std::uint16_t ByteReader::u16be() {
    std::uint16_t hi = u8();
    return static_cast<std::uint16_t>((hi << 8) | u8());
}

std::uint32_t ByteReader::u32le() {
    std::uint32_t lo = u16le();
    return lo | (static_cast<std::uint32_t>(u16le()) << 16);
}

std::uint32_t ByteReader::u32be() {
    std::uint32_t hi = u16be();
    return (hi << 16) | u16be();
}

std::uint64_t ByteReader::u64le() {
    std::uint64_t lo = u32le();
    return lo | (static_cast<std::uint64_t>(u32le()) << 32);
}

std::string_view ByteReader::bytes(std::size_t n) {
    need(n);
    auto view = data_.substr(pos_, n);
    pos_ += n;
    return view;
}

std::string ByteReader::ucs2(std::size_t chars) {
    if (chars > remaining() / 2) need(chars * 2);
    return ucs2ToUtf8(bytes(chars * 2));
}

void ByteReader::seek(std::size_t pos) {
    if (pos > data_.size())
        throw ProtocolError("offset " + std::to_string(pos) + " lies beyond the data (" +
                            std::to_string(data_.size()) + " bytes)");
    pos_ = pos;
}

}  // namespace sandbox::tds
