#pragma once
// The catalog views a client may read: sys.tables, sys.objects, sys.columns, sys.schemas,
// sys.databases, INFORMATION_SCHEMA.TABLES and INFORMATION_SCHEMA.COLUMNS, with SQL Server's
// column names in SQL Server's order; sys.types, sys.indexes and sys.index_columns come from
// TypeIndexViews. Each view is built whole; SelectRunner filters it.

#include <optional>
#include <string>

#include "sandbox/Engine.h"
#include "sandbox/sql/DatabaseFile.h"
#include "sandbox/sql/MasterCatalog.h"

namespace sandbox::sql {

class CatalogViews {
  public:
    // True for a view this class builds; `schema` is "sys" or "INFORMATION_SCHEMA" (any case).
    static bool has(const std::string& schema, const std::string& view);
    // The view of `database` (file open in `file`); sys.databases lists `all`. With
    // `onlyName`, sys.tables and sys.objects hold only the tables whose name compares equal to
    // it (the other views ignore it).
    static ResultSet build(const std::string& schema, const std::string& view,
                           const DatabaseInfo& database, DatabaseFile& file,
                           const std::vector<DatabaseInfo>& all,
                           const std::optional<std::string>& onlyName = std::nullopt);

    // "YYYY-MM-DD hh:mm:ss.mmm" as a TDS datetime.
    static DateTimeValue toDateTime(const std::string& text);
};

}  // namespace sandbox::sql
