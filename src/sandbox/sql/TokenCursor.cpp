#include "sandbox/sql/TokenCursor.h"

#include <cerrno>
#include <cstdlib>

#include "sandbox/sql/Names.h"
#include "sandbox/sql/ServerMessages.h"
#include "sandbox/sql/SqlError.h"

namespace sandbox::sql {

const Token& TokenCursor::peek(std::size_t ahead) const {
    const std::size_t i = pos_ + ahead;
    return i < tokens_.size() ? tokens_[i] : tokens_.back();
}

const Token& TokenCursor::take() {
    const Token& t = peek();
    if (pos_ + 1 < tokens_.size()) ++pos_;
    return t;
}

bool TokenCursor::isWord(const char* keyword, std::size_t ahead) const {
    const Token& t = peek(ahead);
    return t.kind == TokenKind::Word && equalsName(t.text, keyword);
}

bool TokenCursor::acceptWord(const char* keyword) {
    if (!isWord(keyword)) return false;
    take();
    return true;
}

void TokenCursor::expectWord(const char* keyword) {
    if (!acceptWord(keyword)) fail();
}

bool TokenCursor::acceptSymbol(const char* symbol) {
    if (!peek().isSymbol(symbol)) return false;
    take();
    return true;
}

void TokenCursor::expectSymbol(const char* symbol) {
    if (!acceptSymbol(symbol)) fail();
}

bool TokenCursor::isName(std::size_t ahead) const {
    const Token& t = peek(ahead);
    return t.kind == TokenKind::QuotedName || (t.kind == TokenKind::Word && !t.reserved);
}

std::string TokenCursor::name() {
    if (!isName()) fail();
    return take().text;
}

std::string TokenCursor::memberName() {
    if (peek().kind != TokenKind::Word && peek().kind != TokenKind::QuotedName) fail();
    return take().text;
}

ObjectName TokenCursor::objectName() {
    ObjectName n;
    n.parts.push_back(name());
    n.text = n.parts.back();
    while (peek().isSymbol(".")) {
        take();
        if (n.parts.size() == 3)
            throw SqlError(msg::notSupported("A four-part object name", peek().line));
        if (peek().isSymbol(".") && n.parts.size() == 1) {
            n.parts.push_back("");  // db..name: the default schema
            n.text += ".";
            continue;
        }
        n.parts.push_back(name());
        n.text += "." + n.parts.back();
    }
    return n;
}

std::int64_t TokenCursor::integer() {
    const bool negative = acceptSymbol("-");
    if (!negative) acceptSymbol("+");
    const Token& t = peek();
    if (t.kind != TokenKind::Number || t.text.find_first_not_of("0123456789") != std::string::npos)
        fail();
    errno = 0;
    const long long v = std::strtoll(t.text.c_str(), nullptr, 10);
    if (errno == ERANGE) fail();
    take();
    return negative ? -v : v;
}

void TokenCursor::fail() const {
    const Token* t = &peek();
    if (t->kind == TokenKind::End && pos_ > 0) t = &tokens_[pos_ - 1];
    if (t->kind == TokenKind::End) throw SqlError(msg::syntaxNear("", t->line));
    if (t->kind == TokenKind::Word && t->reserved)
        throw SqlError(msg::syntaxNearKeyword(t->text, t->line));
    throw SqlError(msg::syntaxNear(t->text, t->line));
}

}  // namespace sandbox::sql
