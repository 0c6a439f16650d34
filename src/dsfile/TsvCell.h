#pragma once
// One cell of dsfile's tab-separated text.
//
// A line is one row; cells are separated by one tab (character 9). Inside a cell:
//   \\  a backslash        \t  a tab        \n  a line feed        \r  a carriage return
// A cell that is exactly \N is NULL; an empty cell is the empty text. Any other backslash
// sequence is an error. Text is UTF-8.

#include <string>
#include <string_view>
#include <vector>

namespace dsadmin {

class TsvCell {
  public:
    static constexpr std::string_view kNull = "\\N";

    // The cell text for `value` (escaped; never the NULL marker).
    static std::string escape(std::string_view value);

    // Decodes an escaped cell (not the NULL marker) into `out`. False for a backslash
    // followed by anything but \ t n r, or a lone backslash at the end.
    static bool unescape(std::string_view cell, std::string& out);

    // Splits a line (without its line end) at every tab.
    static std::vector<std::string_view> split(std::string_view line);
};

}  // namespace dsadmin
