#pragma once
// One database's storage: an SQLite file holding the database's schemas, tables, columns and
// primary keys (sandbox_schemas, sandbox_tables, sandbox_columns, sandbox_keys): a user table
// is rows in these tables, never an SQLite table of its own, so that creating one changes no
// SQLite schema (which SQLite would re-read, and every compiled statement with it, at each
// CREATE TABLE). Earlier versions also made an empty table "t<object_id>" per user table; DROP
// TABLE still removes it. Tables and keys carry name_key, the case-folded name without trailing
// blanks (foldCase), which the name indexes use: SQLite's own NOCASE folds ASCII letters only. Not
// thread-safe: the file's own lock (Instance::open's FileLease) guards every use. Throws
// std::runtime_error for SQLite failures.

#include <optional>
#include <string>
#include <vector>

#include "sandbox/sql/SqliteDb.h"
#include "sandbox/sql/TypeCatalog.h"

namespace sandbox::sql {

struct SchemaInfo {
    int id = 0;
    std::string name;
};

struct ColumnInfo {
    std::string name;
    ResolvedType type;
    bool nullable = true;
    bool identity = false;
    bool primaryKey = false;
};

// A PRIMARY KEY constraint: an object of its own, child of its table.
struct KeyInfo {
    int objectId = 0;
    int parentObjectId = 0;
    int schemaId = 1;
    std::string name;
    std::string created;
};

struct TableInfo {
    int objectId = 0;
    int schemaId = 1;
    std::string schemaName;
    std::string name;
    std::string created;  // "YYYY-MM-DD hh:mm:ss.mmm", UTC
    std::string modified;
    std::vector<ColumnInfo> columns;  // empty when read without columns
    int columnCount = 0;              // set whether or not the columns were read
};

class DatabaseFile {
  public:
    // Creates a new file at `path` (which must not exist) with the built-in schemas.
    static DatabaseFile create(const std::string& path);
    // Opens an existing file; creates the sandbox tables when they are missing.
    static DatabaseFile open(const std::string& path);

    std::vector<SchemaInfo> schemas();
    std::optional<SchemaInfo> findSchema(const std::string& name);
    void createSchema(const std::string& name);
    // Every user table, with its columns or only their count, in object_id order.
    std::vector<TableInfo> tables(bool withColumns = true);
    // The tables whose names compare equal to `name` as names do in a condition (letters in
    // any case, trailing spaces ignored), with their column counts, in object_id order.
    std::vector<TableInfo> tablesNamed(const std::string& name);
    // The table with its columns, found through the name index, so that a statement's cost
    // does not grow with the tables in the database.
    std::optional<TableInfo> findTable(int schemaId, const std::string& name);
    // Every primary key (or those whose names compare equal to `name`), in object_id order.
    std::vector<KeyInfo> keys(const std::optional<std::string>& name = std::nullopt);
    // True when a table or a key of the schema has this name (equalsName).
    bool objectExists(int schemaId, const std::string& name);
    // Stores `table` (its objectId and dates are assigned) and, when a column is in the
    // primary key, the key as an object of its own named `keyName` (empty: named as SQL
    // Server names it, PK__<first 8 characters of the table>__<16 hex digits>). Returns the
    // table's object_id.
    int createTable(TableInfo table, const std::string& keyName = "");
    // Removes the table, its columns and its key.
    void dropTable(int objectId);

    // One transaction over a statement's lookups and its change: the file is locked and
    // checked once, not at every lookup. Committed by commit(), rolled back otherwise.
    class Transaction {
      public:
        explicit Transaction(DatabaseFile& file);
        Transaction(const Transaction&) = delete;
        Transaction& operator=(const Transaction&) = delete;
        ~Transaction();
        void commit();

      private:
        SqliteDb& db_;
        bool open_ = true;
    };

    // Ends a transaction that an earlier statement failed to finish (the file stays open
    // between statements).
    void endOpenTransaction() { db_.rollbackOpenTransaction(); }

    static std::string now();

  private:
    explicit DatabaseFile(SqliteDb db) : db_(std::move(db)) {}
    void ensureSchema();
    void addNameKeys();
    // Tables (all, or the one with `objectId`) without their columns.
    std::vector<TableInfo> readTables(std::optional<int> objectId);
    std::vector<TableInfo> readTables(SqliteStatement& query);
    void readColumns(std::vector<TableInfo>& tables, std::optional<int> objectId);
    void readColumnCounts(std::vector<TableInfo>& tables);

    SqliteDb db_;
};

}  // namespace sandbox::sql
