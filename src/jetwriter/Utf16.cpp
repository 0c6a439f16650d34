#include "jetwriter/Utf16.h"

#include "base/Utf16.h"

namespace dsadmin::jet {

long Utf16::append(std::string_view utf8, std::vector<std::uint8_t>& out) {
    const auto units = StrictUtf8ToUtf16(utf8);
    if (!units) return -1;
    for (const char16_t unit : *units) {
        out.push_back(static_cast<std::uint8_t>(unit));
        out.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return static_cast<long>(units->size());
}

}  // namespace dsadmin::jet
