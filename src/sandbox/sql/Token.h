#pragma once
// One token of a T-SQL batch.

#include <cstdint>
#include <string>

namespace sandbox::sql {

enum class TokenKind : std::uint8_t {
    Word,        // plain identifier or keyword, text as written
    QuotedName,  // [bracketed] or "double-quoted" identifier, text unescaped
    String,      // 'text' or N'text', text unescaped
    Number,      // 12, 1.5, 2e3, .5 as written
    Binary,      // 0x1F as written
    Variable,    // @name or @@name, text with its @ signs
    Symbol,      // one or two punctuation characters: ( ) , ; . = <> <= >= != * + - / ...
    End,
};

// Laid out to take 40 bytes: a batch of one-character tokens costs that much per byte of
// text while it is parsed (charged to the request's memory, see MemoryBudget.h).
struct Token {
    std::string text;
    std::int32_t line = 1;
    TokenKind kind = TokenKind::End;
    bool unicode = false;   // String: N'...'
    bool reserved = false;  // Word: a reserved keyword of T-SQL (NULL included)

    bool isSymbol(const char* s) const { return kind == TokenKind::Symbol && text == s; }
};

}  // namespace sandbox::sql
