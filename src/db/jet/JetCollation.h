#pragma once
// How Jet compares values: text without regard to case, and the ascending order DISTINCT
// returns (Jet's "General" order: Null first, blanks and punctuation before digits before
// letters, hyphen and apostrophe only breaking ties, accented letters with their base).

#include <string>
#include <string_view>

#include "base/CaseFolding.h"  // FoldCase: how Jet folds text
#include "db/Value.h"

namespace dsadmin {

// Whether two values are the same to Jet: both Null, texts equal without regard to case,
// numbers (yes/no as -1/0, dates by day count) equal in value.
bool JetSame(const Value& a, const Value& b);

// The key under which a value sorts; compare two keys with JetCompareKeys.
struct JetSortKey {
    int rank = 0;  // 0 Null, 1 number, 2 text
    double number = 0;
    std::u32string primary;  // General-order weights
    std::string folded;      // tiebreak: the folded text
};

JetSortKey MakeSortKey(const Value& v);
// Negative, zero or positive as a sorts before, with or after b.
int JetCompareKeys(const JetSortKey& a, const JetSortKey& b);
// The same for two texts already folded (FoldCase), without building their keys: what
// JetCompareKeys gives for the keys of two texts whose folded forms these are.
int JetCompareFolded(std::string_view a, std::string_view b);

}  // namespace dsadmin
