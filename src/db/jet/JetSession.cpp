#include "db/jet/JetSession.h"

#include <algorithm>
#include <numeric>
#include <unordered_map>
#include <variant>

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

std::unique_ptr<JetSession> JetSession::Open(const OleDbString& properties,
                                             const SessionOptions& options) {
    std::string path = properties.get({"Data Source", "DBQ"}).value_or("");
    JetReader reader(path);  // throws for a missing or unreadable file
    std::unique_ptr<JetSession> session(new JetSession(std::move(reader), options.whileWaiting));
    session->reader_.tableNames();  // throws for a file that is no Jet database
    return session;
}

std::optional<RowSet> JetSession::run(const std::string& text) {
    JetQuery query = JetQuery::Parse(text);
    if (query.distinct && query.columns.size() == 1 && !query.where) return distinct(query);
    if (query.where && !query.distinct) {
        if (auto rs = where(query)) return rs;
    }
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

namespace {

// How a value of a DISTINCT of one column sorts: Null, then numbers, then texts by their
// folded form (JetCompareKeys, without the keys' weight strings, for a small footprint).
struct DistinctKey {
    int rank = 0;  // 0 Null, 1 number, 2 text
    double number = 0;
    std::string folded;
};

DistinctKey distinctKey(const Value& v) {
    DistinctKey k;
    if (v.isNull()) return k;
    if (auto s = std::get_if<std::string>(&v.storage())) {
        k.rank = 2;
        k.folded = FoldCase(*s);
        return k;
    }
    k.rank = 1;
    k.number = MakeSortKey(v).number;
    return k;
}

int compareKeys(const DistinctKey& a, const DistinctKey& b) {
    if (a.rank != b.rank) return a.rank < b.rank ? -1 : 1;
    if (a.rank == 1) return a.number < b.number ? -1 : a.number > b.number ? 1 : 0;
    if (a.rank == 2) return JetCompareFolded(a.folded, b.folded);
    return 0;
}

}  // namespace

// SELECT DISTINCT column FROM table: the helper sends the column's values with the repeats of
// a text next to each other left out; sorted and thinned as makeDistinct does (a stable sort,
// then the first of each run of values the same to Jet, that is the first in file order).
RowSet JetSession::distinct(const JetQuery& query) {
    JetTable values;
    try {
        values = reader_.distinctTexts(query.table, query.columns[0]);
    } catch (const JetReaderSession::NoColumn& e) {
        JetTable named;
        named.name = e.table;
        columnOf(named, query.columns[0]);  // throws the usual error
    }
    std::vector<DistinctKey> keys;
    keys.reserve(values.cells.size());
    for (const Value& v : values.cells) keys.push_back(distinctKey(v));
    std::vector<std::uint32_t> order(values.cells.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        return compareKeys(keys[a], keys[b]) < 0;
    });
    // The first of each run of values the same to Jet: `order` keeps only those.
    std::size_t keptCount = 0;
    for (std::uint32_t idx : order)
        if (keptCount == 0 || !JetSame(values.cells[order[keptCount - 1]], values.cells[idx]))
            order[keptCount++] = idx;
    order.resize(keptCount);
    // Remember the order (the runs ask for each text's rows in it), then let the keys go
    // before the rows are built: with 20,000 tables the keys and the rows are the largest
    // things the read holds, and they need not be held at once.
    order_ = {};
    order_.table = FoldCase(query.table);
    order_.column = FoldCase(query.columns[0]);
    order_.folded.reserve(order.size());
    for (std::uint32_t idx : order)
        order_.folded.push_back(keys[idx].rank == 2 ? std::move(keys[idx].folded) : std::string());
    std::vector<DistinctKey>().swap(keys);
    RowSet rs;
    rs.columns.push_back(values.columns[0].name);
    rs.rows.reserve(order.size());
    for (std::uint32_t idx : order) rs.rows.push_back({std::move(values.cells[idx])});
    return rs;
}

// The texts to fetch with `folded`: it and those that follow it in the last DISTINCT's order,
// when the query is on that table and column.
std::vector<std::string> JetSession::textsAhead(const std::string& table, const std::string& column,
                                                const std::string& folded) {
    constexpr std::size_t kAhead = 64;
    std::vector<std::string> texts{folded};
    if (table != order_.table || column != order_.column || order_.folded.empty()) return texts;
    std::size_t at = order_.folded.size();
    const std::size_t n = order_.folded.size();
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t k = (order_.next + i) % n;
        if (order_.folded[k] == folded) {
            at = k;
            break;
        }
    }
    if (at == n) return texts;
    for (std::size_t k = at + 1; k < n && texts.size() < kAhead; ++k)
        if (!order_.folded[k].empty() && !ahead_.count(order_.folded[k]))
            texts.push_back(order_.folded[k]);
    order_.next = at + 1;
    return texts;
}

// SELECT ... FROM table WHERE column = 'text': the rows the helper finds for the text (and
// those whose value is no text, compared here), fetched ahead for the texts that follow.
std::optional<RowSet> JetSession::where(const JetQuery& query) {
    const std::string table = FoldCase(query.table), column = FoldCase(query.where->column);
    if (tables_.count(table)) return std::nullopt;  // already read whole for another query
    const std::string folded = FoldCase(query.where->text);
    if (table != aheadTable_ || column != aheadColumn_) {
        ahead_.clear();
        aheadTable_ = table;
        aheadColumn_ = column;
    }
    auto found = ahead_.find(folded);
    if (found == ahead_.end()) {
        const std::vector<std::string> texts = textsAhead(table, column, folded);
        std::vector<JetTable> groups;
        try {
            groups = reader_.rowsWhere(query.table, query.where->column, texts);
        } catch (const JetReaderSession::NoColumn& e) {
            JetTable named;
            named.name = e.table;
            columnOf(named, query.where->column);  // throws the usual error
        }
        for (std::size_t i = 0; i < texts.size() && i < groups.size(); ++i)
            ahead_.insert_or_assign(texts[i], std::move(groups[i]));
        found = ahead_.find(folded);
    }
    const JetTable rows = std::move(found->second);
    ahead_.erase(found);
    const int whereColumn = columnOf(rows, query.where->column);
    std::vector<std::size_t> matching;
    for (std::size_t r = 0; r < rows.rowCount(); ++r)
        if (matches(rows.row(r)[static_cast<std::size_t>(whereColumn)], query.where->text))
            matching.push_back(r);
    return project(query, rows, matching);
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
