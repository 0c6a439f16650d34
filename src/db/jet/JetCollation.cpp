#include "db/jet/JetCollation.h"

#include <variant>

#include "db/jet/JetName.h"

namespace dsadmin {
namespace {

// Decodes one code point at s[i]; returns false (consuming one byte) on a bad sequence.
bool decode(std::string_view s, std::size_t& i, char32_t& cp) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (len == 0 || i + len > s.size()) {
        cp = c;
        ++i;
        return false;
    }
    cp = len == 1 ? c : c & (0x7F >> len);
    for (int k = 1; k < len; ++k) {
        unsigned char d = static_cast<unsigned char>(s[i + k]);
        if ((d >> 6) != 2) {
            cp = c;
            ++i;
            return false;
        }
        cp = (cp << 6) | (d & 0x3F);
    }
    i += len;
    return true;
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

std::string FoldCase(std::string_view utf8) {
    return JetName::fold(utf8);
}

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
        char32_t cp = 0;
        decode(k.folded, i, cp);
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

}  // namespace dsadmin
