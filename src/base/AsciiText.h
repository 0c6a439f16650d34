#pragma once
// Text rules that hold for ASCII only and look at nothing else: keywords, provider and field
// names, blanks. Bytes from 0x80 up (every byte of a multi-byte UTF-8 character) are never
// changed or folded, whatever the process's locale.

#include <string>
#include <string_view>

namespace dsadmin {

// `text` without the leading and trailing characters found in `blanks`.
std::string TrimAny(std::string_view text, std::string_view blanks);

// Leading and trailing blanks (character 32) removed; tabs, line breaks and inner blanks stay.
std::string Trim(std::string_view text);

// `text` with A-Z turned into a-z.
std::string AsciiLower(std::string_view text);

// True when a and b are equal once A-Z and a-z are taken as the same letters.
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

}  // namespace dsadmin
