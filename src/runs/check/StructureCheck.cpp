#include "runs/check/StructureCheck.h"

#include <set>
#include <utility>

#include "base/AsciiText.h"
#include "db/Recordset.h"
#include "runs/DatabaseName.h"

namespace dsadmin {
namespace {

using Model = std::vector<std::pair<std::string, std::vector<ColumnDefinition>>>;

// The described tables with their columns, read with the runs' two queries; a table-list
// entry whose rows query finds nothing (no name) describes no table, as in the runs.
Model ReadModel(const RunInput& input) {
    Connection structure;
    OpenStructureConnection(structure, input);
    Recordset list, rows;
    Model model;
    list.Open(kTableListQuery, structure, kOpenKeyset, kLockReadOnly);
    for (; !list.Eof(); list.MoveNext()) {
        const Value& table = list.Fields("ftable");
        rows.Open(TableRowsQuery(table), structure, kOpenKeyset, kLockReadOnly);
        if (!rows.Eof()) model.emplace_back(table.text(), ReadColumnDefinitions(rows));
        rows.Close();
    }
    list.Close();
    structure.Close();
    return model;
}

std::string ModelText(const ColumnDefinition& c) {
    const std::string text = ColumnDefinitionText(c);
    return text.substr(c.name.size() + 1);
}

}  // namespace

StructureCheck StructureCheck::Run(const RunInput& input) {
    const Model model = ReadModel(input);
    const std::string name = Trim(input.fields.databaseName);
    RequirePlainDatabaseName(name);
    Connection server;
    OpenServerConnection(server, input);
    server.DefaultDatabase(name);
    const DatabaseCatalog catalog = DatabaseCatalog::Read(server, input);
    server.Close();
    StructureCheck check;
    for (const auto& [table, columns] : model)
        check.tables_.push_back(Compare(table, columns, catalog));
    return check;
}

TableCheck StructureCheck::Compare(const std::string& table,
                                   const std::vector<ColumnDefinition>& model,
                                   const DatabaseCatalog& catalog) {
    TableCheck check;
    check.name = table;
    const CatalogTable* live = catalog.find(table);
    if (!live) return check;
    check.present = true;
    check.schema = live->schema;
    std::set<std::string> described;
    for (const ColumnDefinition& c : model) {
        const std::string key = DatabaseCatalog::Fold(c.name);
        described.insert(key);
        const CatalogColumn* found = nullptr;
        for (const CatalogColumn& l : live->columns)
            if (DatabaseCatalog::Fold(l.name) == key) found = &l;
        if (!found) {
            check.missing.push_back(c);
            continue;
        }
        std::vector<std::string> facts = ColumnType::FromModel(c.type).differencesFrom(found->type);
        if (c.identity != found->identity) facts.push_back("identity");
        if (c.primaryKey != found->primaryKey) facts.push_back("primaryKey");
        if (!facts.empty())
            check.changed.push_back({c.name, ModelText(c), found->text(), std::move(facts)});
    }
    for (const CatalogColumn& l : live->columns)
        if (!described.count(DatabaseCatalog::Fold(l.name))) check.extra.push_back(l);
    return check;
}

bool StructureCheck::clean() const {
    for (const TableCheck& t : tables_)
        if (!t.clean()) return false;
    return true;
}

}  // namespace dsadmin
