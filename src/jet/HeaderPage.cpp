#include "jet/HeaderPage.h"

#include <utility>

namespace dsadmin::jet {
namespace {

constexpr std::size_t kRegion = 0x18;
constexpr std::size_t kRegionSize = 128;

// Applies the RC4 key stream of `key` to `data` (encrypts and decrypts alike).
void rc4(const std::uint8_t (&key)[4], std::uint8_t* data, std::size_t n) {
    std::uint8_t s[256];
    for (int i = 0; i < 256; ++i) s[i] = static_cast<std::uint8_t>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % 4]) & 0xFF;
        std::swap(s[i], s[j]);
    }
    for (std::size_t k = 0, i = 0, j = 0; k < n; ++k) {
        i = (i + 1) & 0xFF;
        j = (j + s[i]) & 0xFF;
        std::swap(s[i], s[j]);
        data[k] ^= s[(s[i] + s[j]) & 0xFF];
    }
}

}  // namespace

Page HeaderPage::make(double createdJetDate) {
    Page p{};
    p[1] = 0x01;
    static const char kTitle[] = "Standard Jet DB";
    std::memcpy(&p[4], kTitle, sizeof kTitle);
    p[0x14] = 0x01;
    put16(&p[0x3C], 1252);
    put32(&p[0x3E], 0);
    put16(&p[0x6E], 1033);
    putDouble(&p[0x72], createdJetDate);
    static const std::uint8_t kKey[4] = {0xC7, 0xDA, 0x39, 0x6B};
    rc4(kKey, &p[kRegion], kRegionSize);
    return p;
}

}  // namespace dsadmin::jet
