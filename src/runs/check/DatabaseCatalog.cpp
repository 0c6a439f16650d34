#include "runs/check/DatabaseCatalog.h"

#include <unicode/unistr.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>

#include "db/Recordset.h"

namespace dsadmin {
namespace {

// A catalog number as whichever variant the provider handed out.
long Number(const Value& v) {
    return std::visit(
        [](const auto& x) -> long {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, std::int64_t> || std::is_same_v<T, double>)
                return static_cast<long>(x);
            else if constexpr (std::is_same_v<T, bool>)
                return x ? 1 : 0;
            else if constexpr (std::is_same_v<T, std::string>)
                return std::strtol(x.c_str(), nullptr, 10);
            else
                return 0;
        },
        v.storage());
}

using Row = std::map<std::string, Value>;

std::vector<Row> Rows(Connection& server, const RunInput& input, const std::string& query) {
    Recordset rows;
    SendToServer(input, query, [&] { rows.Open(query, server, kOpenKeyset, kLockReadOnly); });
    std::vector<Row> out;
    for (; !rows.Eof(); rows.MoveNext()) {
        Row row;
        for (const std::string& field : rows.FieldNames()) row[field] = rows.Fields(field);
        out.push_back(std::move(row));
    }
    return out;
}

}  // namespace

std::string CatalogColumn::text() const {
    return type.text() + (identity ? " IDENTITY" : "") + (primaryKey ? " PRIMARY KEY" : "");
}

const std::vector<std::string>& DatabaseCatalog::Queries() {
    static const std::vector<std::string> queries = {
        "select schema_id, name from sys.schemas",
        "select object_id, schema_id, name from sys.tables",
        "select object_id, column_id, name, user_type_id, max_length, [precision], [scale], "
        "is_identity from sys.columns",
        "select user_type_id, name from sys.types",
        "select object_id, index_id from sys.indexes where is_primary_key = 1",
        "select object_id, index_id, column_id from sys.index_columns"};
    return queries;
}

DatabaseCatalog DatabaseCatalog::Read(Connection& server, const RunInput& input) {
    const auto& q = Queries();
    std::map<long, std::string> schemas, types;
    for (const Row& r : Rows(server, input, q[0]))
        schemas[Number(r.at("schema_id"))] = r.at("name").text();
    DatabaseCatalog catalog;
    std::map<long, std::size_t> byId;
    for (const Row& r : Rows(server, input, q[1])) {
        CatalogTable t{
            Number(r.at("object_id")), Number(r.at("schema_id")), {}, r.at("name").text(), {}};
        t.schema = schemas[t.schemaId];
        byId[t.objectId] = catalog.tables_.size();
        catalog.tables_.push_back(std::move(t));
    }
    std::map<std::pair<long, long>, CatalogColumn> columns;  // (object_id, column_id)
    const std::vector<Row> columnRows = Rows(server, input, q[2]);
    for (const Row& r : Rows(server, input, q[3]))
        types[Number(r.at("user_type_id"))] = r.at("name").text();
    for (const Row& r : columnRows) {
        const long object = Number(r.at("object_id"));
        if (!byId.count(object)) continue;  // a column of a view or a system object
        CatalogColumn c{
            r.at("name").text(),
            ColumnType::FromServer(types[Number(r.at("user_type_id"))], Number(r.at("max_length")),
                                   static_cast<int>(Number(r.at("precision"))),
                                   static_cast<int>(Number(r.at("scale")))),
            Number(r.at("is_identity")) != 0, false};
        columns[{object, Number(r.at("column_id"))}] = std::move(c);
    }
    std::set<std::pair<long, long>> keys;  // (object_id, index_id) of each primary key
    for (const Row& r : Rows(server, input, q[4]))
        keys.insert({Number(r.at("object_id")), Number(r.at("index_id"))});
    for (const Row& r : Rows(server, input, q[5])) {
        const long object = Number(r.at("object_id"));
        if (!keys.count({object, Number(r.at("index_id"))})) continue;
        if (auto it = columns.find({object, Number(r.at("column_id"))}); it != columns.end())
            it->second.primaryKey = true;
    }
    for (auto& [key, column] : columns)
        catalog.tables_[byId[key.first]].columns.push_back(std::move(column));
    for (std::size_t i = 0; i < catalog.tables_.size(); ++i)
        catalog.byName_.emplace(Fold(catalog.tables_[i].name), i);
    return catalog;
}

const CatalogTable* DatabaseCatalog::find(const std::string& name) const {
    const CatalogTable* best = nullptr;
    const auto [first, last] = byName_.equal_range(Fold(name));
    for (auto it = first; it != last; ++it) {
        const CatalogTable& t = tables_[it->second];
        if (!best || (t.schemaId == 1) > (best->schemaId == 1) ||
            ((t.schemaId == 1) == (best->schemaId == 1) && t.objectId < best->objectId))
            best = &t;
    }
    return best;
}

std::string DatabaseCatalog::Fold(const std::string& text) {
    std::string out;
    icu::UnicodeString::fromUTF8(text).foldCase().toUTF8String(out);
    return out;
}

}  // namespace dsadmin
