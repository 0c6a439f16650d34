#include "db/jet/JetQuery.h"

#include <cctype>

#include "base/AsciiText.h"
#include "db/DbError.h"

namespace dsadmin {
namespace {

// A tiny tokenizer: names (plain or bracketed), text literals, and the symbols , * = ;
struct Token {
    enum Kind { Name, Bracketed, Text, Symbol, End } kind = End;
    std::string text;
};

bool isNameChar(unsigned char c) {
    return std::isalnum(c) || c == '_' || c >= 0x80 || c == '$';
}

class Tokenizer {
  public:
    explicit Tokenizer(const std::string& s) : s_(s) {}

    Token next() {
        while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) ++pos_;
        if (pos_ >= s_.size()) return {Token::End, {}};
        char c = s_[pos_];
        if (c == '[') return bracketed();
        if (c == '\'' || c == '"') return literal(c);
        if (isNameChar(static_cast<unsigned char>(c))) {
            std::size_t b = pos_;
            while (pos_ < s_.size() && isNameChar(static_cast<unsigned char>(s_[pos_]))) ++pos_;
            return {Token::Name, s_.substr(b, pos_ - b)};
        }
        ++pos_;
        return {Token::Symbol, std::string(1, c)};
    }

  private:
    Token bracketed() {
        std::size_t close = s_.find(']', pos_ + 1);
        if (close == std::string::npos) throw DbError("查询语法错误：方括号中的名称没有结束。");
        Token t{Token::Bracketed, s_.substr(pos_ + 1, close - pos_ - 1)};
        pos_ = close + 1;
        return t;
    }

    Token literal(char quote) {
        std::string v;
        for (++pos_;; ++pos_) {
            if (pos_ >= s_.size()) throw DbError("查询语法错误：文字常量没有结束。");
            if (s_[pos_] != quote) {
                v += s_[pos_];
            } else if (pos_ + 1 < s_.size() && s_[pos_ + 1] == quote) {
                v += quote;
                ++pos_;
            } else {
                ++pos_;
                return {Token::Text, v};
            }
        }
    }

    const std::string& s_;
    std::size_t pos_ = 0;
};

bool isKeyword(const Token& t, const char* word) {
    return t.kind == Token::Name && EqualsIgnoringAsciiCase(t.text, word);
}

bool isReserved(const Token& t) {
    for (const char* w : {"SELECT", "DISTINCT", "FROM", "WHERE"})
        if (isKeyword(t, w)) return true;
    return false;
}

class Parser {
  public:
    explicit Parser(const std::string& text) : tokens_(text) { advance(); }

    JetQuery parse() {
        JetQuery q;
        expectKeyword("SELECT");
        if (isKeyword(tok_, "DISTINCT")) {
            q.distinct = true;
            advance();
        }
        if (isSymbol("*")) {
            advance();
        } else {
            q.columns.push_back(name("列名"));
            while (isSymbol(",")) {
                advance();
                q.columns.push_back(name("列名"));
            }
        }
        expectKeyword("FROM");
        q.table = name("表名");
        if (isKeyword(tok_, "WHERE")) {
            advance();
            JetQuery::Condition c;
            c.column = name("列名");
            if (!isSymbol("=")) fail("应为“=”");
            advance();
            if (tok_.kind != Token::Text) fail("应为带引号的文字");
            c.text = tok_.text;
            advance();
            q.where = c;
        }
        if (isSymbol(";")) advance();
        if (tok_.kind != Token::End) fail("应为查询的结尾");
        return q;
    }

  private:
    void advance() { tok_ = tokens_.next(); }
    bool isSymbol(const char* s) const { return tok_.kind == Token::Symbol && tok_.text == s; }

    [[noreturn]] void fail(const std::string& what) const {
        if (tok_.kind == Token::End) throw DbError("查询语法错误：查询末尾" + what + "。");
        std::string shown = tok_.kind == Token::Bracketed ? "[" + tok_.text + "]"
                            : tok_.kind == Token::Text    ? "'" + tok_.text + "'"
                                                          : tok_.text;
        throw DbError("查询语法错误：“" + shown + "”处" + what + "。");
    }

    void expectKeyword(const char* word) {
        if (!isKeyword(tok_, word)) fail(std::string("应为 ") + word);
        advance();
    }

    std::string name(const char* what) {
        bool plain = tok_.kind == Token::Name && !isReserved(tok_);
        if (!plain && tok_.kind != Token::Bracketed) fail(std::string("应为") + what);
        std::string n = tok_.text;
        advance();
        return n;
    }

    Tokenizer tokens_;
    Token tok_;
};

}  // namespace

JetQuery JetQuery::Parse(const std::string& text) {
    return Parser(text).parse();
}

}  // namespace dsadmin
