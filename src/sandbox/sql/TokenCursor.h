#pragma once
// A read position in a batch's tokens with the checks every statement parser needs. Every
// failure throws SqlError with the message a real server gives for the token found: 156 for
// a reserved keyword, 102 otherwise; at the end of the batch the last token is named.

#include <cstddef>
#include <set>
#include <string>
#include <vector>

#include "sandbox/sql/Ast.h"
#include "sandbox/sql/Token.h"

namespace sandbox::sql {

class TokenCursor {
  public:
    explicit TokenCursor(const std::vector<Token>& tokens) : tokens_(tokens) {}

    const Token& peek(std::size_t ahead = 0) const;
    const Token& take();
    bool atEnd() const { return peek().kind == TokenKind::End; }

    // A word equal to `keyword` without regard to case.
    bool isWord(const char* keyword, std::size_t ahead = 0) const;
    bool acceptWord(const char* keyword);
    void expectWord(const char* keyword);
    bool acceptSymbol(const char* symbol);
    void expectSymbol(const char* symbol);

    // A name: a plain word that is not reserved, or a quoted name.
    bool isName(std::size_t ahead = 0) const;
    std::string name();
    // After a '.': any word, reserved or not (c.precision), or a quoted name.
    std::string memberName();
    // name[.name[.name]]; `db..name` leaves the schema empty.
    ObjectName objectName();
    // A whole number, optionally signed.
    std::int64_t integer();

    // Throws the syntax error for the current token.
    [[noreturn]] void fail() const;

    // The batch's declared variables (names with their '@', upper case), which a SELECT may
    // read.
    void declare(const std::string& variable) { declared_.insert(variable); }
    bool declared(const std::string& variable) const { return declared_.count(variable) != 0; }

  private:
    const std::vector<Token>& tokens_;
    std::size_t pos_ = 0;
    std::set<std::string> declared_;
};

}  // namespace sandbox::sql
