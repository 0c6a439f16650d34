#pragma once
// The catalog views that tell a column's type and key: sys.types (the built-in types),
// sys.indexes (per user table its primary key under the key's name, or its heap) and
// sys.index_columns (the key's columns), with SQL Server's column names in SQL Server's order.
// CatalogViews hands these three views to this class.

#include <string>

#include "sandbox/Engine.h"
#include "sandbox/sql/DatabaseFile.h"

namespace sandbox::sql {

class TypeIndexViews {
  public:
    // True for "types", "indexes" and "index_columns" (any case) of schema "sys".
    static bool has(const std::string& schema, const std::string& view);
    // The view of the database whose file is open in `file`.
    static ResultSet build(const std::string& view, DatabaseFile& file);
};

}  // namespace sandbox::sql
