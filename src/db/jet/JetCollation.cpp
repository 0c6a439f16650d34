#include "db/jet/JetCollation.h"

#include <variant>

#include "base/Utf16.h"

namespace dsadmin {
namespace {

// The code point at s[i], moving i past it; a byte of a malformed sequence weighs as itself.
char32_t nextCodePoint(std::string_view s, std::size_t& i) {
    const auto byte = static_cast<unsigned char>(s[i]);
    const char32_t cp = DecodeUtf8(s, i);
    return cp == kNotUtf8 ? byte : cp;
}

// Accented Latin-1 lower-case letters sort with their base letter.
char32_t baseOf(char32_t c) {
    static const char32_t kBase[] = U"aaaaaaaceeeeiiiidnooooo/ouuuuyty";  // 0xE0..0xFF
    if (c >= 0xE0 && c <= 0xFF && c != 0xF7) return kBase[c - 0xE0];
    return c;
}

// The General-order weight of a folded code point: class in the high bits.
char32_t weightOf(char32_t c) {
    c = baseOf(c);
    if (c >= '0' && c <= '9') return (1u << 24) | c;
    if (c >= 'a' && c <= 'z') return (2u << 24) | c;
    if (c < 0x80) return c;  // blanks and punctuation first
    return (3u << 24) | c;
}

double numberOf(const Value& v, bool& isNumber) {
    isNumber = true;
    const auto& s = v.storage();
    if (auto p = std::get_if<std::int64_t>(&s)) return static_cast<double>(*p);
    if (auto p = std::get_if<double>(&s)) return *p;
    if (auto p = std::get_if<bool>(&s)) return *p ? -1.0 : 0.0;
    if (auto p = std::get_if<Date>(&s)) return p->days;
    isNumber = false;
    return 0;
}

}  // namespace

bool JetSame(const Value& a, const Value& b) {
    if (a.isNull() || b.isNull()) return a.isNull() && b.isNull();
    auto sa = std::get_if<std::string>(&a.storage());
    auto sb = std::get_if<std::string>(&b.storage());
    if (sa && sb) return FoldCase(*sa) == FoldCase(*sb);
    if (sa || sb) return false;
    bool na = false, nb = false;
    return numberOf(a, na) == numberOf(b, nb);
}

JetSortKey MakeSortKey(const Value& v) {
    JetSortKey k;
    if (v.isNull()) return k;
    bool isNumber = false;
    k.number = numberOf(v, isNumber);
    if (isNumber) {
        k.rank = 1;
        return k;
    }
    k.rank = 2;
    k.folded = FoldCase(v.text());
    for (std::size_t i = 0; i < k.folded.size();) {
        const char32_t cp = nextCodePoint(k.folded, i);
        if (cp == '-' || cp == '\'') continue;  // only break ties
        k.primary += weightOf(cp);
    }
    return k;
}

int JetCompareKeys(const JetSortKey& a, const JetSortKey& b) {
    if (a.rank != b.rank) return a.rank < b.rank ? -1 : 1;
    if (a.rank == 1) return a.number < b.number ? -1 : a.number > b.number ? 1 : 0;
    if (int c = a.primary.compare(b.primary)) return c < 0 ? -1 : 1;
    // Equal but for hyphens and apostrophes: the text without them first.
    if (a.folded.size() != b.folded.size()) return a.folded.size() < b.folded.size() ? -1 : 1;
    if (int c = a.folded.compare(b.folded)) return c < 0 ? -1 : 1;
    return 0;
}

int JetCompareFolded(std::string_view a, std::string_view b) {
    std::size_t i = 0, j = 0;
    // The primary weights, hyphens and apostrophes left out.
    for (;;) {
        char32_t ca = 0, cb = 0;
        bool hasA = false, hasB = false;
        while (i < a.size() && !hasA) {
            ca = nextCodePoint(a, i);
            hasA = ca != '-' && ca != '\'';
        }
        while (j < b.size() && !hasB) {
            cb = nextCodePoint(b, j);
            hasB = cb != '-' && cb != '\'';
        }
        if (!hasA || !hasB) {
            if (hasA != hasB) return hasA ? 1 : -1;  // the shorter weights first
            break;
        }
        const char32_t wa = weightOf(ca), wb = weightOf(cb);
        if (wa != wb) return wa < wb ? -1 : 1;
    }
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    if (int c = a.compare(b)) return c < 0 ? -1 : 1;
    return 0;
}

}  // namespace dsadmin
