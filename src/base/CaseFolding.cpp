#include "base/CaseFolding.h"

#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <algorithm>

#include "base/AsciiText.h"

namespace dsadmin {

std::string FoldCase(std::string_view utf8) {
    // The common case, without ICU: folding ASCII is lowering it.
    if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return (c & 0x80) == 0; }))
        return AsciiLower(utf8);
    std::string out;
    out.reserve(utf8.size());
    const auto* s = reinterpret_cast<const std::uint8_t*>(utf8.data());
    const auto length = static_cast<std::int32_t>(utf8.size());
    for (std::int32_t i = 0; i < length;) {
        const std::int32_t start = i;
        UChar32 c = 0;
        U8_NEXT(s, i, length, c);
        if (c < 0) {
            out.append(utf8.substr(start, i - start));
            continue;
        }
        std::uint8_t buf[U8_MAX_LENGTH];
        std::int32_t n = 0;
        U8_APPEND_UNSAFE(buf, n, static_cast<UChar32>(FoldCodePoint(static_cast<char32_t>(c))));
        out.append(reinterpret_cast<const char*>(buf), static_cast<std::size_t>(n));
    }
    return out;
}

char32_t FoldCodePoint(char32_t c) {
    return static_cast<char32_t>(u_foldCase(static_cast<UChar32>(c), U_FOLD_CASE_DEFAULT));
}

std::string FullFoldCase(std::string_view utf8) {
    std::string out;
    icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())))
        .foldCase()
        .toUTF8String(out);
    return out;
}

}  // namespace dsadmin
