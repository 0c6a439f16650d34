#include "sandbox/tds/TextCodec.h"

#include <cstdint>

namespace sandbox::tds {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void putUtf16(std::string& out, std::uint16_t unit) {
    out.push_back(static_cast<char>(unit & 0xFF));
    out.push_back(static_cast<char>(unit >> 8));
}

void putUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// Decodes one UTF-8 sequence starting at `i`, advancing `i`; malformed input yields U+FFFD
// and consumes one byte so that decoding always moves on.
char32_t nextCodePoint(std::string_view s, std::size_t& i) {
    auto b0 = static_cast<unsigned char>(s[i++]);
    if (b0 < 0x80) return b0;
    int extra = b0 >= 0xF0 ? 3 : b0 >= 0xE0 ? 2 : b0 >= 0xC0 ? 1 : -1;
    if (extra < 0 || b0 > 0xF4 || i + extra > s.size()) return kReplacement;
    char32_t c = b0 & (0x3F >> extra);
    for (int k = 0; k < extra; ++k) {
        auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) return kReplacement;
        c = (c << 6) | (b & 0x3F);
    }
    static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (c < kMin[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return kReplacement;
    i += extra;
    return c;
}

}  // namespace

std::string utf8ToUcs2(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() * 2);
    std::size_t i = 0;
    while (i < utf8.size()) {
        char32_t c = nextCodePoint(utf8, i);
        if (c >= 0x10000) {
            c -= 0x10000;
            putUtf16(out, static_cast<std::uint16_t>(0xD800 + (c >> 10)));
            putUtf16(out, static_cast<std::uint16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            putUtf16(out, static_cast<std::uint16_t>(c));
        }
    }
    return out;
}

std::string ucs2ToUtf8(std::string_view ucs2) {
    std::string out;
    out.reserve(ucs2.size());
    std::size_t n = ucs2.size() / 2;
    auto unit = [&](std::size_t k) {
        return static_cast<std::uint16_t>(static_cast<unsigned char>(ucs2[2 * k]) |
                                          (static_cast<unsigned char>(ucs2[2 * k + 1]) << 8));
    };
    for (std::size_t k = 0; k < n; ++k) {
        char32_t c = unit(k);
        if (c >= 0xD800 && c <= 0xDBFF && k + 1 < n && unit(k + 1) >= 0xDC00 &&
            unit(k + 1) <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(k + 1) - 0xDC00);
            ++k;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;
        }
        putUtf8(out, c);
    }
    return out;
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
        putUtf8(out, b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : b);
    }
    return out;
}

}  // namespace sandbox::tds
