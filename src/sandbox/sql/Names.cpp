#include "sandbox/sql/Names.h"

#include <algorithm>

#include "base/AsciiText.h"
#include "base/CaseFolding.h"

namespace sandbox::sql {

namespace {
char up(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
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
    return dsadmin::AsciiLower(s);
}

std::string foldCase(const std::string& s) {
    return dsadmin::FoldCase(s);
}

bool equalsName(const std::string& a, const std::string& b) {
    if (ascii(a) && ascii(b))  // the common case, without allocating
        return dsadmin::EqualsIgnoringAsciiCase(a, b);
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
