#include "sandbox/sql/DatabaseFile.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "sandbox/sql/Names.h"

namespace sandbox::sql {

namespace {

const char* const kSchema = R"(
CREATE TABLE IF NOT EXISTS sandbox_schemas(
  schema_id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE COLLATE NOCASE);
INSERT OR IGNORE INTO sandbox_schemas VALUES
  (1, 'dbo'), (2, 'guest'), (3, 'INFORMATION_SCHEMA'), (4, 'sys');
CREATE TABLE IF NOT EXISTS sandbox_tables(
  object_id INTEGER PRIMARY KEY, schema_id INTEGER NOT NULL, name TEXT NOT NULL COLLATE NOCASE,
  create_date TEXT NOT NULL, modify_date TEXT NOT NULL, name_key TEXT, UNIQUE(schema_id, name));
CREATE TABLE IF NOT EXISTS sandbox_columns(
  object_id INTEGER NOT NULL, column_id INTEGER NOT NULL, name TEXT NOT NULL,
  type_name TEXT NOT NULL, system_type_id INTEGER NOT NULL, user_type_id INTEGER NOT NULL,
  max_length INTEGER NOT NULL, precision INTEGER NOT NULL, scale INTEGER NOT NULL,
  is_nullable INTEGER NOT NULL, is_identity INTEGER NOT NULL, is_primary_key INTEGER NOT NULL,
  collated INTEGER NOT NULL, identity_capable INTEGER NOT NULL,
  PRIMARY KEY(object_id, column_id));
CREATE TABLE IF NOT EXISTS sandbox_keys(
  object_id INTEGER PRIMARY KEY, parent_object_id INTEGER NOT NULL, schema_id INTEGER NOT NULL,
  name TEXT NOT NULL, name_key TEXT NOT NULL, create_date TEXT NOT NULL);
)";

const char* const kIndexes = R"(
CREATE INDEX IF NOT EXISTS sandbox_tables_by_key ON sandbox_tables(name_key);
CREATE INDEX IF NOT EXISTS sandbox_keys_by_key ON sandbox_keys(name_key);
)";

std::string nameKey(const std::string& name) {
    return foldCase(trimTrailingBlanks(name));
}

// Sixteen hex digits for a generated key name, from the ids (SQL Server's look random).
std::string keySuffix(int tableId, int keyId) {
    const auto mix = (static_cast<std::uint64_t>(static_cast<std::uint32_t>(tableId)) << 32 |
                      static_cast<std::uint32_t>(keyId)) *
                     0x9E3779B97F4A7C15ull;
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016llX", static_cast<unsigned long long>(mix));
    return buf;
}

std::string firstChars(const std::string& s, std::size_t count) {
    std::size_t i = 0;
    for (std::size_t n = 0; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80 && n++ == count) break;
    }
    return s.substr(0, i);
}

constexpr int kFirstObjectId = 581577110;

}  // namespace

DatabaseFile DatabaseFile::create(const std::string& path) {
    DatabaseFile f(SqliteDb(path, SqliteDb::Mode::CreateNew));
    f.ensureSchema();
    return f;
}

DatabaseFile DatabaseFile::open(const std::string& path) {
    DatabaseFile f(SqliteDb(path, SqliteDb::Mode::OpenExisting));
    f.ensureSchema();
    return f;
}

void DatabaseFile::ensureSchema() {
    // Only a file without the current sandbox tables is written to; a plain open stays
    // read-only. Files of earlier versions get the key table and the folded names.
    if (db_.scalar("SELECT COUNT(*) FROM sqlite_master WHERE name = 'sandbox_keys'").value_or(0) ==
        1)
        return;
    db_.exec("BEGIN");
    try {
        db_.exec(kSchema);
        addNameKeys();
        db_.exec(kIndexes);
        db_.exec("COMMIT");
    } catch (...) {
        try {
            db_.exec("ROLLBACK");
        } catch (...) {
        }
        throw;
    }
}

void DatabaseFile::addNameKeys() {
    if (db_.scalar("SELECT COUNT(*) FROM pragma_table_info('sandbox_tables') "
                   "WHERE name = 'name_key'")
            .value_or(0) == 0)
        db_.exec("ALTER TABLE sandbox_tables ADD COLUMN name_key TEXT");
    std::vector<std::pair<std::int64_t, std::string>> names;
    SqliteStatement all = db_.prepare("SELECT object_id, name FROM sandbox_tables");
    while (all.step()) names.emplace_back(all.integer(0), all.text(1));
    for (const auto& [id, name] : names)
        db_.prepare("UPDATE sandbox_tables SET name_key = ? WHERE object_id = ?")
            .bind(1, nameKey(name))
            .bind(2, id)
            .step();
}

std::string DatabaseFile::now() {
    const auto t = std::chrono::system_clock::now();
    const std::time_t secs = std::chrono::system_clock::to_time_t(t);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count() % 1000;
    std::tm tm{};
    gmtime_r(&secs, &tm);
    char buf[80];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                  static_cast<int>(ms));
    return buf;
}

std::vector<SchemaInfo> DatabaseFile::schemas() {
    std::vector<SchemaInfo> result;
    SqliteStatement s =
        db_.prepare("SELECT schema_id, name FROM sandbox_schemas ORDER BY schema_id");
    while (s.step()) result.push_back({static_cast<int>(s.integer(0)), s.text(1)});
    return result;
}

std::optional<SchemaInfo> DatabaseFile::findSchema(const std::string& name) {
    for (SchemaInfo& s : schemas())
        if (equalsName(s.name, name)) return s;
    return std::nullopt;
}

void DatabaseFile::createSchema(const std::string& name) {
    const int id = static_cast<int>(
        db_.scalar("SELECT MAX(MAX(schema_id) + 1, 5) FROM sandbox_schemas").value_or(5));
    db_.prepare("INSERT INTO sandbox_schemas VALUES (?, ?)").bind(1, id).bind(2, name).step();
}

std::vector<TableInfo> DatabaseFile::tables(bool withColumns) {
    std::vector<TableInfo> result = readTables(std::nullopt);
    if (withColumns) {
        readColumns(result, std::nullopt);
    } else {
        readColumnCounts(result);
    }
    return result;
}

namespace {
const char* const kTableRows =
    "SELECT t.object_id, t.schema_id, s.name, t.name, t.create_date, t.modify_date "
    "FROM sandbox_tables t JOIN sandbox_schemas s ON s.schema_id = t.schema_id ";
}  // namespace

std::vector<TableInfo> DatabaseFile::readTables(std::optional<int> objectId) {
    SqliteStatement t =
        db_.prepare(std::string(kTableRows) + (objectId ? "WHERE t.object_id = ? " : "") +
                    "ORDER BY t.object_id");
    if (objectId) t.bind(1, *objectId);
    return readTables(t);
}

std::vector<TableInfo> DatabaseFile::readTables(SqliteStatement& t) {
    std::vector<TableInfo> result;
    while (t.step())
        result.push_back({static_cast<int>(t.integer(0)),
                          static_cast<int>(t.integer(1)),
                          t.text(2),
                          t.text(3),
                          t.text(4),
                          t.text(5),
                          {}});
    return result;
}

std::vector<TableInfo> DatabaseFile::tablesNamed(const std::string& name) {
    SqliteStatement t =
        db_.prepare(std::string(kTableRows) + "WHERE t.name_key = ? ORDER BY t.object_id");
    t.bind(1, nameKey(name));
    std::vector<TableInfo> result = readTables(t);
    for (TableInfo& table : result) {
        SqliteStatement count =
            db_.prepare("SELECT COUNT(*) FROM sandbox_columns WHERE object_id = ?");
        count.bind(1, table.objectId);
        if (count.step()) table.columnCount = static_cast<int>(count.integer(0));
    }
    return result;
}

void DatabaseFile::readColumns(std::vector<TableInfo>& result, std::optional<int> objectId) {
    SqliteStatement c = db_.prepare(
        std::string("SELECT object_id, name, type_name, system_type_id, user_type_id, "
                    "max_length, precision, scale, is_nullable, is_identity, is_primary_key, "
                    "collated, identity_capable FROM sandbox_columns ") +
        (objectId ? "WHERE object_id = ? " : "") + "ORDER BY object_id, column_id");
    if (objectId) c.bind(1, *objectId);
    std::size_t i = 0;
    while (c.step()) {
        while (i < result.size() && result[i].objectId < c.integer(0)) ++i;
        if (i == result.size()) break;
        if (result[i].objectId != c.integer(0)) continue;
        ResolvedType type{c.text(2),
                          static_cast<int>(c.integer(3)),
                          static_cast<int>(c.integer(4)),
                          static_cast<int>(c.integer(5)),
                          static_cast<int>(c.integer(6)),
                          static_cast<int>(c.integer(7)),
                          c.integer(12) != 0,
                          c.integer(11) != 0};
        result[i].columns.push_back(
            {c.text(1), type, c.integer(8) != 0, c.integer(9) != 0, c.integer(10) != 0});
    }
    for (TableInfo& t : result) t.columnCount = static_cast<int>(t.columns.size());
}

void DatabaseFile::readColumnCounts(std::vector<TableInfo>& result) {
    SqliteStatement c = db_.prepare(
        "SELECT object_id, COUNT(*) FROM sandbox_columns GROUP BY object_id ORDER BY object_id");
    std::size_t i = 0;
    while (c.step()) {
        while (i < result.size() && result[i].objectId < c.integer(0)) ++i;
        if (i == result.size()) break;
        if (result[i].objectId == c.integer(0))
            result[i].columnCount = static_cast<int>(c.integer(1));
    }
}

std::optional<TableInfo> DatabaseFile::findTable(int schemaId, const std::string& name) {
    // The name_key index finds the candidates without reading the other names; a name that
    // differs only in trailing blanks shares the key but is another table.
    SqliteStatement t = db_.prepare(
        "SELECT object_id, name FROM sandbox_tables WHERE name_key = ? AND schema_id = ?");
    t.bind(1, nameKey(name)).bind(2, schemaId);
    std::optional<int> id;
    while (!id && t.step())
        if (equalsName(t.text(1), name)) id = static_cast<int>(t.integer(0));
    if (!id) return std::nullopt;
    std::vector<TableInfo> found = readTables(*id);
    if (found.empty()) return std::nullopt;
    readColumns(found, *id);
    return std::move(found.front());
}

std::vector<KeyInfo> DatabaseFile::keys(const std::optional<std::string>& name) {
    SqliteStatement k =
        db_.prepare(std::string("SELECT object_id, parent_object_id, schema_id, name, create_date "
                                "FROM sandbox_keys ") +
                    (name ? "WHERE name_key = ? " : "") + "ORDER BY object_id");
    if (name) k.bind(1, nameKey(*name));
    std::vector<KeyInfo> result;
    while (k.step())
        result.push_back({static_cast<int>(k.integer(0)), static_cast<int>(k.integer(1)),
                          static_cast<int>(k.integer(2)), k.text(3), k.text(4)});
    return result;
}

bool DatabaseFile::objectExists(int schemaId, const std::string& name) {
    if (findTable(schemaId, name)) return true;
    for (const KeyInfo& k : keys(name))
        if (k.schemaId == schemaId && equalsName(k.name, name)) return true;
    return false;
}

DatabaseFile::Transaction::Transaction(DatabaseFile& file) : db_(file.db_) {
    db_.exec("BEGIN");
}

DatabaseFile::Transaction::~Transaction() {
    if (open_) db_.rollbackOpenTransaction();
}

void DatabaseFile::Transaction::commit() {
    db_.exec("COMMIT");
    open_ = false;
}

int DatabaseFile::createTable(TableInfo table, const std::string& keyName) {
    // Inside a caller's Transaction a savepoint, which the caller's commit makes durable.
    const bool own = !db_.inTransaction();
    db_.exec("SAVEPOINT create_table");
    try {
        const int id = static_cast<int>(
            db_.scalar(
                   "SELECT NULLIF(MAX(COALESCE((SELECT MAX(object_id) FROM sandbox_tables), 0), "
                   "COALESCE((SELECT MAX(object_id) FROM sandbox_keys), 0)), 0) + 32")
                .value_or(kFirstObjectId));
        const std::string date = now();
        db_.prepare("INSERT INTO sandbox_tables VALUES (?, ?, ?, ?, ?, ?)")
            .bind(1, id)
            .bind(2, table.schemaId)
            .bind(3, table.name)
            .bind(4, date)
            .bind(5, date)
            .bind(6, nameKey(table.name))
            .step();
        bool keyed = false;
        for (const ColumnInfo& col : table.columns) keyed = keyed || col.primaryKey;
        if (keyed) {
            const int keyId = id + 16;
            const std::string name =
                keyName.empty() ? "PK__" + firstChars(table.name, 8) + "__" + keySuffix(id, keyId)
                                : keyName;
            db_.prepare("INSERT INTO sandbox_keys VALUES (?, ?, ?, ?, ?, ?)")
                .bind(1, keyId)
                .bind(2, id)
                .bind(3, table.schemaId)
                .bind(4, name)
                .bind(5, nameKey(name))
                .bind(6, date)
                .step();
        }
        for (std::size_t i = 0; i < table.columns.size(); ++i) {
            const ColumnInfo& col = table.columns[i];
            const ResolvedType& ty = col.type;
            db_.prepare("INSERT INTO sandbox_columns VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?)")
                .bind(1, id)
                .bind(2, static_cast<std::int64_t>(i + 1))
                .bind(3, col.name)
                .bind(4, ty.name)
                .bind(5, ty.systemTypeId)
                .bind(6, ty.userTypeId)
                .bind(7, ty.maxLength)
                .bind(8, ty.precision)
                .bind(9, ty.scale)
                .bind(10, col.nullable ? 1 : 0)
                .bind(11, col.identity ? 1 : 0)
                .bind(12, col.primaryKey ? 1 : 0)
                .bind(13, ty.collated ? 1 : 0)
                .bind(14, ty.identityCapable ? 1 : 0)
                .step();
        }
        db_.exec("RELEASE create_table");
        return id;
    } catch (...) {
        try {
            db_.exec(own ? "ROLLBACK" : "ROLLBACK TO create_table; RELEASE create_table");
        } catch (...) {
        }
        throw;
    }
}

// Files written by earlier versions also hold an empty SQLite table t<object_id> per table.
void DatabaseFile::dropTable(int objectId) {
    const std::string id = std::to_string(objectId);
    db_.exec("BEGIN; DELETE FROM sandbox_columns WHERE object_id = " + id +
             "; DELETE FROM sandbox_keys WHERE parent_object_id = " + id +
             "; DELETE FROM sandbox_tables WHERE object_id = " + id + "; DROP TABLE IF EXISTS t" +
             id + "; COMMIT");
}

}  // namespace sandbox::sql
