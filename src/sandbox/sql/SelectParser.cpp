#include "sandbox/sql/SelectParser.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <limits>

#include "sandbox/sql/Names.h"
#include "sandbox/sql/ServerMessages.h"
#include "sandbox/sql/SqlError.h"

namespace sandbox::sql {

namespace {

// Functions the engine evaluates.
const char* const kFunctions[] = {
    "DB_NAME", "DB_ID",   "GETDATE", "SUSER_SNAME", "USER_NAME", "SCHEMA_NAME", "SERVERPROPERTY",
    "LEN",     "UPPER",   "LOWER",   "LTRIM",       "RTRIM",     "SUBSTRING",   "LEFT",
    "RIGHT",   "REPLACE", "ISNULL",  "COALESCE",    "ABS",       "CONCAT"};

// SQL Server's common built-in functions that the sandbox does not evaluate: they answer
// kNotSupported, not 195 ("not a recognized built-in function name"), which would be false.
const char* const kOtherFunctions[] = {"COUNT",
                                       "COUNT_BIG",
                                       "SUM",
                                       "AVG",
                                       "MIN",
                                       "MAX",
                                       "CAST",
                                       "CONVERT",
                                       "TRY_CAST",
                                       "TRY_CONVERT",
                                       "IIF",
                                       "CHOOSE",
                                       "NULLIF",
                                       "CHARINDEX",
                                       "PATINDEX",
                                       "TRIM",
                                       "REPLICATE",
                                       "REVERSE",
                                       "STUFF",
                                       "SPACE",
                                       "STR",
                                       "FORMAT",
                                       "CONCAT_WS",
                                       "STRING_AGG",
                                       "DATALENGTH",
                                       "ASCII",
                                       "CHAR",
                                       "NCHAR",
                                       "UNICODE",
                                       "QUOTENAME",
                                       "SOUNDEX",
                                       "DIFFERENCE",
                                       "ROUND",
                                       "FLOOR",
                                       "CEILING",
                                       "POWER",
                                       "SQRT",
                                       "SQUARE",
                                       "SIGN",
                                       "RAND",
                                       "PI",
                                       "EXP",
                                       "LOG",
                                       "LOG10",
                                       "DATEADD",
                                       "DATEDIFF",
                                       "DATEPART",
                                       "DATENAME",
                                       "YEAR",
                                       "MONTH",
                                       "DAY",
                                       "EOMONTH",
                                       "SYSDATETIME",
                                       "GETUTCDATE",
                                       "SYSUTCDATETIME",
                                       "SYSDATETIMEOFFSET",
                                       "DATEFROMPARTS",
                                       "ISDATE",
                                       "ISNUMERIC",
                                       "NEWID",
                                       "OBJECT_ID",
                                       "OBJECT_NAME",
                                       "SCHEMA_ID",
                                       "TYPE_NAME",
                                       "TYPE_ID",
                                       "COL_NAME",
                                       "COL_LENGTH",
                                       "COLUMNPROPERTY",
                                       "OBJECTPROPERTY",
                                       "DATABASEPROPERTYEX",
                                       "HOST_NAME",
                                       "APP_NAME",
                                       "USER_ID",
                                       "SUSER_NAME",
                                       "SUSER_ID",
                                       "SESSION_USER",
                                       "SYSTEM_USER",
                                       "ORIGINAL_LOGIN",
                                       "ERROR_MESSAGE",
                                       "ERROR_NUMBER",
                                       "ROW_NUMBER",
                                       "RANK",
                                       "DENSE_RANK",
                                       "NTILE",
                                       "LAG",
                                       "LEAD",
                                       "FIRST_VALUE",
                                       "LAST_VALUE",
                                       "JSON_VALUE",
                                       "JSON_QUERY",
                                       "ISJSON",
                                       "OPENJSON",
                                       "STRING_SPLIT",
                                       "TRANSLATE",
                                       "CHECKSUM",
                                       "HASHBYTES",
                                       "COMPRESS",
                                       "SCOPE_IDENTITY",
                                       "IDENT_CURRENT",
                                       "CURRENT_TIMESTAMP"};

bool listed(const char* const* list, std::size_t n, const std::string& name) {
    for (std::size_t i = 0; i < n; ++i)
        if (name == list[i]) return true;
    return false;
}

[[noreturn]] void notSupported(const std::string& what, std::int32_t line) {
    throw SqlError(msg::notSupported(what, line));
}

bool isComparison(const Token& t) {
    for (const char* op : {"=", "<>", "!=", "<", ">", "<=", ">=", "!<", "!>"})
        if (t.isSymbol(op)) return true;
    return false;
}

// Long operator chains (1+1+1...) build deep trees without deep parsing; their height is
// bounded so that evaluating or destroying a tree never exhausts the stack.
constexpr int kMaxHeight = 256;

void setHeight(Expr& e) {
    for (const Expr& a : e.args) e.height = std::max(e.height, a.height + 1);
    if (e.height > kMaxHeight) throw SqlError(msg::nestedTooDeeply(e.line));
}

Expr node(Expr::Kind kind, std::string name, const Token& op, std::vector<Expr> args) {
    Expr e;
    e.kind = kind;
    e.name = std::move(name);
    e.written = op.text;
    e.line = op.line;
    e.args = std::move(args);
    setHeight(e);
    return e;
}

}  // namespace

Select SelectParser::select() {
    Select s;
    c_.expectWord("SELECT");
    if (c_.isWord("DISTINCT")) notSupported("SELECT DISTINCT", c_.peek().line);
    c_.acceptWord("ALL");
    s.top = top();
    const std::int32_t line = c_.peek().line;
    do {
        // SQL Server's limit, which also keeps the column count of the answer in its 16 bits.
        if (s.items.size() == kMaxSelectItems) throw SqlError(msg::selectListTooLong(line));
        s.items.push_back(item());
    } while (c_.acceptSymbol(","));
    if (c_.isWord("INTO")) notSupported("SELECT with INTO", c_.peek().line);
    if (c_.acceptWord("FROM")) {
        if (c_.peek().isSymbol("(")) notSupported("A derived table", c_.peek().line);
        s.from = c_.objectName();
        if (c_.acceptWord("AS") || c_.isName()) c_.name();  // an alias: columns may use it
    }
    for (const char* word : {"JOIN", "INNER", "LEFT", "RIGHT", "FULL", "CROSS", "OUTER"})
        if (c_.isWord(word) || c_.peek().isSymbol(","))
            notSupported("SELECT with a join", c_.peek().line);
    if (c_.acceptWord("WHERE")) {
        const Token& first = c_.peek();
        s.where = condition(0);
        if (!s.where->isCondition())
            throw SqlError(msg::notBoolean(c_.atEnd() ? first.text : c_.peek().text, first.line));
    }
    for (const char* word : {"GROUP", "HAVING"})
        if (c_.isWord(word)) notSupported("SELECT with " + upper(word), c_.peek().line);
    if (c_.acceptWord("ORDER")) {
        c_.expectWord("BY");
        do {
            s.orderBy.push_back(orderItem());
        } while (c_.acceptSymbol(","));
    }
    for (const char* word : {"UNION", "EXCEPT", "INTERSECT", "FOR", "OPTION", "OFFSET"})
        if (c_.isWord(word)) notSupported("SELECT with " + upper(word), c_.peek().line);
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
        it.expr = scalar(0);
        return it;
    }
    it.expr = scalar(0);
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

void SelectParser::checkDepth(int depth) const {
    if (depth > kMaxNesting) throw SqlError(msg::nestedTooDeeply(c_.peek().line));
}

Expr SelectParser::condition(int depth) {
    checkDepth(depth);
    return chain("OR", depth, &SelectParser::conjunction);
}

Expr SelectParser::conjunction(int depth) {
    return chain("AND", depth, &SelectParser::negation);
}

Expr SelectParser::chain(const char* word, int depth, Expr (SelectParser::*operand)(int)) {
    Expr left = (this->*operand)(depth);
    while (c_.isWord(word)) {
        const Token& op = c_.take();
        left = node(Expr::Kind::Binary, word, op, {std::move(left), (this->*operand)(depth + 1)});
    }
    return left;
}

Expr SelectParser::negation(int depth) {
    checkDepth(depth);
    if (c_.isWord("NOT")) {
        const Token& op = c_.take();
        return node(Expr::Kind::Unary, "NOT", op, {negation(depth + 1)});
    }
    return predicate(depth);
}

// A comparison or IS [NOT] NULL; a bare operand may still be a parenthesised condition.
Expr SelectParser::predicate(int depth) {
    if (c_.isWord("EXISTS")) notSupported("EXISTS", c_.peek().line);
    Expr left = additive(depth + 1);
    const Token& op = c_.peek();
    if (c_.acceptWord("IS")) {
        const bool negated = c_.acceptWord("NOT");
        c_.expectWord("NULL");
        return node(Expr::Kind::IsNull, negated ? "IS NOT NULL" : "IS NULL", op, {std::move(left)});
    }
    if (c_.isWord("NOT") && (c_.isWord("LIKE", 1) || c_.isWord("IN", 1) || c_.isWord("BETWEEN", 1)))
        notSupported("The comparison 'NOT " + upper(c_.peek(1).text) + "'", op.line);
    if (c_.isWord("LIKE") || c_.isWord("IN") || c_.isWord("BETWEEN"))
        notSupported("The comparison '" + upper(op.text) + "'", op.line);
    if (!isComparison(op)) return left;
    c_.take();
    if (c_.isWord("ALL") || c_.isWord("ANY") || c_.isWord("SOME"))
        notSupported("A subquery", c_.peek().line);
    std::string name = op.text == "!="   ? "<>"
                       : op.text == "!<" ? ">="
                       : op.text == "!>" ? "<="
                                         : op.text;
    if (left.isCondition()) throw SqlError(msg::syntaxNear(op.text, op.line));
    Expr right = additive(depth + 1);
    if (right.isCondition()) throw SqlError(msg::syntaxNear(right.written, right.line));
    return node(Expr::Kind::Binary, name, op, {std::move(left), std::move(right)});
}

Expr SelectParser::scalar(int depth) {
    Expr e = additive(depth);
    if (e.isCondition()) throw SqlError(msg::syntaxNear(e.written, e.line));
    return e;
}

Expr SelectParser::additive(int depth) {
    checkDepth(depth);
    Expr left = term(depth);
    while (c_.peek().isSymbol("+") || c_.peek().isSymbol("-")) {
        const Token& op = c_.take();
        left = arithmetic(std::move(left), op, term(depth + 1));
    }
    return left;
}

Expr SelectParser::arithmetic(Expr left, const Token& op, Expr right) {
    for (const Expr* operand : {&left, &right})
        if (operand->isCondition()) throw SqlError(msg::syntaxNear(op.text, op.line));
    return node(Expr::Kind::Binary, op.text, op, {std::move(left), std::move(right)});
}

Expr SelectParser::term(int depth) {
    Expr left = unary(depth);
    while (c_.peek().isSymbol("*") || c_.peek().isSymbol("/") || c_.peek().isSymbol("%")) {
        const Token& op = c_.take();
        left = arithmetic(std::move(left), op, unary(depth + 1));
    }
    return left;
}

Expr SelectParser::unary(int depth) {
    checkDepth(depth);
    const Token& t = c_.peek();
    if (t.isSymbol("-") || t.isSymbol("+")) {
        c_.take();
        if (c_.peek().kind == TokenKind::Number) return literal(t.isSymbol("-"));
        Expr operand = unary(depth + 1);
        if (operand.isCondition()) throw SqlError(msg::syntaxNear(t.text, t.line));
        return node(Expr::Kind::Unary, t.text, t, {std::move(operand)});
    }
    if (t.isSymbol("~")) notSupported("The operator '~'", t.line);
    return primary(depth);
}

Expr SelectParser::primary(int depth) {
    const Token& t = c_.peek();
    if (c_.acceptSymbol("(")) {
        if (c_.isWord("SELECT")) notSupported("A subquery", c_.peek().line);
        Expr e = condition(depth + 1);
        c_.expectSymbol(")");
        return e;
    }
    if (t.kind == TokenKind::Number || t.kind == TokenKind::String || c_.isWord("NULL"))
        return literal(false);
    if (t.kind == TokenKind::Binary) notSupported("A binary constant", t.line);
    if (c_.isWord("CASE")) notSupported("CASE", t.line);
    if (t.kind == TokenKind::Variable) {
        if (t.text.rfind("@@", 0) != 0 && !c_.declared(upper(t.text)))
            throw SqlError(msg::undeclaredVariable(t.text, t.line));
        Expr e;
        e.kind = Expr::Kind::Global;
        e.name = upper(c_.take().text);
        e.line = t.line;
        return e;
    }
    if (t.kind == TokenKind::Word && c_.peek(1).isSymbol("(")) {
        const Token& function = c_.take();
        return call(function, depth);
    }
    if (c_.isWord("CURRENT_TIMESTAMP")) notSupported("The function 'CURRENT_TIMESTAMP'", t.line);
    Expr e;
    e.kind = Expr::Kind::Column;
    e.line = t.line;
    e.name = columnRef();
    return e;
}

Expr SelectParser::literal(bool negative) {
    const Token& t = c_.take();
    Expr e;
    e.line = t.line;
    if (t.kind == TokenKind::Word) {  // NULL
        e.value = std::monostate{};
        return e;
    }
    if (t.kind == TokenKind::String) {
        e.value = t.text;
        e.type = SandboxColumnType::NVarChar;
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
            e.type = small ? SandboxColumnType::Int : SandboxColumnType::BigInt;
            return e;
        }
    }
    e.value = std::strtod(text.c_str(), nullptr);
    e.type = SandboxColumnType::Float;
    return e;
}

Expr SelectParser::call(const Token& function, int depth) {
    Expr e;
    e.kind = Expr::Kind::Function;
    e.name = upper(function.text);
    e.line = function.line;
    if (listed(kOtherFunctions, std::size(kOtherFunctions), e.name))
        notSupported("The function '" + e.name + "'", function.line);
    if (!listed(kFunctions, std::size(kFunctions), e.name))
        throw SqlError(msg::unknownFunction(function.text, function.line));
    c_.expectSymbol("(");
    if (!c_.peek().isSymbol(")")) {
        do {
            e.args.push_back(scalar(depth + 1));
        } while (c_.acceptSymbol(","));
    }
    c_.expectSymbol(")");
    setHeight(e);
    return e;
}

// [alias.]column: the column's own name.
std::string SelectParser::columnRef() {
    std::string name = c_.name();
    while (c_.acceptSymbol(".")) name = c_.memberName();
    return name;
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
