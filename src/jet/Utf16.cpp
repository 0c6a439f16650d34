#include "jet/Utf16.h"

namespace dsadmin::jet {
namespace {

void unit(std::vector<std::uint8_t>& out, std::uint32_t u) {
    out.push_back(static_cast<std::uint8_t>(u));
    out.push_back(static_cast<std::uint8_t>(u >> 8));
}

// Decodes one UTF-8 sequence at s[i]; returns its code point and advances i, or returns
// 0xFFFFFFFF for an invalid sequence.
std::uint32_t next(std::string_view s, std::size_t& i) {
    auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char c = b(i);
    int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (len == 0 || i + len > s.size()) return 0xFFFFFFFF;
    std::uint32_t cp = len == 1 ? c : c & (0x7F >> len);
    for (int k = 1; k < len; ++k) {
        if ((b(i + k) & 0xC0) != 0x80) return 0xFFFFFFFF;
        cp = (cp << 6) | (b(i + k) & 0x3F);
    }
    static const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < least[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) return 0xFFFFFFFF;
    i += len;
    return cp;
}

}  // namespace

long Utf16::append(std::string_view utf8, std::vector<std::uint8_t>& out) {
    long units = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        std::uint32_t cp = next(utf8, i);
        if (cp == 0xFFFFFFFF) return -1;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            unit(out, 0xD800 + (cp >> 10));
            unit(out, 0xDC00 + (cp & 0x3FF));
            units += 2;
        } else {
            unit(out, cp);
            ++units;
        }
    }
    return units;
}

}  // namespace dsadmin::jet
