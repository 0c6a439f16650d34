#pragma once
// How Jet matches names (tables, columns) and text: without regard to letter case, for the
// letters of every alphabet.

#include <string_view>

#include "base/CaseFolding.h"

namespace dsadmin {

class JetName {
  public:
    // Whether two names are the same to Jet: equal once case-folded (FoldCase).
    static bool same(std::string_view a, std::string_view b) { return FoldCase(a) == FoldCase(b); }
};

}  // namespace dsadmin
