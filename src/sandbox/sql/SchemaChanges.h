#pragma once
// CREATE TABLE, DROP TABLE and CREATE SCHEMA in the current or a named database. The caller
// holds the instance lock (CREATE TABLE and DROP TABLE let it go once they hold the database's
// file). Throws
// SqlError: 2714, 2715, 2716, 2705, 2744, 2749, 8110, 8111 or 1911 (then 1750), 2714 for a key's
// name (then 1750), 1702, 2760, 2702, 3701, the size errors of TypeCatalog, kNotSupported for #temp
// tables. A primary key becomes an object of its own.

#include <mutex>

#include "sandbox/sql/Ast.h"
#include "sandbox/sql/Instance.h"
#include "sandbox/sql/SessionFacts.h"

namespace sandbox::sql {

class SchemaChanges {
  public:
    SchemaChanges(Instance& instance, const SessionFacts& session)
        : instance_(instance), session_(session) {}

    // `held` is the caller's instance lock; it may come back unlocked.
    void createTable(const CreateTable& statement, std::unique_lock<std::mutex>& held);
    // Drops one table; nothing happens when IF EXISTS found nothing. Takes `held` again when
    // an earlier call let it go, and lets it go as createTable does.
    void dropTable(const ObjectName& table, bool ifExists, std::unique_lock<std::mutex>& held);
    void createSchema(const CreateSchema& statement);

  private:
    DatabaseInfo database(const ObjectName& name, bool forDrop);
    std::vector<ColumnInfo> columns(const CreateTable& statement);
    void keys(const CreateTable& statement, std::vector<ColumnInfo>& columns);

    Instance& instance_;
    const SessionFacts& session_;
};

}  // namespace sandbox::sql
