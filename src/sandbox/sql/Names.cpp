#include "sandbox/sql/Names.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>

namespace sandbox::sql {

namespace {
char up(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
char low(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
bool ascii(const std::string& s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return (c & 0x80) == 0; });
}
}  // namespace

std::string upper(const std::string& s) {
    std::string r = s;
    std::transform(r.begin(), r.end(), r.begin(), up);
    return r;
}

std::string lower(const std::string& s) {
    std::string r = s;
    std::transform(r.begin(), r.end(), r.begin(), low);
    return r;
}

std::string foldCase(const std::string& s) {
    if (ascii(s)) return lower(s);
    const auto* bytes = reinterpret_cast<const uint8_t*>(s.data());
    const auto length = static_cast<int32_t>(s.size());
    std::string out;
    out.reserve(s.size());
    for (int32_t i = 0; i < length;) {
        const int32_t start = i;
        UChar32 c;
        U8_NEXT(bytes, i, length, c);
        if (c < 0) {  // not UTF-8: keep the bytes
            out.append(s, static_cast<std::size_t>(start), static_cast<std::size_t>(i - start));
            continue;
        }
        const UChar32 folded = u_foldCase(c, U_FOLD_CASE_DEFAULT);
        uint8_t buf[U8_MAX_LENGTH];
        int32_t n = 0;
        U8_APPEND_UNSAFE(buf, n, folded);
        out.append(reinterpret_cast<const char*>(buf), static_cast<std::size_t>(n));
    }
    return out;
}

bool equalsName(const std::string& a, const std::string& b) {
    if (ascii(a) && ascii(b))  // the common case, without allocating
        return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                                  [](char x, char y) { return low(x) == low(y); });
    return foldCase(a) == foldCase(b);
}

bool equalsText(const std::string& a, const std::string& b) {
    return compareText(a, b) == 0;
}

std::string trimTrailingBlanks(const std::string& s) {
    return s.substr(0, s.find_last_not_of(' ') + 1);
}

int compareText(const std::string& a, const std::string& b) {
    return foldCase(trimTrailingBlanks(a)).compare(foldCase(trimTrailingBlanks(b)));
}

std::size_t utf16Length(const std::string& s) {
    std::size_t units = 0;
    for (unsigned char c : s) {
        if ((c & 0xC0) != 0x80) ++units;  // a lead byte (or ASCII) starts a code point
        if (c >= 0xF0) ++units;           // outside the BMP: a surrogate pair
    }
    return units;
}

}  // namespace sandbox::sql
