#include "sandbox/sql/MasterCatalog.h"

#include "sandbox/sql/DatabaseFile.h"
#include "sandbox/sql/Names.h"

namespace sandbox::sql {

namespace {
// The other files are stored one per line (paths with control characters are refused).
std::vector<std::string> split(const std::string& joined) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start < joined.size()) {
        std::size_t end = joined.find('\n', start);
        if (end == std::string::npos) end = joined.size();
        parts.push_back(joined.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}
}  // namespace

MasterCatalog::MasterCatalog(const std::string& masterPath, const std::string& dataDir)
    : db_(masterPath, SqliteDb::Mode::CreateNew) {
    db_.exec(
        "CREATE TABLE IF NOT EXISTS sandbox_databases(database_id INTEGER PRIMARY KEY, "
        "name TEXT NOT NULL UNIQUE COLLATE NOCASE, data_file TEXT NOT NULL, "
        "log_file TEXT NOT NULL, create_date TEXT NOT NULL)");
    db_.exec(
        "CREATE TABLE IF NOT EXISTS sandbox_file_intents(path TEXT PRIMARY KEY, "
        "database_name TEXT NOT NULL, action TEXT NOT NULL)");
    const char* const systemNames[] = {"master", "tempdb", "model", "msdb"};
    for (int id = 1; id <= 4; ++id) {
        const std::string name = systemNames[id - 1];
        const std::string file = id == 1 ? masterPath : dataDir + "/" + name + ".sqlite";
        db_.prepare("INSERT OR IGNORE INTO sandbox_databases VALUES (?, ?, ?, '', ?)")
            .bind(1, id)
            .bind(2, name)
            .bind(3, file)
            .bind(4, DatabaseFile::now())
            .step();
    }
}

std::vector<DatabaseInfo> MasterCatalog::list() {
    if (databases_) return *databases_;
    std::vector<DatabaseInfo> result;
    SqliteStatement s = db_.prepare(
        "SELECT database_id, name, data_file, log_file, create_date FROM sandbox_databases "
        "ORDER BY database_id");
    while (s.step())
        result.push_back(
            {static_cast<int>(s.integer(0)), s.text(1), s.text(2), split(s.text(3)), s.text(4)});
    databases_ = result;
    return result;
}

std::optional<DatabaseInfo> MasterCatalog::find(const std::string& name) {
    if (!databases_) list();
    for (const DatabaseInfo& d : *databases_)
        if (equalsName(d.name, name)) return d;
    return std::nullopt;
}

DatabaseInfo MasterCatalog::add(const std::string& name, const std::string& dataFile,
                                const std::vector<std::string>& otherFiles) {
    const int id = static_cast<int>(
        db_.scalar("SELECT MAX(MAX(database_id) + 1, 5) FROM sandbox_databases").value_or(5));
    DatabaseInfo d{id, name, dataFile, otherFiles, DatabaseFile::now()};
    std::string joined;
    for (const std::string& f : otherFiles) joined += (joined.empty() ? "" : "\n") + f;
    std::vector<std::string> files = otherFiles;
    files.push_back(dataFile);
    databases_.reset();
    inTransaction([&] {
        db_.prepare("INSERT INTO sandbox_databases VALUES (?, ?, ?, ?, ?)")
            .bind(1, d.id)
            .bind(2, d.name)
            .bind(3, d.dataFile)
            .bind(4, joined)
            .bind(5, d.created)
            .step();
        deleteIntents(files);
    });
    return d;
}

void MasterCatalog::remove(const DatabaseInfo& database) {
    std::vector<std::string> files = database.otherFiles;
    files.push_back(database.dataFile);
    databases_.reset();
    inTransaction([&] {
        db_.prepare("DELETE FROM sandbox_databases WHERE database_id = ?")
            .bind(1, database.id)
            .step();
        insertIntents(database.name, "drop", files);
    });
}

void MasterCatalog::recordIntents(const std::string& database, const std::string& action,
                                  const std::vector<std::string>& paths) {
    inTransaction([&] { insertIntents(database, action, paths); });
}

void MasterCatalog::forgetIntents(const std::vector<std::string>& paths) {
    inTransaction([&] { deleteIntents(paths); });
}

std::vector<MasterCatalog::FileIntent> MasterCatalog::intents() {
    std::vector<FileIntent> result;
    SqliteStatement s =
        db_.prepare("SELECT path, database_name, action FROM sandbox_file_intents ORDER BY path");
    while (s.step()) result.push_back({s.text(0), s.text(1), s.text(2)});
    return result;
}

void MasterCatalog::insertIntents(const std::string& database, const std::string& action,
                                  const std::vector<std::string>& paths) {
    for (const std::string& p : paths)
        db_.prepare("INSERT OR REPLACE INTO sandbox_file_intents VALUES (?, ?, ?)")
            .bind(1, p)
            .bind(2, database)
            .bind(3, action)
            .step();
}

void MasterCatalog::deleteIntents(const std::vector<std::string>& paths) {
    for (const std::string& p : paths)
        db_.prepare("DELETE FROM sandbox_file_intents WHERE path = ?").bind(1, p).step();
}

template <class F>
void MasterCatalog::inTransaction(F&& body) {
    db_.exec("BEGIN IMMEDIATE");
    try {
        body();
        db_.exec("COMMIT");
    } catch (...) {
        db_.rollbackOpenTransaction();
        throw;
    }
}

}  // namespace sandbox::sql
