#include "sandbox/sql/SelectRunner.h"

#include "sandbox/sql/ServerStateViews.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "sandbox/sql/CatalogViews.h"
#include "sandbox/sql/Evaluator.h"
#include "sandbox/sql/Names.h"
#include "sandbox/sql/ServerMessages.h"
#include "sandbox/sql/SqlError.h"

namespace sandbox::sql {

namespace {

std::optional<std::size_t> columnIndex(const std::vector<Column>& columns,
                                       const std::string& name) {
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (equalsName(columns[i].name, name)) return i;
    return std::nullopt;
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
    if (!select.where || select.where->kind != Expr::Kind::Binary || select.where->name != "=")
        return std::nullopt;
    const Expr& column = select.where->args[0];
    const Expr& value = select.where->args[1];
    if (column.kind != Expr::Kind::Column || !equalsName(column.name, "name") ||
        value.kind != Expr::Kind::Literal)
        return std::nullopt;
    const auto* text = std::get_if<std::string>(&value.value);
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
    if (select.where) filter(rows, *select.where);
    order(rows, select);
    if (select.top && rows.rows.size() > static_cast<std::size_t>(*select.top))
        rows.rows.resize(static_cast<std::size_t>(*select.top));
    return project(rows, select);
}

ResultSet SelectRunner::source(const ObjectName& from, const std::optional<std::string>& onlyName) {
    const std::string dbName = from.database().empty() ? session_.database : from.database();
    const std::optional<DatabaseInfo> db = instance_.findDatabase(dbName);
    if (!db) throw SqlError(msg::databaseMissing(dbName));
    if (ServerStateViews::has(from.schema(), from.name()))
        return ServerStateViews::build(from.name(), instance_);
    const FileLease file = instance_.open(*db);
    if (CatalogViews::has(from.schema(), from.name()))
        return CatalogViews::build(from.schema(), from.name(), *db, *file, instance_.databases(),
                                   onlyName);
    const std::string schema = from.schema().empty() ? "dbo" : from.schema();
    if (const auto s = file->findSchema(schema); s && file->findTable(s->id, from.name()))
        throw SqlError(msg::notSupported("Reading the rows of a user table"));
    throw SqlError(msg::invalidObject(from.text));
}

void SelectRunner::filter(ResultSet& rows, const Expr& where) {
    Evaluator evaluator(instance_, session_);
    std::vector<std::vector<Cell>> kept;
    // A condition is checked once even over no rows, so a wrong name is 207 either way.
    if (rows.rows.empty()) {
        const std::vector<Cell> nulls(rows.columns.size());
        evaluator.test(where, rows.columns, &nulls);
    }
    for (auto& row : rows.rows)
        if (evaluator.test(where, rows.columns, &row) == true) kept.push_back(std::move(row));
    rows.rows = std::move(kept);
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
    Evaluator evaluator(instance_, session_);
    const std::vector<Cell> nulls(rows.columns.size());
    const std::vector<Cell>* noRow = select.from ? &nulls : nullptr;
    ResultSet out;
    std::vector<std::optional<std::size_t>> sources;  // a view column, or computed
    for (const SelectItem& it : select.items) {
        if (it.star) {
            for (std::size_t i = 0; i < rows.columns.size(); ++i) {
                out.columns.push_back(rows.columns[i]);
                sources.push_back(i);
            }
            continue;
        }
        // The column's facts come from the expression alone: evaluated over a row of NULLs.
        Column column = evaluator.value(it.expr, rows.columns, noRow).column;
        if (it.expr.kind == Expr::Kind::Column) {
            sources.push_back(columnIndex(rows.columns, it.expr.name));
        } else {
            column.name.clear();
            sources.push_back(std::nullopt);
        }
        if (!it.alias.empty()) column.name = it.alias;
        out.columns.push_back(column);
    }
    for (const auto& row : rows.rows) {
        std::vector<Cell> cells;
        for (std::size_t i = 0, item = 0; i < sources.size(); ++item) {
            if (select.items[item].star) {
                for (std::size_t k = 0; k < rows.columns.size(); ++k, ++i) cells.push_back(row[k]);
                continue;
            }
            cells.push_back(sources[i] ? row[*sources[i]]
                                       : evaluator
                                             .value(select.items[item].expr, rows.columns,
                                                    select.from ? &row : nullptr)
                                             .cell);
            ++i;
        }
        out.rows.push_back(std::move(cells));
    }
    return out;
}

}  // namespace sandbox::sql
