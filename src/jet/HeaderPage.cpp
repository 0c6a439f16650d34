#include "jet/HeaderPage.h"

#include <cmath>
#include <utility>

namespace dsadmin::jet {
namespace {

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

// The values every Jet 4 file compared holds (Access 2000 to 2003 files and Jet 4 files of
// later versions alike); what they mean is not documented.
constexpr std::uint32_t kRegionStart[6] = {0x100, 0x101, 2, 3, 4, 5};  // at 0x18
constexpr std::uint16_t kRegionWord = 0x21AA;                          // at 0x6A
constexpr std::uint32_t kVersionStamp = 0x654;                         // at 0x98, then "4.0"
constexpr std::size_t kCounters = 0xE00;  // 256 u16 counters: 0x101, then 0x100 each

}  // namespace

void HeaderPage::toggleRegion(Page& page) {
    static const std::uint8_t kKey[4] = {0xC7, 0xDA, 0x39, 0x6B};
    rc4(kKey, &page[kRegion], kRegionSize);
}

void HeaderPage::passwordMask(double createdJetDate, std::uint8_t (&mask)[kPasswordSize]) {
    const auto days =
        static_cast<std::uint32_t>(static_cast<std::int32_t>(std::floor(createdJetDate)));
    for (std::size_t i = 0; i < kPasswordSize; i += 4) put32(&mask[i], days);
}

Page HeaderPage::make(double createdJetDate) {
    Page p{};
    p[1] = 0x01;
    static const char kTitle[] = "Standard Jet DB";
    std::memcpy(&p[4], kTitle, sizeof kTitle);
    p[0x14] = 0x01;
    for (std::size_t i = 0; i < 6; ++i) put32(&p[kRegion + 4 * i], kRegionStart[i]);
    put16(&p[0x3C], 1252);
    put32(&p[0x3E], 0);
    std::uint8_t mask[kPasswordSize];
    passwordMask(createdJetDate, mask);
    std::memcpy(&p[kPassword], mask, kPasswordSize);
    put16(&p[0x6A], kRegionWord);
    put16(&p[0x6E], 1033);
    putDouble(&p[kCreated], createdJetDate);
    toggleRegion(p);
    put32(&p[0x98], kVersionStamp);
    std::memcpy(&p[0x9C], "4.0", 3);
    put16(&p[kCounters], 0x101);
    for (std::size_t at = kCounters + 2; at < kPageSize; at += 2) put16(&p[at], 0x100);
    return p;
}

}  // namespace dsadmin::jet
