#include "sandbox/tds/TextCodec.h"

#include <cstdint>

#include "base/Utf16.h"

namespace sandbox::tds {

std::string utf8ToUcs2(std::string_view utf8) {
    const std::u16string units = dsadmin::Utf8ToUtf16(utf8);
    std::string out;
    out.reserve(units.size() * 2);
    for (const char16_t unit : units) {
        out.push_back(static_cast<char>(unit & 0xFF));
        out.push_back(static_cast<char>(unit >> 8));
    }
    return out;
}

std::string ucs2ToUtf8(std::string_view ucs2) {
    std::u16string units(ucs2.size() / 2, u'\0');
    for (std::size_t k = 0; k < units.size(); ++k) {
        units[k] = static_cast<char16_t>(static_cast<unsigned char>(ucs2[2 * k]) |
                                         (static_cast<unsigned char>(ucs2[2 * k + 1]) << 8));
    }
    return dsadmin::Utf16ToUtf8(units);
}

std::string cp1252ToUtf8(std::string_view bytes) {
    static constexpr char16_t kHigh[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    std::string out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        auto b = static_cast<unsigned char>(ch);
        dsadmin::AppendUtf8(out, b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : b);
    }
    return out;
}

}  // namespace sandbox::tds
