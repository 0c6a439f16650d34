#pragma once
// The number at the start of a text, read the way Visual Basic's Val reads it.

#include <string_view>

namespace dsadmin {

// Returns the value of the text's leading number:
// - blanks, tabs and line feeds are skipped wherever they stand (not other characters);
// - an optional sign, digits, one '.' as the decimal point, and an exponent introduced by E or
//   e with an optional sign; reading stops at the first character that cannot continue the
//   number ("1x" is 1, "1.2.3" is 1.2);
// - "&H" or "&O" (either case) makes the digits that follow hexadecimal or octal, taken as a
//   16-bit signed number when they fit in 16 bits, else as a 32-bit signed one ("&HFFFF" is
//   -1); more than 32 bits gives 0 instead of an overflow error;
// - a text that begins with no number is 0. Never throws.
double Val(std::string_view text);

}  // namespace dsadmin
