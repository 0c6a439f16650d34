#pragma once
// How Jet matches names (tables, columns) and text: without regard to letter case, for the
// letters of every alphabet.

#include <string>
#include <string_view>

namespace dsadmin {

class JetName {
  public:
    // `utf8` with every letter case-folded (Unicode simple case folding, so the length in
    // characters stays). Bytes that are no valid UTF-8 stay as they are.
    static std::string fold(std::string_view utf8);
    // Whether two names are the same to Jet.
    static bool same(std::string_view a, std::string_view b) { return fold(a) == fold(b); }
};

}  // namespace dsadmin
