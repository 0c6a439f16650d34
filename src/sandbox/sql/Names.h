#pragma once
// Name comparison as the sandbox's collation does it (SQL_Latin1_General_CP1_CI_AS in
// spirit): ASCII letters compare without regard to case, other characters exactly, trailing
// blanks are ignored when values compare. UTF-8 in, UTF-8 out.

#include <string>

namespace sandbox::sql {

std::string upper(const std::string& s);
std::string lower(const std::string& s);
// Identifiers: equal without regard to ASCII case.
bool equalsName(const std::string& a, const std::string& b);
// Character values: equal without regard to ASCII case or trailing blanks.
bool equalsText(const std::string& a, const std::string& b);
// Orders texts the way equalsText compares them (negative, 0, positive).
int compareText(const std::string& a, const std::string& b);

}  // namespace sandbox::sql
