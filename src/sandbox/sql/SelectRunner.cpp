#include "sandbox/sql/SelectRunner.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "sandbox/sql/CatalogViews.h"
#include "sandbox/sql/Names.h"
#include "sandbox/sql/ServerMessages.h"
#include "sandbox/sql/SqlError.h"

namespace sandbox::sql {

namespace {

const char* const kVersion =
    "Microsoft SQL Server 2022 (RTM) - 16.0.1000.6 (X64) \n\tdsadmin-sandbox (SQLite storage)\n\t"
    "Developer Edition (64-bit) on Linux";

std::optional<std::size_t> columnIndex(const std::vector<Column>& columns,
                                       const std::string& name) {
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (equalsName(columns[i].name, name)) return i;
    return std::nullopt;
}

const char* typeName(ColumnType t) {
    switch (t) {
        case ColumnType::BigInt:
            return "bigint";
        case ColumnType::SmallInt:
            return "smallint";
        case ColumnType::TinyInt:
            return "tinyint";
        case ColumnType::Bit:
            return "bit";
        case ColumnType::Float:
            return "float";
        case ColumnType::DateTime:
            return "datetime";
        default:
            return "int";
    }
}

// A text read as a number the way a conversion to an integer type does it.
std::optional<double> toNumber(const std::string& text) {
    const std::size_t a = text.find_first_not_of(" \t");
    const std::size_t b = text.find_last_not_of(" \t");
    if (a == std::string::npos) return 0.0;
    const std::string t = text.substr(a, b - a + 1);
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(t.c_str(), &end);
    if (end != t.c_str() + t.size() || errno == ERANGE) return std::nullopt;
    return v;
}

int compareCells(const Cell& a, const Cell& b) {
    if (a.index() != b.index()) return a.index() < b.index() ? -1 : 1;
    if (const auto* s = std::get_if<std::string>(&a))
        return compareText(*s, std::get<std::string>(b));
    if (const auto* i = std::get_if<std::int64_t>(&a)) {
        const auto j = std::get<std::int64_t>(b);
        return *i < j ? -1 : *i > j;
    }
    if (const auto* d = std::get_if<DateTimeValue>(&a)) {
        const auto& e = std::get<DateTimeValue>(b);
        if (d->days != e.days) return d->days < e.days ? -1 : 1;
        return d->ticks < e.ticks ? -1 : d->ticks > e.ticks;
    }
    if (const auto* x = std::get_if<double>(&a)) {
        const double y = std::get<double>(b);
        return *x < y ? -1 : *x > y;
    }
    return 0;
}

}  // namespace

namespace {

// The table name a query asks for when its whole condition is name = '<text>' (how a client
// asks whether a table exists). The view may then read only that table's row; the condition
// is still applied afterwards, so nothing but the cost changes.
std::optional<std::string> onlyNameOf(const Select& select) {
    if (select.where.size() != 1) return std::nullopt;
    const Condition& c = select.where.front();
    if (!equalsName(c.column, "name") || c.op != "=" || c.value.kind != Expr::Kind::Literal)
        return std::nullopt;
    const auto* text = std::get_if<std::string>(&c.value.value);
    if (!text || text->find('\0') != std::string::npos) return std::nullopt;
    return *text;
}

}  // namespace

ResultSet SelectRunner::run(const Select& select) {
    ResultSet rows;
    if (select.from) {
        rows = source(*select.from, onlyNameOf(select));
    } else {
        rows.rows.emplace_back();
    }
    filter(rows, select.where);
    order(rows, select);
    if (select.top && rows.rows.size() > static_cast<std::size_t>(*select.top))
        rows.rows.resize(static_cast<std::size_t>(*select.top));
    return project(rows, select);
}

ResultSet SelectRunner::source(const ObjectName& from, const std::optional<std::string>& onlyName) {
    const std::string dbName = from.database().empty() ? session_.database : from.database();
    const std::optional<DatabaseInfo> db = instance_.findDatabase(dbName);
    if (!db) throw SqlError(msg::databaseMissing(dbName));
    DatabaseFile& file = instance_.open(*db);
    if (CatalogViews::has(from.schema(), from.name()))
        return CatalogViews::build(from.schema(), from.name(), *db, file, instance_.databases(),
                                   onlyName);
    const std::string schema = from.schema().empty() ? "dbo" : from.schema();
    if (const auto s = file.findSchema(schema); s && file.findTable(s->id, from.name()))
        throw SqlError(msg::notSupported("Reading the rows of a user table"));
    throw SqlError(msg::invalidObject(from.text));
}

Cell SelectRunner::evaluate(const Expr& e, Column& column) {
    column = Column{"", e.type, 1, true};
    switch (e.kind) {
        case Expr::Kind::Literal:
            if (const auto* s = std::get_if<std::string>(&e.value))
                column.maxChars =
                    static_cast<std::uint16_t>(std::clamp<std::size_t>(s->size(), 1, 4000));
            column.nullable = std::holds_alternative<std::monostate>(e.value);
            return e.value;
        case Expr::Kind::Global:
            return global(e.name, column);
        case Expr::Kind::Function:
            return function(e, column);
        case Expr::Kind::Column:
            break;
    }
    throw SqlError(msg::invalidColumn(e.name));
}

Cell SelectRunner::global(const std::string& name, Column& column) {
    column.nullable = false;
    column.type = ColumnType::NVarChar;
    column.maxChars = 128;
    if (name == "@@VERSION") {
        column.maxChars = 300;
        return std::string(kVersion);
    }
    if (name == "@@SERVERNAME") return instance_.options().serverName;
    if (name == "@@LANGUAGE") return std::string("us_english");
    column.type = ColumnType::SmallInt;
    if (name == "@@SPID") return std::int64_t{session_.spid};
    column.type = ColumnType::Int;
    if (name == "@@TRANCOUNT" || name == "@@ERROR" || name == "@@ROWCOUNT") return std::int64_t{0};
    throw SqlError(msg::undeclaredVariable(name, 0));
}

Cell SelectRunner::function(const Expr& e, Column& column) {
    const std::size_t n = e.args.size();
    const bool noArgs = e.name == "GETDATE" || e.name == "SUSER_SNAME" || e.name == "SCHEMA_NAME" ||
                        e.name == "USER_NAME";
    if (noArgs && n != 0) throw SqlError(msg::argumentCount(lower(e.name), "0"));
    if (e.name == "SERVERPROPERTY" && n != 1)
        throw SqlError(msg::argumentCount("serverproperty", "1"));
    if (n > 1) throw SqlError(msg::argumentCount(lower(e.name), "0 to 1"));
    Column ignored;
    const Cell arg = n ? evaluate(e.args[0], ignored) : Cell{};
    column.type = ColumnType::NVarChar;
    column.maxChars = 128;
    if (e.name == "GETDATE") {
        column.type = ColumnType::DateTime;
        return CatalogViews::toDateTime(DatabaseFile::now());
    }
    if (e.name == "SUSER_SNAME") return session_.user;
    if (e.name == "USER_NAME" || e.name == "SCHEMA_NAME") return std::string("dbo");
    if (e.name == "SERVERPROPERTY") {
        const auto* p = std::get_if<std::string>(&arg);
        const std::string key = p ? upper(*p) : "";
        if (key == "PRODUCTVERSION") return std::string("16.0.1000.6");
        if (key == "PRODUCTLEVEL") return std::string("RTM");
        if (key == "EDITION") return std::string("Developer Edition (64-bit)");
        if (key == "MACHINENAME" || key == "SERVERNAME") return instance_.options().serverName;
        return Cell{};
    }
    const std::vector<DatabaseInfo> all = instance_.databases();
    for (const DatabaseInfo& d : all) {
        const bool byArg =
            e.name == "DB_NAME"
                ? std::get_if<std::int64_t>(&arg) && *std::get_if<std::int64_t>(&arg) == d.id
                : std::get_if<std::string>(&arg) &&
                      equalsName(*std::get_if<std::string>(&arg), d.name);
        if (!(n ? byArg : equalsName(d.name, session_.database))) continue;
        if (e.name == "DB_NAME") return d.name;
        column.type = ColumnType::Int;
        return std::int64_t{d.id};
    }
    if (e.name == "DB_ID") column.type = ColumnType::Int;
    return Cell{};
}

void SelectRunner::filter(ResultSet& rows, const std::vector<Condition>& where) {
    for (const Condition& cond : where) {
        const auto index = columnIndex(rows.columns, cond.column);
        if (!index) throw SqlError(msg::invalidColumn(cond.column));
        Cell value;
        if (cond.value.kind == Expr::Kind::Column) {
            if (columnIndex(rows.columns, cond.value.name))
                throw SqlError(msg::notSupported("Comparing two columns"));
            throw SqlError(msg::invalidColumn(cond.value.name));
        }
        if (cond.op == "=" || cond.op == "<>") {
            Column ignored;
            value = evaluate(cond.value, ignored);
        }
        std::vector<std::vector<Cell>> kept;
        for (auto& row : rows.rows)
            if (matches(row[*index], rows.columns[*index], cond, value, cond.value.unicode))
                kept.push_back(std::move(row));
        rows.rows = std::move(kept);
    }
}

bool SelectRunner::matches(const Cell& cell, const Column& column, const Condition& cond,
                           const Cell& value, bool unicode) {
    const bool cellNull = std::holds_alternative<std::monostate>(cell);
    if (cond.op == "IS NULL") return cellNull;
    if (cond.op == "IS NOT NULL") return !cellNull;
    if (cellNull || std::holds_alternative<std::monostate>(value)) return false;
    int c = 0;
    const auto* cellText = std::get_if<std::string>(&cell);
    const auto* valueText = std::get_if<std::string>(&value);
    if (cellText && valueText) {
        c = compareText(*cellText, *valueText);
    } else if (const auto* dt = std::get_if<DateTimeValue>(&cell)) {
        c = valueText ? compareCells(*dt, CatalogViews::toDateTime(*valueText)) : 1;
    } else if (cellText) {
        const auto v = toNumber(*cellText);
        if (!v) throw SqlError(msg::conversionFailed(*cellText, true, "int"));
        const double w = std::holds_alternative<double>(value)
                             ? std::get<double>(value)
                             : static_cast<double>(std::get<std::int64_t>(value));
        c = *v < w ? -1 : *v > w;
    } else {
        const double v = static_cast<double>(std::get<std::int64_t>(cell));
        std::optional<double> w;
        if (valueText) {
            w = toNumber(*valueText);
            if (!w)
                throw SqlError(msg::conversionFailed(*valueText, unicode, typeName(column.type)));
        } else {
            w = std::holds_alternative<double>(value)
                    ? std::get<double>(value)
                    : static_cast<double>(std::get<std::int64_t>(value));
        }
        c = v < *w ? -1 : v > *w;
    }
    return cond.op == "=" ? c == 0 : c != 0;
}

void SelectRunner::order(ResultSet& rows, const Select& select) {
    std::vector<std::pair<std::size_t, bool>> keys;
    for (const OrderItem& o : select.orderBy) {
        std::string name = o.column;
        if (o.position > 0) {
            if (static_cast<std::size_t>(o.position) > select.items.size() ||
                select.items[o.position - 1].star)
                throw SqlError(msg::notSupported("ORDER BY this position"));
            name = select.items[o.position - 1].expr.name;
        }
        for (const SelectItem& it : select.items)
            if (!it.star && equalsName(it.alias, name) && it.expr.kind == Expr::Kind::Column)
                name = it.expr.name;
        const auto index = columnIndex(rows.columns, name);
        if (!index) throw SqlError(msg::invalidColumn(name));
        keys.emplace_back(*index, o.descending);
    }
    std::stable_sort(rows.rows.begin(), rows.rows.end(), [&keys](const auto& a, const auto& b) {
        for (const auto& [i, desc] : keys) {
            const int c = compareCells(a[i], b[i]);
            if (c != 0) return desc ? c > 0 : c < 0;
        }
        return false;
    });
}

ResultSet SelectRunner::project(const ResultSet& rows, const Select& select) {
    if (!select.from && std::any_of(select.items.begin(), select.items.end(),
                                    [](const SelectItem& i) { return i.star; }))
        throw SqlError(msg::noTable());
    ResultSet out;
    std::vector<std::optional<std::size_t>> sources;
    std::vector<Cell> computed;
    for (const SelectItem& it : select.items) {
        if (it.star) {
            for (std::size_t i = 0; i < rows.columns.size(); ++i) {
                out.columns.push_back(rows.columns[i]);
                sources.push_back(i);
                computed.emplace_back();
            }
            continue;
        }
        Column column;
        if (it.expr.kind == Expr::Kind::Column) {
            const auto index = columnIndex(rows.columns, it.expr.name);
            if (!index) throw SqlError(msg::invalidColumn(it.expr.name));
            column = rows.columns[*index];
            sources.push_back(index);
            computed.emplace_back();
        } else {
            computed.push_back(evaluate(it.expr, column));
            sources.push_back(std::nullopt);
        }
        if (!it.alias.empty()) column.name = it.alias;
        out.columns.push_back(column);
    }
    for (const auto& row : rows.rows) {
        std::vector<Cell> cells;
        for (std::size_t i = 0; i < sources.size(); ++i)
            cells.push_back(sources[i] ? row[*sources[i]] : computed[i]);
        out.rows.push_back(std::move(cells));
    }
    return out;
}

}  // namespace sandbox::sql
