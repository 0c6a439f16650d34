#pragma once
// Move-only owners of an SQLite connection and a prepared statement. Failures throw
// std::runtime_error with SQLite's message (SqliteDiskFull when the disk is full);
// destructors never throw.

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_map>

struct sqlite3;
struct sqlite3_stmt;

namespace sandbox::sql {

// SQLite could not write because the file system is full (SQLITE_FULL, or an I/O error whose
// cause was ENOSPC or EDQUOT).
class SqliteDiskFull : public std::runtime_error {
  public:
    explicit SqliteDiskFull(const std::string& what) : std::runtime_error(what) {}
};

class SqliteStatement {
  public:
    SqliteStatement(sqlite3* db, const std::string& sql);
    // A statement kept by its connection (`*inUse` set while lent): reset and handed back,
    // not finalised, when this object ends.
    SqliteStatement(sqlite3* db, sqlite3_stmt* kept, bool* inUse);
    SqliteStatement(SqliteStatement&& other) noexcept;
    SqliteStatement& operator=(SqliteStatement&&) = delete;
    SqliteStatement(const SqliteStatement&) = delete;
    ~SqliteStatement();

    // Parameters are 1-based.
    SqliteStatement& bind(int index, std::int64_t value);
    SqliteStatement& bind(int index, const std::string& value);
    SqliteStatement& bindNull(int index);
    // True while a row is available.
    bool step();
    std::int64_t integer(int column) const;
    std::string text(int column) const;
    bool isNull(int column) const;

  private:
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
    bool* inUse_ = nullptr;  // set for a kept statement
};

class SqliteDb {
  public:
    enum class Mode { OpenExisting, CreateNew };
    // OpenExisting fails when the file is missing; CreateNew creates it (the caller has made
    // sure it did not exist).
    SqliteDb(const std::string& path, Mode mode);
    SqliteDb(SqliteDb&& other) noexcept;
    SqliteDb& operator=(SqliteDb&&) = delete;
    SqliteDb(const SqliteDb&) = delete;
    ~SqliteDb();

    void exec(const std::string& sql);
    // The statement is compiled once per connection and kept (the texts are the program's
    // own, a small set); a text already lent out, as in a nested use, is compiled afresh.
    SqliteStatement prepare(const std::string& sql);
    // The first column of the first row, or nullopt.
    std::optional<std::int64_t> scalar(const std::string& sql);
    const std::string& path() const { return path_; }
    // Rolls back a transaction a failed statement left open; no-op otherwise.
    void rollbackOpenTransaction();
    bool inTransaction() const;

  private:
    struct Kept {
        sqlite3_stmt* stmt = nullptr;
        bool inUse = false;
    };
    void finalizeKept();

    sqlite3* db_ = nullptr;
    std::string path_;
    // Node-based: a lent statement's flag stays where it is while others are added.
    std::unique_ptr<std::unordered_map<std::string, Kept>> kept_ =
        std::make_unique<std::unordered_map<std::string, Kept>>();
};

}  // namespace sandbox::sql
