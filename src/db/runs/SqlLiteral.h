#pragma once
// Text that goes into a statement as a T-SQL string literal. Text is UTF-8.

#include <string>
#include <string_view>

namespace dsadmin {

// `text` with every "'" doubled: between quotes it reads back as exactly `text`, and the
// literal always ends where the text ends, whatever the text holds.
std::string DoubleQuotes(std::string_view text);

}  // namespace dsadmin
