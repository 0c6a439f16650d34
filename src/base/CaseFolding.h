#pragma once
// Letter case without regard to script, as Jet and SQL Server compare names: Unicode simple
// case folding (ICU), so that a folded text keeps its length in characters.

#include <string>
#include <string_view>

namespace dsadmin {

// `utf8` with every code point case-folded ('Ärger' and 'äRGER' both give 'ärger'). Bytes
// that are not valid UTF-8 are kept as they are.
std::string FoldCase(std::string_view utf8);

}  // namespace dsadmin
