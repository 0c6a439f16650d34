#include "db/jet/JetSession.h"

#include <algorithm>
#include <numeric>

#include "db/DbError.h"
#include "db/jet/JetCollation.h"

namespace dsadmin {
namespace {

int columnOf(const JetTable& t, const std::string& column) {
    int i = t.columnIndex(column);
    if (i < 0) throw DbError("表“" + t.name + "”中找不到列“" + column + "”。");
    return i;
}

// Whether value matches the text of a WHERE condition as Jet compares them.
bool matches(const Value& value, const std::string& text) {
    if (value.isNull()) return false;
    if (auto s = std::get_if<std::string>(&value.storage())) return FoldCase(*s) == FoldCase(text);
    double n = 0;
    if (!Value::parseNumber(text, n)) throw DbError("标准表达式中数据类型不匹配。");
    return value.equalsNumber(n);
}

// Sorts rows ascending on every column and keeps the first of each run of equal rows.
void makeDistinct(RowSet& rs) {
    std::size_t width = rs.columns.size();
    std::vector<std::vector<JetSortKey>> keys;
    keys.reserve(rs.rows.size());
    for (const auto& row : rs.rows) {
        std::vector<JetSortKey> k;
        for (const auto& v : row) k.push_back(MakeSortKey(v));
        keys.push_back(std::move(k));
    }
    std::vector<std::size_t> order(rs.rows.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        for (std::size_t c = 0; c < width; ++c)
            if (int r = JetCompareKeys(keys[a][c], keys[b][c])) return r < 0;
        return false;
    });
    std::vector<std::vector<Value>> out;
    for (std::size_t idx : order) {
        bool same = !out.empty() &&
                    std::equal(out.back().begin(), out.back().end(), rs.rows[idx].begin(), JetSame);
        if (!same) out.push_back(std::move(rs.rows[idx]));
    }
    rs.rows = std::move(out);
}

}  // namespace

std::unique_ptr<JetSession> JetSession::Open(const OleDbString& properties) {
    std::string path = properties.get({"Data Source", "DBQ"}).value_or("");
    JetReader reader(path);  // throws for a missing or unreadable file
    reader.tableNames();     // throws for a file that is no Jet database
    return std::unique_ptr<JetSession>(new JetSession(std::move(reader)));
}

std::optional<RowSet> JetSession::run(const std::string& text) {
    JetQuery query = JetQuery::Parse(text);
    CachedTable& t = cached(query.table);
    std::vector<std::size_t> rows;
    if (query.where) {
        rows = indexedRows(t, columnOf(t.table, query.where->column), query.where->text);
    } else {
        rows.resize(t.table.rowCount());
        std::iota(rows.begin(), rows.end(), 0);
    }
    return project(query, t.table, rows);
}

void JetSession::setDefaultDatabase(const std::string&) {
    throw DbError("结构文件中没有可切换的数据库。");
}

JetSession::CachedTable& JetSession::cached(const std::string& name) {
    std::string key = FoldCase(name);
    auto it = tables_.find(key);
    if (it == tables_.end())
        it = tables_.emplace(key, CachedTable{reader_.readTable(name), {}}).first;
    return it->second;
}

std::vector<std::size_t> JetSession::indexedRows(CachedTable& t, int column,
                                                 const std::string& text) {
    auto [it, fresh] = t.indexes.try_emplace(column);
    ColumnIndex& index = it->second;
    if (fresh) {
        for (std::size_t r = 0; r < t.table.rowCount(); ++r) {
            const Value& v = t.table.row(r)[static_cast<std::size_t>(column)];
            if (auto s = std::get_if<std::string>(&v.storage()))
                index.byText[FoldCase(*s)].push_back(r);
            else if (!v.isNull())
                index.others.push_back(r);
        }
    }
    std::vector<std::size_t> rows;
    if (auto found = index.byText.find(FoldCase(text)); found != index.byText.end())
        rows = found->second;
    for (std::size_t r : index.others)
        if (matches(t.table.row(r)[static_cast<std::size_t>(column)], text)) rows.push_back(r);
    std::sort(rows.begin(), rows.end());
    return rows;
}

RowSet JetSession::Evaluate(const JetQuery& query, const JetTable& table) {
    int whereColumn = query.where ? columnOf(table, query.where->column) : -1;
    std::vector<std::size_t> rows;
    for (std::size_t r = 0; r < table.rowCount(); ++r)
        if (whereColumn < 0 ||
            matches(table.row(r)[static_cast<std::size_t>(whereColumn)], query.where->text))
            rows.push_back(r);
    return project(query, table, rows);
}

RowSet JetSession::project(const JetQuery& query, const JetTable& table,
                           const std::vector<std::size_t>& rows) {
    std::vector<std::size_t> picked;
    if (query.columns.empty()) {
        for (std::size_t i = 0; i < table.columns.size(); ++i) picked.push_back(i);
    } else {
        for (const auto& c : query.columns)
            picked.push_back(static_cast<std::size_t>(columnOf(table, c)));
    }
    RowSet rs;
    for (std::size_t i : picked) rs.columns.push_back(table.columns[i].name);
    rs.rows.reserve(rows.size());
    for (std::size_t r : rows) {
        auto row = table.row(r);
        std::vector<Value> out;
        out.reserve(picked.size());
        for (std::size_t i : picked) out.push_back(row[i]);
        rs.rows.push_back(std::move(out));
    }
    if (query.distinct) makeDistinct(rs);
    return rs;
}

}  // namespace dsadmin
