#pragma once
// The list of databases, kept in master's SQLite file (table sandbox_databases) so that it
// survives restarts; each change is one SQLite transaction. Files that the server is about to
// create or remove are recorded first (table sandbox_file_intents) and forgotten in the same
// transaction that adds or removes the database, so that a server killed half-way knows at
// its next start which files it left behind. Not thread-safe: the instance
// lock guards every use. Throws std::runtime_error for SQLite failures.

#include <optional>
#include <string>
#include <vector>

#include "sandbox/sql/SqliteDb.h"

namespace sandbox::sql {

struct DatabaseInfo {
    int id = 0;  // database_id: 1 master, 2 tempdb, 3 model, 4 msdb, then 5, 6 ...
    std::string name;
    std::string dataFile;                 // the SQLite file
    std::vector<std::string> otherFiles;  // log and secondary files; none for system databases
    std::string created;                  // "YYYY-MM-DD hh:mm:ss.mmm", UTC
    bool system() const { return id <= 4; }
};

class MasterCatalog {
  public:
    // Opens master's file at `masterPath` (creating it) and registers the system databases,
    // whose files lie in `dataDir`.
    MasterCatalog(const std::string& masterPath, const std::string& dataDir);

    std::vector<DatabaseInfo> list();
    std::optional<DatabaseInfo> find(const std::string& name);
    // Records a new database and forgets the intents of its files; returns it with its id.
    DatabaseInfo add(const std::string& name, const std::string& dataFile,
                     const std::vector<std::string>& otherFiles);
    // Removes the database and records the intent to remove its files, in one transaction.
    void remove(const DatabaseInfo& database);

    // Files the server is about to create for `database` (action "create"), or is removing
    // ("drop").
    struct FileIntent {
        std::string path;
        std::string database;
        std::string action;
    };
    void recordIntents(const std::string& database, const std::string& action,
                       const std::vector<std::string>& paths);
    void forgetIntents(const std::vector<std::string>& paths);
    std::vector<FileIntent> intents();

  private:
    void insertIntents(const std::string& database, const std::string& action,
                       const std::vector<std::string>& paths);
    void deleteIntents(const std::vector<std::string>& paths);
    template <class F>
    void inTransaction(F&& body);

    SqliteDb db_;
    // The rows of sandbox_databases, read once: every statement looks its database up, and
    // only add and remove change them.
    std::optional<std::vector<DatabaseInfo>> databases_;
};

}  // namespace sandbox::sql
