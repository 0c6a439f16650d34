#pragma once
// UTF-8 to the UTF-16LE bytes Jet 4 stores for text.

#include <cstdint>
#include <string_view>
#include <vector>

namespace dsadmin::jet {

class Utf16 {
  public:
    // Appends the UTF-16LE bytes of `utf8` to `out` and returns the number of UTF-16 code
    // units (characters beyond U+FFFF count two). Returns -1 for text that is not valid
    // UTF-8 (overlong forms, surrogates and values above U+10FFFF included), appending nothing.
    static long append(std::string_view utf8, std::vector<std::uint8_t>& out);
};

}  // namespace dsadmin::jet
