#include "db/ReadOnlySession.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

#include "base/AsciiText.h"
#include "db/DbError.h"

namespace dsadmin {
namespace {

bool IsWordChar(char c) {
    const char lower = static_cast<char>(c | 0x20);
    return (lower >= 'a' && lower <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '@' ||
           c == '#' || c == '$' || static_cast<unsigned char>(c) >= 0x80;
}

// Skips from `at` (on the opening character) past the closing `close`, a doubled closing
// character standing for itself. False when the text ends first.
bool SkipQuoted(std::string_view text, std::size_t& at, char close) {
    for (++at; at < text.size(); ++at) {
        if (text[at] != close) continue;
        if (at + 1 < text.size() && text[at + 1] == close) {
            ++at;
            continue;
        }
        ++at;
        return true;
    }
    return false;
}

// Skips a comment starting at `at`; false when it is left unclosed.
bool SkipComment(std::string_view text, std::size_t& at) {
    if (text.substr(at, 2) == "--") {
        const std::size_t end = text.find('\n', at);
        at = end == std::string_view::npos ? text.size() : end + 1;
        return true;
    }
    const std::size_t end = text.find("*/", at + 2);  // T-SQL nests them; none is accepted
    if (end == std::string_view::npos ||
        text.substr(at + 2, end - at - 2).find("/*") != std::string_view::npos)
        return false;
    at = end + 2;
    return true;
}

// The words outside literals, quoted names and comments, lowered; false for a ";" or for
// anything left unclosed.
bool Words(std::string_view text, std::vector<std::string>& words) {
    for (std::size_t at = 0; at < text.size();) {
        const char c = text[at];
        const std::string_view two = text.substr(at, 2);
        if (c == ';') return false;
        if (two == "--" || two == "/*") {
            if (!SkipComment(text, at)) return false;
        } else if (c == '\'' || c == '"' || c == '[') {
            if (!SkipQuoted(text, at, c == '[' ? ']' : c)) return false;
        } else if (IsWordChar(c)) {
            const std::size_t start = at;
            while (at < text.size() && IsWordChar(text[at])) ++at;
            words.push_back(AsciiLower(text.substr(start, at - start)));
        } else {
            ++at;
        }
    }
    return true;
}

// T-SQL needs no ";" between the statements of a batch: every word that may start one that
// is not a SELECT, and every word that makes a SELECT write (INTO) or reach elsewhere, counts
// as changing wherever it stands. Sorted.
constexpr std::array<std::string_view, 47> kChangingWords = {
    "alter",      "backup",   "begin",     "bulk",           "checkpoint",
    "close",      "commit",   "create",    "dbcc",           "deallocate",
    "declare",    "delete",   "deny",      "disable",        "drop",
    "enable",     "exec",     "execute",   "fetch",          "go",
    "goto",       "grant",    "if",        "insert",         "into",
    "kill",       "merge",    "open",      "opendatasource", "openquery",
    "openrowset", "print",    "raiserror", "reconfigure",    "restore",
    "return",     "revert",   "revoke",    "rollback",       "save",
    "set",        "shutdown", "truncate",  "update",         "use",
    "waitfor",    "while"};

}  // namespace

bool IsReadingQuery(std::string_view text) {
    std::vector<std::string> words;
    if (!Words(text, words) || words.empty() || words.front() != "select") return false;
    return std::none_of(words.begin(), words.end(), [](const std::string& w) {
        return std::binary_search(kChangingWords.begin(), kChangingWords.end(), w);
    });
}

std::optional<RowSet> ReadOnlySession::run(const std::string& text) {
    if (!IsReadingQuery(text)) throw DbError(kReadOnlyRefusal + text);
    return inner_->run(text);
}

}  // namespace dsadmin
