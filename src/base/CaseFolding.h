#pragma once
// Letter case without regard to script, as Jet and SQL Server compare names: Unicode simple
// case folding (ICU), so that a folded text keeps its length in characters. Every comparison
// of names ignoring case goes through here: Jet's (db/jet), the sandbox's collation, and the
// structure check's, which alone folds fully (FullFoldCase, below).

#include <string>
#include <string_view>

namespace dsadmin {

// `utf8` with every code point case-folded ('Ärger' and 'äRGER' both give 'ärger'). Bytes
// that are not valid UTF-8 are kept as they are.
std::string FoldCase(std::string_view utf8);

// One code point simply case-folded, as FoldCase folds each.
char32_t FoldCodePoint(char32_t c);

// `utf8` with full Unicode case folding, where one character may fold to several ('ß' gives
// 'ss'). The one intentional difference from FoldCase: the structure check matches described
// names with catalog names this way, so that a name whose case differs by such a character is
// still taken for the same table or column instead of one missing and one extra.
std::string FullFoldCase(std::string_view utf8);

}  // namespace dsadmin
