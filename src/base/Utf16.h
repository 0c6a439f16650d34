#pragma once
// UTF-8 (the text of every layer) to and from UTF-16 (ODBC's wide calls, Jet 4 text, TDS):
// the one codec the tree uses for them.

#include <optional>
#include <string>
#include <string_view>

namespace dsadmin {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;
// What DecodeUtf8 returns for a malformed sequence.
inline constexpr char32_t kNotUtf8 = 0xFFFFFFFF;

// Decodes the UTF-8 sequence at text[pos] (pos < text.size()) and moves pos past it. A
// malformed sequence (a stray continuation byte, one cut short, an overlong form, a
// surrogate, a value above U+10FFFF) returns kNotUtf8 and moves pos one byte on.
char32_t DecodeUtf8(std::string_view text, std::size_t& pos);

// Appends the UTF-8 form of the code point c (at most U+10FFFF).
void AppendUtf8(std::string& out, char32_t c);

// The UTF-16 form of `utf8`; each byte of a malformed sequence gives U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);

// The UTF-16 form of `utf8`, or nothing when it is not valid UTF-8.
std::optional<std::u16string> StrictUtf8ToUtf16(std::string_view utf8);

// The UTF-8 form of `utf16`; surrogate pairs are joined, a lone surrogate gives U+FFFD.
std::string Utf16ToUtf8(std::u16string_view utf16);

}  // namespace dsadmin
