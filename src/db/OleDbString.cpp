#include "db/OleDbString.h"

#include <algorithm>

#include "base/AsciiText.h"
#include "db/DbError.h"

namespace dsadmin {
namespace {

constexpr std::string_view kBlanks = " \t\r\n";

bool isBlank(char c) {
    return kBlanks.find(c) != std::string_view::npos;
}

const char* kMalformed = "连接字符串格式不正确：带引号的值没有结束，或结束引号后还有文字。";

// Reads a keyword from pos up to its single '=' ("==" is a literal '='); pos ends past '='.
// Returns false when the pair has no '=' before the next ';' or the end.
bool readKeyword(const std::string& s, std::size_t& pos, std::string& keyword) {
    std::string raw;
    while (pos < s.size() && s[pos] != ';') {
        if (s[pos] == '=') {
            if (pos + 1 < s.size() && s[pos + 1] == '=') {
                raw += '=';
                pos += 2;
                continue;
            }
            ++pos;
            keyword = TrimAny(raw, kBlanks);
            return true;
        }
        raw += s[pos++];
    }
    keyword = TrimAny(raw, kBlanks);
    return false;
}

// Reads a value from pos (just past '=') to the ';' that ends it; pos ends on that ';'.
std::string readValue(const std::string& s, std::size_t& pos) {
    while (pos < s.size() && isBlank(s[pos])) ++pos;
    if (pos < s.size() && (s[pos] == '"' || s[pos] == '\'')) {
        char q = s[pos++];
        std::string v;
        for (;;) {
            if (pos >= s.size()) throw DbError(kMalformed);
            if (s[pos] == q) {
                if (pos + 1 < s.size() && s[pos + 1] == q) {
                    v += q;
                    pos += 2;
                    continue;
                }
                ++pos;
                break;
            }
            v += s[pos++];
        }
        while (pos < s.size() && isBlank(s[pos])) ++pos;
        if (pos < s.size() && s[pos] != ';') throw DbError(kMalformed);
        return v;
    }
    std::size_t end = s.find(';', pos);
    if (end == std::string::npos) end = s.size();
    std::string v = TrimAny(std::string_view(s).substr(pos, end - pos), kBlanks);
    pos = end;
    return v;
}

}  // namespace

OleDbString OleDbString::Parse(const std::string& text) {
    OleDbString cs;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::string keyword;
        bool hasValue = readKeyword(text, pos, keyword);
        std::string value = hasValue ? readValue(text, pos) : std::string();
        if (pos < text.size()) ++pos;   // the ';'
        if (keyword.empty()) continue;  // ";;" and a bare "=x" carry nothing
        cs.set(keyword, value);
    }
    return cs;
}

void OleDbString::set(const std::string& keyword, const std::string& value) {
    auto it = std::find_if(pairs_.begin(), pairs_.end(), [&](const auto& p) {
        return EqualsIgnoringAsciiCase(p.first, keyword);
    });
    if (it != pairs_.end())
        *it = {keyword, value};
    else
        pairs_.emplace_back(keyword, value);
}

std::optional<std::string> OleDbString::get(const std::string& keyword) const {
    for (const auto& [k, v] : pairs_)
        if (EqualsIgnoringAsciiCase(k, keyword)) return v;
    return std::nullopt;
}

std::optional<std::string> OleDbString::get(std::initializer_list<const char*> keywords) const {
    for (const char* k : keywords)
        if (auto v = get(std::string(k))) return v;
    return std::nullopt;
}

void OleDbString::erase(const std::string& keyword) {
    std::erase_if(pairs_, [&](const auto& p) { return EqualsIgnoringAsciiCase(p.first, keyword); });
}

std::string OleDbString::QuoteValue(const std::string& value) {
    bool needs =
        value.find(';') != std::string::npos ||
        (!value.empty() && (value.front() == '"' || value.front() == '\'' || value.front() == '=' ||
                            isBlank(value.front()) || isBlank(value.back())));
    if (!needs) return value;
    char q = (value.find('"') != std::string::npos && value.find('\'') == std::string::npos) ? '\''
                                                                                             : '"';
    std::string out(1, q);
    for (char c : value) {
        out += c;
        if (c == q) out += q;
    }
    out += q;
    return out;
}

}  // namespace dsadmin
