#pragma once
// The settings file's character encoding: GBK (code page 936) on disk, UTF-8 in the program;
// and for a file that starts with a UTF-8 byte-order mark, UTF-8 on disk too. Conversions go
// through glibc's iconv.

#include <cstddef>
#include <string>
#include <string_view>

namespace dsadmin {

// Decodes GBK bytes to UTF-8. Never throws on bad input: a byte that does not start a valid
// GBK character becomes U+FFFD and decoding goes on with the next byte, so one bad byte costs
// one character and never the rest of the text.
std::string GbkToUtf8(std::string_view gbk);

// Encodes UTF-8 text as GBK. A character GBK cannot hold, and a byte that is not valid UTF-8,
// becomes '?' (as the Windows ANSI functions substitute their default character).
std::string Utf8ToGbk(std::string_view utf8);

// Length in bytes of the GBK character starting at text[pos]: 2 for a lead byte (0x81-0xFE)
// followed by another byte, otherwise 1. pos must be < text.size().
inline std::size_t GbkCharLength(std::string_view text, std::size_t pos) {
    const auto c = static_cast<unsigned char>(text[pos]);
    return (c >= 0x81 && c <= 0xFE && pos + 1 < text.size()) ? 2 : 1;
}

// The longest prefix of a GBK text that is at most maxBytes long and does not end in the first
// half of a double-byte character.
std::string_view GbkPrefix(std::string_view gbk, std::size_t maxBytes);

// The UTF-8 text with every byte that starts no valid UTF-8 character replaced by U+FFFD.
std::string ValidUtf8(std::string_view utf8);

// The longest prefix of a UTF-8 text that is at most maxBytes long and does not end inside a
// character.
std::string_view Utf8Prefix(std::string_view utf8, std::size_t maxBytes);

}  // namespace dsadmin
