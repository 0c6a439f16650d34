#include "sandbox/sql/Lexer.h"

#include "sandbox/MemoryBudget.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "base/TsqlKeywords.h"
#include "base/Utf16.h"
#include "sandbox/sql/Names.h"
#include "sandbox/sql/ServerMessages.h"
#include "sandbox/sql/SqlError.h"

namespace sandbox::sql {

namespace {

// Length of the UTF-8 sequence starting at s[i], or 0 when it is not valid (NUL included).
std::size_t utf8Length(const std::string& s, std::size_t i) {
    if (s[i] == '\0') return 0;
    std::size_t end = i;
    return dsadmin::DecodeUtf8(s, end) == dsadmin::kNotUtf8 ? 0 : end - i;
}

bool isWordStart(char c) {
    const auto u = static_cast<unsigned char>(c);
    return std::isalpha(u) || c == '_' || c == '#' || u >= 0x80;
}
bool isWordChar(char c) {
    return isWordStart(c) || std::isdigit(static_cast<unsigned char>(c)) || c == '@' || c == '$';
}

// The first `count` characters (code points) of a valid UTF-8 text.
std::string firstChars(const std::string& s, std::size_t count) {
    std::size_t i = 0;
    for (std::size_t n = 0; i < s.size() && n < count; ++n)
        i += std::max<std::size_t>(1, utf8Length(s, i));
    return s.substr(0, i);
}

std::size_t charCount(const std::string& s) {
    return static_cast<std::size_t>(std::count_if(
        s.begin(), s.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string formatDouble(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    std::string s = buf;
    if (s.find_first_of(".eEn") == std::string::npos) s += ".0";  // keep it a float literal
    return s;
}

}  // namespace

bool Lexer::isReserved(const std::string& word) {
    return dsadmin::IsTsqlReservedWord(word);
}

std::vector<Token> Lexer::tokenize(const std::string& sql, const std::vector<Param>& params) {
    if (sql.size() > kMaxBatchBytes)
        throw SqlError(msg::notSupported(
            "A batch of more than " + std::to_string(kMaxBatchBytes) + " bytes", 1));
    Lexer lexer(sql, params);
    return lexer.run();
}

std::vector<Token> Lexer::run() {
    for (std::size_t i = 0; i < s_.size();) {
        const std::size_t n = utf8Length(s_, i);
        if (n == 0) {
            line_ = 1;
            countLines(0, i);
            throw SqlError(msg::syntaxNear("\xEF\xBF\xBD", line_));
        }
        i += n;
    }
    // What the tokens take is charged to the request: each block the vector grows into (the
    // old one is still held while the tokens move), and texts too long to sit in their token.
    std::vector<Token> tokens;
    std::size_t uncharged = 0;
    while (skipBlankAndComments()) {
        if (tokens.size() == tokens.capacity()) {
            const std::size_t grown = std::max<std::size_t>(256, tokens.capacity() * 2);
            if (!chargeRequest(grown * sizeof(Token))) throw SqlError(msg::insufficientMemory());
            tokens.reserve(grown);
        }
        tokens.push_back(next());
        if (tokens.back().text.size() > 15) uncharged += tokens.back().text.size();
        if (uncharged >= (64u << 10)) {
            if (!chargeRequest(uncharged)) throw SqlError(msg::insufficientMemory());
            uncharged = 0;
        }
    }
    Token end;
    end.line = line_;
    tokens.push_back(end);
    return tokens;
}

void Lexer::countLines(std::size_t from, std::size_t to) {
    line_ += static_cast<std::int32_t>(
        std::count(s_.begin() + static_cast<long>(from), s_.begin() + static_cast<long>(to), '\n'));
}

// Skips blanks and comments; false at the end of the batch.
bool Lexer::skipBlankAndComments() {
    for (;;) {
        const char c = peek();
        if (c == '\0') return false;
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
            if (c == '\n') ++line_;
            ++pos_;
        } else if (c == '-' && peek(1) == '-') {
            const std::size_t eol = s_.find('\n', pos_);
            pos_ = eol == std::string::npos ? s_.size() : eol;
        } else if (c == '/' && peek(1) == '*') {
            const std::int32_t startLine = line_;
            std::size_t depth = 0;
            do {
                if (pos_ >= s_.size()) throw SqlError(msg::missingEndComment(startLine));
                if (peek() == '/' && peek(1) == '*') {
                    ++depth;
                    pos_ += 2;
                } else if (peek() == '*' && peek(1) == '/') {
                    --depth;
                    pos_ += 2;
                } else {
                    if (peek() == '\n') ++line_;
                    ++pos_;
                }
            } while (depth > 0);
        } else {
            return true;
        }
    }
}

Token Lexer::next() {
    const char c = peek();
    if ((c == 'N' || c == 'n') && peek(1) == '\'') {
        ++pos_;
        return string(true);
    }
    if (c == '\'') return string(false);
    if (c == '[') return quotedName(']');
    if (c == '"') return quotedName('"');
    if (c == '@') return variable();
    if (std::isdigit(static_cast<unsigned char>(c)) ||
        (c == '.' && std::isdigit(static_cast<unsigned char>(peek(1)))))
        return number();
    if (isWordStart(c)) return word();
    return symbol();
}

Token Lexer::startToken(TokenKind kind) const {
    Token t;
    t.kind = kind;
    t.line = line_;
    return t;
}

void Lexer::requireIdentifierLength(const Token& t) {
    if (charCount(t.text) > kMaxIdentifierChars)
        throw SqlError(msg::identifierTooLong(firstChars(t.text, kMaxIdentifierChars), t.line));
}

Token Lexer::word() {
    Token t = startToken(TokenKind::Word);
    const std::size_t start = pos_;
    while (pos_ < s_.size() && isWordChar(s_[pos_])) ++pos_;
    t.text = s_.substr(start, pos_ - start);
    requireIdentifierLength(t);
    t.reserved = isReserved(t.text);
    return t;
}

Token Lexer::quotedName(char close) {
    Token t = startToken(TokenKind::QuotedName);
    const std::size_t start = ++pos_;
    for (;;) {
        if (pos_ >= s_.size()) throw SqlError(msg::unclosedQuote(s_.substr(start), t.line));
        if (s_[pos_] == close) {
            if (peek(1) != close) break;
            ++pos_;
        }
        if (s_[pos_] == '\n') ++line_;
        t.text += s_[pos_++];
    }
    ++pos_;
    if (t.text.empty()) throw SqlError(msg::emptyName(t.line));
    requireIdentifierLength(t);
    return t;
}

Token Lexer::string(bool unicode) {
    Token t = startToken(TokenKind::String);
    t.unicode = unicode;
    const std::size_t start = ++pos_;
    for (;;) {
        if (pos_ >= s_.size()) {
            // A real server adds "Incorrect syntax near '<rest>'." after the 105.
            const std::string rest = s_.substr(start);
            throw SqlError(msg::syntaxNear(rest, t.line), {msg::unclosedQuote(rest, t.line)});
        }
        if (s_[pos_] == '\'') {
            if (peek(1) != '\'') break;
            ++pos_;
        }
        if (s_[pos_] == '\n') ++line_;
        t.text += s_[pos_++];
    }
    ++pos_;
    return t;
}

Token Lexer::number() {
    Token t = startToken(TokenKind::Number);
    const std::size_t start = pos_;
    auto digits = [this] {
        while (std::isdigit(static_cast<unsigned char>(peek()))) ++pos_;
    };
    if (peek() == '0' && (peek(1) == 'x' || peek(1) == 'X')) {
        pos_ += 2;
        while (std::isxdigit(static_cast<unsigned char>(peek()))) ++pos_;
        t.kind = TokenKind::Binary;
    } else {
        digits();
        if (peek() == '.') {
            ++pos_;
            digits();
        }
        if ((peek() == 'e' || peek() == 'E') &&
            (std::isdigit(static_cast<unsigned char>(peek(1))) ||
             ((peek(1) == '+' || peek(1) == '-') &&
              std::isdigit(static_cast<unsigned char>(peek(2)))))) {
            pos_ += 2;
            digits();
        }
    }
    t.text = s_.substr(start, pos_ - start);
    return t;
}

Token Lexer::variable() {
    Token t = startToken(TokenKind::Variable);
    const std::size_t start = pos_;
    ++pos_;
    if (peek() == '@') ++pos_;
    while (pos_ < s_.size() && isWordChar(s_[pos_])) ++pos_;
    t.text = s_.substr(start, pos_ - start);
    requireIdentifierLength(t);
    return t.text.size() > 1 && t.text[1] != '@' ? substitute(t) : t;
}

Token Lexer::substitute(const Token& variable) const {
    for (const Param& p : params_) {
        if (!equalsName(p.name, variable.text)) continue;
        Token t;
        t.line = variable.line;
        if (std::holds_alternative<std::monostate>(p.value)) {
            t.kind = TokenKind::Word;
            t.text = "NULL";
            t.reserved = true;
        } else if (const auto* i = std::get_if<std::int64_t>(&p.value)) {
            t.kind = TokenKind::Number;
            t.text = std::to_string(*i);
        } else if (const auto* d = std::get_if<double>(&p.value)) {
            t.kind = TokenKind::Number;
            t.text = formatDouble(*d);
        } else {
            t.kind = TokenKind::String;
            t.unicode = true;
            t.text = std::get<std::string>(p.value);
        }
        return t;
    }
    return variable;
}

Token Lexer::symbol() {
    Token t = startToken(TokenKind::Symbol);
    static const char* const pairs[] = {"<>", "<=", ">=", "!=", "!<", "!>"};
    for (const char* p : pairs) {
        if (peek() == p[0] && peek(1) == p[1]) {
            t.text = p;
            pos_ += 2;
            return t;
        }
    }
    t.text = std::string(1, s_[pos_++]);
    return t;
}

}  // namespace sandbox::sql
