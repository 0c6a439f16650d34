#pragma once
// The user tables of one database as its catalog describes them: each table's schema and
// name, and per column its name, type, identity flag and primary-key flag. Read with six
// queries that SQL Server and dsadmin-sandbox answer alike (sys.schemas, sys.tables,
// sys.columns, sys.types, sys.indexes, sys.index_columns), each over the whole database, and
// joined here. Text is UTF-8.

#include <string>
#include <unordered_map>
#include <vector>

#include "db/Connection.h"
#include "runs/RunInput.h"
#include "runs/check/ColumnType.h"

namespace dsadmin {

struct CatalogColumn {
    std::string name;
    ColumnType type;
    bool identity = false;
    bool primaryKey = false;

    // type.text(), then " IDENTITY" and " PRIMARY KEY" when flagged.
    std::string text() const;
};

struct CatalogTable {
    long objectId = 0;
    long schemaId = 0;
    std::string schema;
    std::string name;
    std::vector<CatalogColumn> columns;  // in column_id order
};

class DatabaseCatalog {
  public:
    // The queries Read sends, in order.
    static const std::vector<std::string>& Queries();

    // Reads the catalog of the database `server` is switched to, each query reported to
    // input.watch as the runs report theirs. Throws DbError with the server's description.
    static DatabaseCatalog Read(Connection& server, const RunInput& input);

    // The user table of that name, compared as the server's default collation does (letters
    // in any case): the one in schema dbo when several schemas hold one, else the first
    // created. Null when the database has none.
    const CatalogTable* find(const std::string& name) const;

    // `text` case-folded (full Unicode folding), the key names are compared by.
    static std::string Fold(const std::string& text);

  private:
    std::vector<CatalogTable> tables_;
    std::unordered_multimap<std::string, std::size_t> byName_;
};

}  // namespace dsadmin
