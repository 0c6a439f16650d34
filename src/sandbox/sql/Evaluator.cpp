#include "sandbox/sql/Evaluator.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <limits>

#include "base/CaseFolding.h"
#include "sandbox/sql/CatalogViews.h"
#include "sandbox/sql/Names.h"
#include "sandbox/sql/ServerMessages.h"
#include "sandbox/sql/SqlError.h"

namespace sandbox::sql {

namespace {

const char* const kVersion =
    "Microsoft SQL Server 2022 (RTM) - 16.0.1000.6 (X64) \n\tdsadmin-sandbox (SQLite storage)\n\t"
    "Developer Edition (64-bit) on Linux";

bool isNull(const Cell& c) {
    return std::holds_alternative<std::monostate>(c);
}
bool isText(const Value& v) {
    return v.column.type == SandboxColumnType::NVarChar;
}

const char* typeName(SandboxColumnType t) {
    // By SandboxColumnType.
    static constexpr const char* kNames[] = {"int", "bigint", "smallint", "tinyint",
                                             "bit", "float",  "datetime", "nvarchar"};
    static_assert(std::size(kNames) == static_cast<std::size_t>(SandboxColumnType::NVarChar) + 1);
    return kNames[static_cast<std::size_t>(t)];
}
std::string typeName(const Value& v) {
    return isText(v) && v.varchar ? "varchar" : typeName(v.column.type);
}

// The type arithmetic works in: the small integer types widen to int.
SandboxColumnType numericType(SandboxColumnType t) {
    return t == SandboxColumnType::BigInt || t == SandboxColumnType::Float ? t
                                                                           : SandboxColumnType::Int;
}
int rank(SandboxColumnType t) {
    return t == SandboxColumnType::Float ? 3 : t == SandboxColumnType::BigInt ? 2 : 1;
}

Value make(Cell cell, SandboxColumnType type, std::uint16_t chars = 128, bool varchar = false) {
    return Value{std::move(cell), Column{"", type, chars, true}, varchar};
}

// Text converted to a number type as an implicit conversion does it: 245 for an integer type,
// 8114 for float.
Cell toNumber(const Value& text, SandboxColumnType type) {
    const std::string& s = std::get<std::string>(text.cell);
    const std::size_t a = s.find_first_not_of(" \t");
    const std::string t =
        a == std::string::npos ? "0" : s.substr(a, s.find_last_not_of(" \t") - a + 1);
    if (type == SandboxColumnType::Float) {
        char* end = nullptr;
        errno = 0;
        const double d = std::strtod(t.c_str(), &end);
        if (end != t.c_str() + t.size() || errno == ERANGE)
            throw SqlError(msg::make(
                8114, 16, 5, "Error converting data type " + typeName(text) + " to float."));
        return d;
    }
    std::int64_t v = 0;
    const char* begin = t.c_str() + (t[0] == '+' ? 1 : 0);
    const auto [end, ec] = std::from_chars(begin, t.c_str() + t.size(), v);
    const bool fits =
        type == SandboxColumnType::BigInt || (v >= std::numeric_limits<std::int32_t>::min() &&
                                              v <= std::numeric_limits<std::int32_t>::max());
    if (ec != std::errc() || end != t.c_str() + t.size() || !fits)
        throw SqlError(msg::conversionFailed(s, !text.varchar, typeName(type)));
    return v;
}

double asDouble(const Cell& c) {
    if (const auto* d = std::get_if<double>(&c)) return *d;
    return static_cast<double>(std::get<std::int64_t>(c));
}

std::string formatNumber(const Cell& c) {
    if (const auto* i = std::get_if<std::int64_t>(&c)) return std::to_string(*i);
    char buf[40];
    const auto r = std::to_chars(buf, buf + sizeof buf, std::get<double>(c));
    return std::string(buf, r.ptr);
}

// The value as text, for the text functions; nullopt for NULL.
std::optional<std::string> textOf(const Value& v) {
    if (isNull(v.cell)) return std::nullopt;
    if (const auto* s = std::get_if<std::string>(&v.cell)) return *s;
    if (const auto* d = std::get_if<DateTimeValue>(&v.cell))
        return std::to_string(d->days) + " days";  // not reached by the catalog's queries
    return formatNumber(v.cell);
}

std::u32string codePoints(const std::string& s) {
    std::u32string out;
    const auto* b = reinterpret_cast<const uint8_t*>(s.data());
    const auto n = static_cast<int32_t>(s.size());
    for (int32_t i = 0; i < n;) {
        UChar32 c;
        U8_NEXT(b, i, n, c);
        out.push_back(static_cast<char32_t>(c < 0 ? 0xFFFD : c));
    }
    return out;
}

std::string utf8(const std::u32string& s) {
    std::string out;
    for (char32_t c : s) {
        uint8_t buf[U8_MAX_LENGTH];
        int32_t n = 0;
        U8_APPEND_UNSAFE(buf, n, static_cast<UChar32>(c));
        out.append(reinterpret_cast<const char*>(buf), static_cast<std::size_t>(n));
    }
    return out;
}

std::string mapCase(const std::string& s, bool toUpper) {
    std::u32string cps = codePoints(s);
    for (char32_t& c : cps)
        c = static_cast<char32_t>(toUpper ? u_toupper(static_cast<UChar32>(c))
                                          : u_tolower(static_cast<UChar32>(c)));
    return utf8(cps);
}

// REPLACE under a case-insensitive collation: matches compare case-folded.
std::string replaceAll(const std::string& text, const std::string& find, const std::string& with) {
    const std::u32string t = codePoints(text);
    std::u32string f = codePoints(find);
    if (f.empty()) return text;
    const auto fold = dsadmin::FoldCodePoint;
    for (char32_t& c : f) c = fold(c);
    const std::u32string w = codePoints(with);
    std::u32string out;
    for (std::size_t i = 0; i < t.size();) {
        bool match = i + f.size() <= t.size();
        for (std::size_t k = 0; match && k < f.size(); ++k) match = fold(t[i + k]) == f[k];
        if (match) {
            out += w;
            i += f.size();
        } else {
            out += t[i++];
        }
    }
    return utf8(out);
}

void requireArgs(const std::string& name, std::size_t n, std::size_t wanted) {
    if (n != wanted) throw SqlError(msg::argumentCount(lower(name), std::to_string(wanted)));
}

std::int64_t lengthArg(const Value& v, int error, const std::string& text) {
    const std::int64_t n = isText(v)
                               ? std::get<std::int64_t>(toNumber(v, SandboxColumnType::BigInt))
                               : static_cast<std::int64_t>(asDouble(v.cell));
    if (n < 0) throw SqlError(msg::make(error, 16, 1, text));
    return n;
}

// ABS: text is read as a float; the lowest integer of its type has no positive twin.
Value absolute(const Value& arg) {
    Value v = isText(arg) ? make(Cell{}, SandboxColumnType::Float)
                          : make(Cell{}, numericType(arg.column.type));
    if (isNull(arg.cell)) return v;
    const Cell c = isText(arg) ? toNumber(arg, SandboxColumnType::Float) : arg.cell;
    if (const auto* i = std::get_if<std::int64_t>(&c)) {
        if (*i == std::numeric_limits<std::int64_t>::min() ||
            (v.column.type == SandboxColumnType::Int &&
             *i == std::numeric_limits<std::int32_t>::min()))
            throw SqlError(msg::arithmeticOverflow(typeName(v.column.type)));
        v.cell = *i < 0 ? -*i : *i;
    } else {
        v.cell = std::fabs(std::get<double>(c));
    }
    return v;
}

// SUBSTRING, LEFT and RIGHT of s, counted by characters.
std::string characters(const std::string& name, const std::string& s,
                       const std::vector<Value>& args) {
    const std::u32string cps = codePoints(s);
    const auto size = static_cast<std::int64_t>(cps.size());
    std::int64_t first = 1, count = 0;
    if (name == "SUBSTRING") {
        first = isText(args[1])
                    ? std::get<std::int64_t>(toNumber(args[1], SandboxColumnType::BigInt))
                    : static_cast<std::int64_t>(asDouble(args[1].cell));
        count = lengthArg(args[2], 537,
                          "Invalid length parameter passed to the LEFT or SUBSTRING function.");
    } else if (name == "LEFT") {
        count = lengthArg(args[1], 537,
                          "Invalid length parameter passed to the LEFT or SUBSTRING function.");
    } else {
        count = lengthArg(args[1], 536, "Invalid length parameter passed to the RIGHT function.");
        first = std::max<std::int64_t>(1, size - count + 1);
        count = size - first + 1;
    }
    const std::int64_t begin = std::max<std::int64_t>(first, 1);
    std::int64_t end = 0;  // one past the last position, saturating on overflow
    if (__builtin_add_overflow(first, count, &end)) end = std::numeric_limits<std::int64_t>::max();
    end = std::min(end, size + 1);
    return end > begin ? utf8(cps.substr(static_cast<std::size_t>(begin - 1),
                                         static_cast<std::size_t>(end - begin)))
                       : std::string();
}

}  // namespace

Value Evaluator::value(const Expr& e, const std::vector<Column>& columns,
                       const std::vector<Cell>* row) {
    switch (e.kind) {
        case Expr::Kind::Literal: {
            Value v = make(e.value, e.type);
            if (const auto* s = std::get_if<std::string>(&e.value)) {
                v.column.maxChars =
                    static_cast<std::uint16_t>(std::clamp<std::size_t>(s->size(), 1, 4000));
                v.varchar = !e.unicode;
            }
            v.column.nullable = isNull(e.value);
            return v;
        }
        case Expr::Kind::Column:
            for (std::size_t i = 0; i < columns.size(); ++i)
                if (equalsName(columns[i].name, e.name))
                    return Value{row ? (*row)[i] : Cell{}, columns[i], false};
            throw SqlError(msg::invalidColumn(e.name));
        case Expr::Kind::Global:
            return global(e.name);
        case Expr::Kind::Function:
            return function(e, columns, row);
        case Expr::Kind::Unary:
            if (e.name != "NOT") return negate(e, value(e.args[0], columns, row));
            break;
        case Expr::Kind::Binary:
            if (!e.isCondition())
                return arithmetic(e, value(e.args[0], columns, row),
                                  value(e.args[1], columns, row));
            break;
        case Expr::Kind::IsNull:
            break;
    }
    throw SqlError(msg::syntaxNear(e.written, e.line));  // a condition where a value belongs
}

std::optional<bool> Evaluator::test(const Expr& e, const std::vector<Column>& columns,
                                    const std::vector<Cell>* row) {
    if (e.kind == Expr::Kind::IsNull)
        return isNull(value(e.args[0], columns, row).cell) == (e.name == "IS NULL");
    if (e.kind == Expr::Kind::Unary && e.name == "NOT") {
        const std::optional<bool> v = test(e.args[0], columns, row);
        return v ? std::optional<bool>(!*v) : std::nullopt;
    }
    if (e.kind != Expr::Kind::Binary || !e.isCondition())
        throw SqlError(msg::notBoolean(e.written, e.line));
    if (e.name == "AND" || e.name == "OR") {
        const bool decisive = e.name == "OR";  // the value that settles it alone
        const std::optional<bool> l = test(e.args[0], columns, row);
        if (l == decisive) return decisive;
        const std::optional<bool> r = test(e.args[1], columns, row);
        if (r == decisive) return decisive;
        if (l && r) return !decisive;
        return std::nullopt;
    }
    const std::optional<int> c =
        compare(value(e.args[0], columns, row), value(e.args[1], columns, row));
    if (!c) return std::nullopt;
    if (e.name == "=") return *c == 0;
    if (e.name == "<>") return *c != 0;
    if (e.name == "<") return *c < 0;
    if (e.name == ">") return *c > 0;
    if (e.name == "<=") return *c <= 0;
    return *c >= 0;
}

std::optional<int> Evaluator::compare(const Value& left, const Value& right) {
    if (isNull(left.cell) || isNull(right.cell)) return std::nullopt;
    const auto* lt = std::get_if<std::string>(&left.cell);
    const auto* rt = std::get_if<std::string>(&right.cell);
    if (lt && rt) return compareText(*lt, *rt);
    const auto* ld = std::get_if<DateTimeValue>(&left.cell);
    const auto* rd = std::get_if<DateTimeValue>(&right.cell);
    if (ld || rd) {
        if (!(ld || lt) || !(rd || rt))
            throw SqlError(msg::notSupported("Comparing a datetime value with a number"));
        const DateTimeValue a = ld ? *ld : CatalogViews::toDateTime(*lt);
        const DateTimeValue b = rd ? *rd : CatalogViews::toDateTime(*rt);
        if (a.days != b.days) return a.days < b.days ? -1 : 1;
        return a.ticks < b.ticks ? -1 : a.ticks > b.ticks;
    }
    const Cell a = lt ? toNumber(left, numericType(right.column.type)) : left.cell;
    const Cell b = rt ? toNumber(right, numericType(left.column.type)) : right.cell;
    if (std::holds_alternative<std::int64_t>(a) && std::holds_alternative<std::int64_t>(b)) {
        const auto x = std::get<std::int64_t>(a), y = std::get<std::int64_t>(b);
        return x < y ? -1 : x > y;
    }
    const double x = asDouble(a), y = asDouble(b);
    return x < y ? -1 : x > y;
}

Value Evaluator::arithmetic(const Expr& e, const Value& left, const Value& right) {
    static const std::pair<const char*, const char*> names[] = {
        {"+", "add"}, {"-", "subtract"}, {"*", "multiply"}, {"/", "divide"}, {"%", "modulo"}};
    std::string operatorName;
    for (const auto& [op, word] : names)
        if (e.name == op) operatorName = word;
    if (left.column.type == SandboxColumnType::DateTime ||
        right.column.type == SandboxColumnType::DateTime)
        throw SqlError(msg::notSupported("Arithmetic on datetime values"));
    if (isText(left) && isText(right)) {
        if (e.name != "+")
            throw SqlError(
                msg::incompatibleOperands(typeName(left), typeName(right), operatorName));
        const int chars = left.column.maxChars && right.column.maxChars
                              ? std::min(4000, left.column.maxChars + right.column.maxChars)
                              : 0;
        Value v = make(Cell{}, SandboxColumnType::NVarChar, static_cast<std::uint16_t>(chars),
                       left.varchar && right.varchar);
        if (!isNull(left.cell) && !isNull(right.cell))
            v.cell = std::get<std::string>(left.cell) + std::get<std::string>(right.cell);
        return v;
    }
    const SandboxColumnType lt =
        isText(left) ? numericType(right.column.type) : numericType(left.column.type);
    const SandboxColumnType rt = isText(right) ? lt : numericType(right.column.type);
    const SandboxColumnType type = rank(lt) >= rank(rt) ? lt : rt;
    if (type == SandboxColumnType::Float && e.name == "%")
        throw SqlError(msg::incompatibleOperands(typeName(left), typeName(right), operatorName));
    Value v = make(Cell{}, type);
    if (isNull(left.cell) || isNull(right.cell)) return v;
    const Cell a = isText(left) ? toNumber(left, lt) : left.cell;
    const Cell b = isText(right) ? toNumber(right, rt) : right.cell;
    if (type == SandboxColumnType::Float) {
        const double x = asDouble(a), y = asDouble(b);
        if (e.name == "/" && y == 0) throw SqlError(msg::divideByZero());
        v.cell = e.name == "+" ? x + y : e.name == "-" ? x - y : e.name == "*" ? x * y : x / y;
        return v;
    }
    const std::int64_t x = std::get<std::int64_t>(a), y = std::get<std::int64_t>(b);
    std::int64_t r = 0;
    bool overflow = false;
    if (e.name == "+") overflow = __builtin_add_overflow(x, y, &r);
    if (e.name == "-") overflow = __builtin_sub_overflow(x, y, &r);
    if (e.name == "*") overflow = __builtin_mul_overflow(x, y, &r);
    if (e.name == "/" || e.name == "%") {
        if (y == 0) throw SqlError(msg::divideByZero());
        overflow = x == std::numeric_limits<std::int64_t>::min() && y == -1;
        if (!overflow) r = e.name == "/" ? x / y : x % y;
    }
    if (overflow ||
        (type == SandboxColumnType::Int && (r < std::numeric_limits<std::int32_t>::min() ||
                                            r > std::numeric_limits<std::int32_t>::max())))
        throw SqlError(msg::arithmeticOverflow(typeName(type)));
    v.cell = r;
    return v;
}

Value Evaluator::negate(const Expr& e, const Value& operand) {
    if (e.name == "+") return operand;
    if (isText(operand) || operand.column.type == SandboxColumnType::DateTime)
        throw SqlError(msg::make(
            8117, 16, 1,
            "Operand data type " + typeName(operand) + " is invalid for minus operator."));
    Value v = make(Cell{}, numericType(operand.column.type));
    if (const auto* d = std::get_if<double>(&operand.cell)) v.cell = -*d;
    if (const auto* i = std::get_if<std::int64_t>(&operand.cell)) {
        const bool narrow = v.column.type == SandboxColumnType::Int;
        if (*i == (narrow ? std::numeric_limits<std::int32_t>::min()
                          : std::numeric_limits<std::int64_t>::min()))
            throw SqlError(msg::arithmeticOverflow(typeName(v.column.type)));
        v.cell = -*i;
    }
    return v;
}

Value Evaluator::global(const std::string& name) {
    if (const auto it = session_.variables.find(name); it != session_.variables.end())
        return make(it->second.second, it->second.first);
    Value v = make(Cell{}, SandboxColumnType::NVarChar);
    v.column.nullable = false;
    if (name == "@@VERSION") {
        v.column.maxChars = 300;
        v.cell = std::string(kVersion);
    } else if (name == "@@SERVERNAME") {
        v.cell = instance_.options().serverName;
    } else if (name == "@@LANGUAGE") {
        v.cell = std::string("us_english");
    } else if (name == "@@SPID") {
        v.column.type = SandboxColumnType::SmallInt;
        v.cell = std::int64_t{session_.spid};
    } else if (name == "@@TRANCOUNT" || name == "@@ERROR" || name == "@@ROWCOUNT") {
        v.column.type = SandboxColumnType::Int;
        v.cell = std::int64_t{0};
    } else {
        throw SqlError(msg::undeclaredVariable(name, 0));
    }
    return v;
}

Value Evaluator::function(const Expr& e, const std::vector<Column>& columns,
                          const std::vector<Cell>* row) {
    std::vector<Value> args;
    for (const Expr& a : e.args) args.push_back(value(a, columns, row));
    static const char* const catalog[] = {
        "DB_NAME", "DB_ID", "GETDATE", "SUSER_SNAME", "USER_NAME", "SCHEMA_NAME", "SERVERPROPERTY"};
    for (const char* c : catalog)
        if (e.name == c) return catalogFunction(e.name, args);
    return textFunction(e.name, args);
}

Value Evaluator::catalogFunction(const std::string& name, const std::vector<Value>& args) {
    const std::size_t n = args.size();
    const bool noArgs =
        name == "GETDATE" || name == "SUSER_SNAME" || name == "SCHEMA_NAME" || name == "USER_NAME";
    if (noArgs && n != 0) throw SqlError(msg::argumentCount(lower(name), "0"));
    if (name == "SERVERPROPERTY" && n != 1)
        throw SqlError(msg::argumentCount("serverproperty", "1"));
    if (n > 1) throw SqlError(msg::argumentCount(lower(name), "0 to 1"));
    const Cell arg = n ? args[0].cell : Cell{};
    Value v = make(Cell{}, SandboxColumnType::NVarChar);
    if (name == "GETDATE") {
        v.column.type = SandboxColumnType::DateTime;
        v.cell = CatalogViews::toDateTime(DatabaseFile::now());
        return v;
    }
    if (name == "SUSER_SNAME") v.cell = session_.user;
    if (name == "USER_NAME" || name == "SCHEMA_NAME") v.cell = std::string("dbo");
    if (name == "SERVERPROPERTY") {
        const auto* p = std::get_if<std::string>(&arg);
        const std::string key = p ? upper(*p) : "";
        if (key == "PRODUCTVERSION") v.cell = std::string("16.0.1000.6");
        if (key == "PRODUCTLEVEL") v.cell = std::string("RTM");
        if (key == "EDITION") v.cell = std::string("Developer Edition (64-bit)");
        if (key == "MACHINENAME" || key == "SERVERNAME") v.cell = instance_.options().serverName;
    }
    if (name != "DB_NAME" && name != "DB_ID") return v;
    if (name == "DB_ID") v.column.type = SandboxColumnType::Int;
    for (const DatabaseInfo& d : instance_.databases()) {
        const auto* id = std::get_if<std::int64_t>(&arg);
        const auto* text = std::get_if<std::string>(&arg);
        const bool byArg =
            name == "DB_NAME" ? id && *id == d.id : text && equalsName(*text, d.name);
        if (!(n ? byArg : equalsName(d.name, session_.database))) continue;
        v.cell = name == "DB_NAME" ? Cell{d.name} : Cell{std::int64_t{d.id}};
    }
    return v;
}

Value Evaluator::textFunction(const std::string& name, const std::vector<Value>& args) {
    const std::size_t n = args.size();
    if (name == "COALESCE" || name == "CONCAT") {
        if (n < 2)
            throw SqlError(msg::make(
                189, 15, 1, "The " + lower(name) + " function requires 2 to 254 arguments."));
        Value v = name == "CONCAT" ? make(std::string(), SandboxColumnType::NVarChar, 0) : args[0];
        if (name == "COALESCE") v.cell = Cell{};
        for (const Value& a : args) {
            if (name == "COALESCE" && isNull(v.cell) && !isNull(a.cell)) v.cell = a.cell;
            if (name == "CONCAT") std::get<std::string>(v.cell) += textOf(a).value_or("");
        }
        return v;
    }
    const std::size_t wanted = name == "SUBSTRING" || name == "REPLACE"                ? 3
                               : name == "LEFT" || name == "RIGHT" || name == "ISNULL" ? 2
                                                                                       : 1;
    requireArgs(name, n, wanted);
    if (name == "ISNULL")
        return Value{isNull(args[0].cell) ? args[1].cell : args[0].cell, args[0].column,
                     args[0].varchar};
    if (name == "ABS") return absolute(args[0]);
    if (name == "LEN") {
        Value v = make(Cell{}, SandboxColumnType::Int);
        if (const auto t = textOf(args[0]))
            v.cell = static_cast<std::int64_t>(utf16Length(trimTrailingBlanks(*t)));
        return v;
    }
    Value v =
        make(Cell{}, SandboxColumnType::NVarChar, isText(args[0]) ? args[0].column.maxChars : 30,
             isText(args[0]) && args[0].varchar);
    std::vector<std::optional<std::string>> texts;
    for (const Value& a : args) texts.push_back(textOf(a));
    for (const auto& t : texts)
        if (!t) return v;
    const std::string& s = *texts[0];
    if (name == "UPPER" || name == "LOWER") {
        v.cell = mapCase(s, name == "UPPER");
    } else if (name == "LTRIM") {
        const std::size_t a = s.find_first_not_of(' ');
        v.cell = a == std::string::npos ? std::string() : s.substr(a);
    } else if (name == "RTRIM") {
        v.cell = trimTrailingBlanks(s);
    } else if (name == "REPLACE") {
        v.column.maxChars = 4000;
        v.cell = replaceAll(s, *texts[1], *texts[2]);
    } else {
        v.cell = characters(name, s, args);
    }
    return v;
}

}  // namespace sandbox::sql
