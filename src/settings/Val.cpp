#include "settings/Val.h"

#include <charconv>
#include <cstdint>
#include <string>

namespace dsadmin {
namespace {

bool Skipped(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

int DigitValue(char c, int radix) {
    int v = IsDigit(c) ? c - '0' : (Upper(c) >= 'A' && Upper(c) <= 'F') ? Upper(c) - 'A' + 10 : 99;
    return v < radix ? v : -1;
}

// "&H" / "&O" digits (already without skipped characters, prefix removed).
double RadixValue(std::string_view digits, int radix) {
    std::uint64_t value = 0;
    for (char c : digits) {
        const int d = DigitValue(c, radix);
        if (d < 0) break;
        value = value * static_cast<unsigned>(radix) + static_cast<unsigned>(d);
        if (value > 0xFFFFFFFFu) return 0;
    }
    if (value <= 0xFFFF) return static_cast<std::int16_t>(static_cast<std::uint16_t>(value));
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

// Length of the longest prefix of `s` that reads as a decimal number.
std::size_t DecimalLength(std::string_view s) {
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
    }
    if (digits == 0) return 0;
    if (i < s.size() && Upper(s[i]) == 'E') {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
        if (j < s.size() && IsDigit(s[j])) {
            while (j < s.size() && IsDigit(s[j])) ++j;
            i = j;
        }
    }
    return i;
}

}  // namespace

double Val(std::string_view text) {
    std::string s;
    for (char c : text) {
        if (!Skipped(c)) s += c;
    }
    if (s.size() >= 2 && s[0] == '&' && (Upper(s[1]) == 'H' || Upper(s[1]) == 'O')) {
        return RadixValue(std::string_view(s).substr(2), Upper(s[1]) == 'H' ? 16 : 8);
    }
    const std::size_t n = DecimalLength(s);
    if (n == 0) return 0;
    std::size_t start = s[0] == '+' ? 1 : 0;  // from_chars takes '-' but not '+'
    double value = 0;
    const auto result = std::from_chars(s.data() + start, s.data() + n, value);
    if (result.ec != std::errc()) return 0;  // out of range
    return value;
}

}  // namespace dsadmin
