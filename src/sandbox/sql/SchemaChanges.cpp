#include "sandbox/sql/SchemaChanges.h"

#include "sandbox/sql/Names.h"
#include "sandbox/sql/ServerMessages.h"
#include "sandbox/sql/SqlError.h"

namespace sandbox::sql {

namespace {
constexpr std::size_t kMaxColumns = 1024;

bool builtInOnly(const std::string& schema) {
    return equalsName(schema, "sys") || equalsName(schema, "INFORMATION_SCHEMA");
}
}  // namespace

DatabaseInfo SchemaChanges::database(const ObjectName& name, bool forDrop) {
    const std::string db = name.database().empty() ? session_.database : name.database();
    const std::optional<DatabaseInfo> info = instance_.findDatabase(db);
    if (!info)
        throw SqlError(forDrop ? msg::cannotDropTable(name.text) : msg::databaseMissing2702(db));
    return *info;
}

void SchemaChanges::createTable(const CreateTable& s, std::unique_lock<std::mutex>& held) {
    const std::string& name = s.table.name();
    if (name[0] == '#') throw SqlError(msg::notSupported("A temporary table"));
    const DatabaseInfo db = database(s.table, false);
    const FileLease file = instance_.open(db);
    // From here on only the file is used: statements on other databases run meanwhile. A
    // system database's file is left under the instance lock (master's is also the catalog's).
    if (!db.system()) held.unlock();
    DatabaseFile::Transaction transaction(*file);
    const std::string schemaName = s.table.schema().empty() ? "dbo" : s.table.schema();
    const std::optional<SchemaInfo> schema = file->findSchema(schemaName);
    if (!schema || builtInOnly(schemaName)) throw SqlError(msg::schemaMissing(schemaName));
    if (file->objectExists(schema->id, name)) throw SqlError(msg::objectExists(name));
    TableInfo table;
    table.schemaId = schema->id;
    table.schemaName = schema->name;
    table.name = name;
    table.columns = columns(s);
    std::string keyName = s.keyName;
    for (const ColumnDef& def : s.columns)
        if (keyName.empty() && def.primaryKey) keyName = def.keyName;
    if (!keyName.empty() && (equalsName(keyName, name) || file->objectExists(schema->id, keyName)))
        throw SqlError(msg::constraintFailed(1), {msg::objectExists(keyName, 5)});
    file->createTable(std::move(table), keyName);
    transaction.commit();
}

std::vector<ColumnInfo> SchemaChanges::columns(const CreateTable& s) {
    const std::string& table = s.table.name();
    std::vector<ColumnInfo> result;
    bool identitySeen = false;
    for (const ColumnDef& def : s.columns) {
        if (result.size() == kMaxColumns) throw SqlError(msg::tooManyColumns(def.name, table));
        ColumnInfo c;
        c.name = def.name;
        c.type = TypeCatalog::resolve(def.type, static_cast<int>(result.size() + 1), def.name);
        for (const ColumnInfo& earlier : result)
            if (equalsName(earlier.name, def.name))
                throw SqlError(msg::duplicateColumn(def.name, table));
        if (def.identity) {
            if (!c.type.identityCapable || def.nullable.value_or(false))
                throw SqlError(msg::badIdentityType(def.name));
            if (identitySeen) throw SqlError(msg::multipleIdentities(table));
            identitySeen = true;
        }
        c.identity = def.identity;
        c.primaryKey = def.primaryKey;
        c.nullable = def.nullable.value_or(!def.identity && !def.primaryKey);
        result.push_back(std::move(c));
    }
    try {
        keys(s, result);
    } catch (const SqlError& e) {  // 8111 and 1911 are followed by 1750, as on SQL Server
        if (e.last().number == 8110) throw;
        throw SqlError(msg::constraintFailed(0), {e.last()});
    }
    return result;
}

void SchemaChanges::keys(const CreateTable& s, std::vector<ColumnInfo>& columns) {
    const std::string& table = s.table.name();
    std::size_t keyCount = s.tableKeys.size();
    for (const ColumnDef& def : s.columns) keyCount += def.primaryKey ? 1 : 0;
    if (keyCount > 1) throw SqlError(msg::multiplePrimaryKeys(table));
    for (const auto& key : s.tableKeys) {
        for (const std::string& name : key) {
            ColumnInfo* found = nullptr;
            for (ColumnInfo& c : columns)
                if (equalsName(c.name, name)) found = &c;
            if (!found) throw SqlError(msg::unknownKeyColumn(name));
            found->primaryKey = true;
        }
    }
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (!columns[i].primaryKey) continue;
        const bool explicitNull = i < s.columns.size() && s.columns[i].nullable.value_or(false);
        if (explicitNull) throw SqlError(msg::nullablePrimaryKey(table));
        columns[i].nullable = false;
    }
}

void SchemaChanges::dropTable(const ObjectName& name, bool ifExists,
                              std::unique_lock<std::mutex>& held) {
    if (!held.owns_lock()) held.lock();  // a name before this one let it go
    const std::optional<DatabaseInfo> db =
        instance_.findDatabase(name.database().empty() ? session_.database : name.database());
    std::optional<TableInfo> table;
    if (db) {
        const FileLease file = instance_.open(*db);
        if (!db->system()) held.unlock();  // as CREATE TABLE does
        const std::optional<SchemaInfo> schema =
            file->findSchema(name.schema().empty() ? "dbo" : name.schema());
        if (schema) table = file->findTable(schema->id, name.name());
        if (table) {
            file->dropTable(table->objectId);
            return;
        }
    }
    if (!ifExists) throw SqlError(msg::cannotDropTable(name.text));
}

void SchemaChanges::createSchema(const CreateSchema& s) {
    const std::optional<DatabaseInfo> db = instance_.findDatabase(session_.database);
    if (!db) throw SqlError(msg::databaseMissing(session_.database));
    const FileLease file = instance_.open(*db);
    if (file->findSchema(s.name)) throw SqlError(msg::schemaExists(s.name));
    file->createSchema(s.name);
}

}  // namespace sandbox::sql
