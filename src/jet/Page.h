#pragma once
// One 4096-byte Jet 4 page, and little-endian stores into byte buffers.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace dsadmin::jet {

inline constexpr std::size_t kPageSize = 4096;
using Page = std::array<std::uint8_t, kPageSize>;

inline void put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void put32(std::uint8_t* p, std::uint32_t v) {
    put16(p, static_cast<std::uint16_t>(v));
    put16(p + 2, static_cast<std::uint16_t>(v >> 16));
}
inline void putDouble(std::uint8_t* p, double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    put32(p, static_cast<std::uint32_t>(bits));
    put32(p + 4, static_cast<std::uint32_t>(bits >> 32));
}
inline std::uint16_t get16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t get32(const std::uint8_t* p) {
    return get16(p) | static_cast<std::uint32_t>(get16(p + 2)) << 16;
}

}  // namespace dsadmin::jet
