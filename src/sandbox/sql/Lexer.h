#pragma once
// Splits a T-SQL batch (UTF-8) into tokens: plain, [bracketed] (]] escapes) and "quoted"
// identifiers, 'strings' ('' escapes) and N'strings', numbers, 0x binaries, @variables,
// punctuation; skips blanks, -- comments and nested /* */ comments. Keywords are words
// compared without regard to case. sp_executesql parameters are substituted here: an @name
// that names a parameter becomes the literal token of its value, so values never pass
// through the text.
//
// Throws SqlError (class 15: 102, 103, 105, 113, 1038) for a batch that cannot be split,
// including invalid UTF-8, NUL bytes and batches over kMaxBatchBytes (kNotSupported).

#include <string>
#include <vector>

#include "sandbox/Engine.h"
#include "sandbox/sql/Token.h"

namespace sandbox::sql {

class Lexer {
  public:
    static constexpr std::size_t kMaxBatchBytes = 16u << 20;
    static constexpr std::size_t kMaxIdentifierChars = 128;

    // The tokens of `sql`, ending with one End token.
    static std::vector<Token> tokenize(const std::string& sql, const std::vector<Param>& params);

    // True for T-SQL's reserved keywords (any case).
    static bool isReserved(const std::string& word);

  private:
    Lexer(const std::string& sql, const std::vector<Param>& params) : s_(sql), params_(params) {}
    std::vector<Token> run();
    bool skipBlankAndComments();
    Token next();
    // A token of `kind` starting on the current line.
    Token startToken(TokenKind kind) const;
    // Throws 103 when the name `t` holds is longer than the server takes.
    static void requireIdentifierLength(const Token& t);
    Token word();
    Token quotedName(char close);
    Token string(bool unicode);
    Token number();
    Token variable();
    Token symbol();
    Token substitute(const Token& variable) const;
    void countLines(std::size_t from, std::size_t to);
    char peek(std::size_t ahead = 0) const {
        return pos_ + ahead < s_.size() ? s_[pos_ + ahead] : '\0';
    }

    const std::string& s_;
    const std::vector<Param>& params_;
    std::size_t pos_ = 0;
    std::int32_t line_ = 1;
};

}  // namespace sandbox::sql
