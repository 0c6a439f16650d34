#include "sandbox/sql/SelectParser.h"

#include <cerrno>
#include <cstdlib>
#include <limits>

#include "sandbox/sql/Names.h"
#include "sandbox/sql/ServerMessages.h"
#include "sandbox/sql/SqlError.h"

namespace sandbox::sql {

Select SelectParser::select() {
    Select s;
    c_.expectWord("SELECT");
    if (c_.isWord("DISTINCT")) throw SqlError(msg::notSupported("SELECT DISTINCT", c_.peek().line));
    c_.acceptWord("ALL");
    s.top = top();
    do {
        s.items.push_back(item());
    } while (c_.acceptSymbol(","));
    if (c_.acceptWord("FROM")) {
        s.from = c_.objectName();
        if (c_.acceptWord("AS") || c_.isName()) c_.name();  // an alias: columns may use it
    }
    if (c_.acceptWord("WHERE")) {
        do {
            s.where.push_back(condition());
        } while (c_.acceptWord("AND"));
    }
    if (c_.acceptWord("ORDER")) {
        c_.expectWord("BY");
        do {
            s.orderBy.push_back(orderItem());
        } while (c_.acceptSymbol(","));
    }
    for (const char* word :
         {"GROUP", "HAVING", "UNION", "JOIN", "INNER", "LEFT", "CROSS", "OR", "INTO"})
        if (c_.isWord(word))
            throw SqlError(msg::notSupported("SELECT with " + upper(word), c_.peek().line));
    return s;
}

std::optional<std::int64_t> SelectParser::top() {
    if (!c_.acceptWord("TOP")) return std::nullopt;
    const bool parens = c_.acceptSymbol("(");
    const std::int64_t n = c_.integer();
    if (parens) c_.expectSymbol(")");
    if (n < 0) c_.fail();
    return n;
}

SelectItem SelectParser::item() {
    SelectItem it;
    if (c_.acceptSymbol("*")) {
        it.star = true;
        return it;
    }
    if (c_.isName() && c_.peek(1).isSymbol(".") && c_.peek(2).isSymbol("*")) {
        c_.take();
        c_.take();
        c_.take();
        it.star = true;
        return it;
    }
    if ((c_.isName() || c_.peek().kind == TokenKind::String) && c_.peek(1).isSymbol("=")) {
        it.alias = c_.take().text;  // alias = expression
        c_.take();
        it.expr = expr(0);
        return it;
    }
    it.expr = expr(0);
    it.alias = alias();
    return it;
}

std::string SelectParser::alias() {
    if (c_.acceptWord("AS")) {
        if (c_.peek().kind == TokenKind::String) return c_.take().text;
        return c_.name();
    }
    if (c_.isName() || c_.peek().kind == TokenKind::String) return c_.take().text;
    return {};
}

Expr SelectParser::expr(int depth) {
    if (depth > kMaxNesting) throw SqlError(msg::nestedTooDeeply(c_.peek().line));
    const Token& t = c_.peek();
    if (c_.acceptSymbol("(")) {
        Expr e = expr(depth + 1);
        c_.expectSymbol(")");
        return e;
    }
    if (t.isSymbol("-") || t.isSymbol("+")) {
        const bool negative = t.isSymbol("-");
        c_.take();
        if (c_.peek().kind != TokenKind::Number) c_.fail();
        return literal(negative);
    }
    if (t.kind == TokenKind::Number || t.kind == TokenKind::String || c_.isWord("NULL"))
        return literal(false);
    if (t.kind == TokenKind::Binary) throw SqlError(msg::notSupported("A binary constant", t.line));
    if (t.kind == TokenKind::Variable) {
        if (t.text.rfind("@@", 0) != 0) throw SqlError(msg::undeclaredVariable(t.text, t.line));
        Expr e;
        e.kind = Expr::Kind::Global;
        e.name = upper(c_.take().text);
        return e;
    }
    if (t.kind == TokenKind::Word && c_.peek(1).isSymbol("(")) {
        const Token& function = c_.take();
        return call(function, depth);
    }
    Expr e;
    e.kind = Expr::Kind::Column;
    e.name = columnRef();
    return e;
}

Expr SelectParser::literal(bool negative) {
    const Token& t = c_.take();
    Expr e;
    if (t.kind == TokenKind::Word) {  // NULL
        e.value = std::monostate{};
        return e;
    }
    if (t.kind == TokenKind::String) {
        e.value = t.text;
        e.type = ColumnType::NVarChar;
        e.unicode = t.unicode;
        return e;
    }
    const std::string text = (negative ? "-" : "") + t.text;
    if (t.text.find_first_not_of("0123456789") == std::string::npos) {
        errno = 0;
        const long long v = std::strtoll(text.c_str(), nullptr, 10);
        if (errno != ERANGE) {
            e.value = static_cast<std::int64_t>(v);
            const bool small = v >= std::numeric_limits<std::int32_t>::min() &&
                               v <= std::numeric_limits<std::int32_t>::max();
            e.type = small ? ColumnType::Int : ColumnType::BigInt;
            return e;
        }
    }
    e.value = std::strtod(text.c_str(), nullptr);
    e.type = ColumnType::Float;
    return e;
}

Expr SelectParser::call(const Token& function, int depth) {
    Expr e;
    e.kind = Expr::Kind::Function;
    e.name = upper(function.text);
    static const char* const known[] = {"DB_NAME",   "DB_ID",       "GETDATE",       "SUSER_SNAME",
                                        "USER_NAME", "SCHEMA_NAME", "SERVERPROPERTY"};
    bool found = false;
    for (const char* k : known) found = found || e.name == k;
    if (!found) throw SqlError(msg::unknownFunction(function.text, function.line));
    c_.expectSymbol("(");
    if (!c_.peek().isSymbol(")")) {
        do {
            e.args.push_back(expr(depth + 1));
        } while (c_.acceptSymbol(","));
    }
    c_.expectSymbol(")");
    return e;
}

// [alias.]column: the column's own name.
std::string SelectParser::columnRef() {
    std::string name = c_.name();
    while (c_.acceptSymbol(".")) name = c_.memberName();
    return name;
}

Condition SelectParser::condition() {
    Condition cond;
    const bool parens = c_.acceptSymbol("(");
    cond.column = columnRef();
    if (c_.acceptWord("IS")) {
        cond.op = c_.acceptWord("NOT") ? "IS NOT NULL" : "IS NULL";
        c_.expectWord("NULL");
    } else {
        const Token& op = c_.peek();
        if (op.isSymbol("=")) {
            cond.op = "=";
        } else if (op.isSymbol("<>") || op.isSymbol("!=")) {
            cond.op = "<>";
        } else if (op.kind == TokenKind::Symbol || c_.isWord("LIKE") || c_.isWord("IN")) {
            throw SqlError(msg::notSupported("The comparison '" + op.text + "'", op.line));
        } else {
            c_.fail();
        }
        c_.take();
        cond.value = expr(0);
    }
    if (parens) c_.expectSymbol(")");
    return cond;
}

OrderItem SelectParser::orderItem() {
    OrderItem o;
    if (c_.peek().kind == TokenKind::Number) {
        o.position = static_cast<int>(c_.integer());
    } else {
        o.column = columnRef();
    }
    if (!c_.acceptWord("ASC")) o.descending = c_.acceptWord("DESC");
    return o;
}

}  // namespace sandbox::sql
