#pragma once
// Name comparison as the sandbox's collation does it (SQL_Latin1_General_CP1_CI_AS in
// spirit): letters of every script compare without regard to case (Unicode simple case
// folding, so 'Ärger' equals 'ärger'), accents and everything else exactly, trailing blanks
// are ignored when values compare. UTF-8 in, UTF-8 out.

#include <string>

namespace sandbox::sql {

// ASCII letters only: keywords, function and option names.
std::string upper(const std::string& s);
std::string lower(const std::string& s);
// The key two names share when they compare equal: every code point case-folded. Bytes
// that are not valid UTF-8 are kept as they are.
std::string foldCase(const std::string& s);
// Identifiers: equal without regard to case.
bool equalsName(const std::string& a, const std::string& b);
// Character values: equal without regard to case or trailing blanks.
bool equalsText(const std::string& a, const std::string& b);
// Orders texts the way equalsText compares them (negative, 0, positive).
int compareText(const std::string& a, const std::string& b);
// The text without its trailing blanks.
std::string trimTrailingBlanks(const std::string& s);
// Length in UTF-16 code units, as SQL Server counts the characters of a name.
std::size_t utf16Length(const std::string& s);

}  // namespace sandbox::sql
