#include "sandbox/sql/CatalogViews.h"

#include <cstdio>

#include "base/CivilDate.h"
#include "sandbox/sql/Names.h"
#include "sandbox/sql/TypeIndexViews.h"

namespace sandbox::sql {

namespace {

const char* const kCollation = "SQL_Latin1_General_CP1_CI_AS";

Column col(const char* name, SandboxColumnType type, bool nullable = false,
           std::uint16_t chars = 128) {
    return Column{name, type, chars, nullable};
}
Column text(const char* name, std::uint16_t chars = 128, bool nullable = false) {
    return col(name, SandboxColumnType::NVarChar, nullable, chars);
}
Cell num(std::int64_t v) {
    return v;
}
Cell str(const std::string& s) {
    return s;
}
Cell null() {
    return std::monostate{};
}

// The first twelve columns, shared by sys.objects and sys.tables.
std::vector<Column> objectColumns() {
    return {text("name"),
            col("object_id", SandboxColumnType::Int),
            col("principal_id", SandboxColumnType::Int, true),
            col("schema_id", SandboxColumnType::Int),
            col("parent_object_id", SandboxColumnType::Int),
            text("type", 2),
            text("type_desc", 60, true),
            col("create_date", SandboxColumnType::DateTime),
            col("modify_date", SandboxColumnType::DateTime),
            col("is_ms_shipped", SandboxColumnType::Bit),
            col("is_published", SandboxColumnType::Bit),
            col("is_schema_published", SandboxColumnType::Bit)};
}

// The objectColumns cells of one object (not shipped, not published).
struct ObjectRow {
    const std::string& name;
    int objectId;
    int schemaId;
    int parentObjectId;
    const char* type;
    const char* typeDesc;
    const std::string& created;
    const std::string& modified;
};
std::vector<Cell> objectRowCells(const ObjectRow& o) {
    return {str(o.name),
            num(o.objectId),
            null(),
            num(o.schemaId),
            num(o.parentObjectId),
            str(o.type),
            str(o.typeDesc),
            CatalogViews::toDateTime(o.created),
            CatalogViews::toDateTime(o.modified),
            num(0),
            num(0),
            num(0)};
}

std::vector<Cell> objectCells(const TableInfo& t) {
    return objectRowCells(
        {t.name, t.objectId, t.schemaId, 0, "U ", "USER_TABLE", t.created, t.modified});
}

std::vector<TableInfo> userTables(DatabaseFile& file, const std::optional<std::string>& onlyName) {
    return onlyName ? file.tablesNamed(*onlyName) : file.tables(false);
}

std::vector<Cell> keyCells(const KeyInfo& k) {
    return objectRowCells({k.name, k.objectId, k.schemaId, k.parentObjectId, "PK",
                           "PRIMARY_KEY_CONSTRAINT", k.created, k.created});
}

// Tables (type U) and their primary keys (type PK, parent_object_id the table), by object_id.
ResultSet sysObjects(DatabaseFile& file, const std::optional<std::string>& onlyName) {
    ResultSet r{objectColumns(), {}};
    const std::vector<TableInfo> tables = userTables(file, onlyName);
    const std::vector<KeyInfo> keys = file.keys(onlyName);
    std::size_t k = 0;
    for (const TableInfo& t : tables) {
        for (; k < keys.size() && keys[k].objectId < t.objectId; ++k)
            r.rows.push_back(keyCells(keys[k]));
        r.rows.push_back(objectCells(t));
    }
    for (; k < keys.size(); ++k) r.rows.push_back(keyCells(keys[k]));
    return r;
}

ResultSet sysTables(DatabaseFile& file, const std::optional<std::string>& onlyName) {
    ResultSet r{objectColumns(), {}};
    const char* const bits[] = {
        "lock_on_bulk_load",          "uses_ansi_nulls",    "is_replicated",
        "has_replication_filter",     "is_merge_published", "is_sync_tran_subscribed",
        "has_unchecked_assembly_data"};
    r.columns.push_back(col("lob_data_space_id", SandboxColumnType::Int));
    r.columns.push_back(col("filestream_data_space_id", SandboxColumnType::Int, true));
    r.columns.push_back(col("max_column_id_used", SandboxColumnType::Int));
    for (const char* b : bits) r.columns.push_back(col(b, SandboxColumnType::Bit, true));
    r.columns.push_back(col("text_in_row_limit", SandboxColumnType::Int, true));
    r.columns.push_back(col("large_value_types_out_of_row", SandboxColumnType::Bit, true));
    r.columns.push_back(col("is_tracked_by_cdc", SandboxColumnType::Bit, true));
    r.columns.push_back(col("lock_escalation", SandboxColumnType::TinyInt, true));
    r.columns.push_back(text("lock_escalation_desc", 60, true));
    r.columns.push_back(col("is_filetable", SandboxColumnType::Bit, true));
    r.columns.push_back(col("is_memory_optimized", SandboxColumnType::Bit, true));
    r.columns.push_back(col("durability", SandboxColumnType::TinyInt, true));
    r.columns.push_back(text("durability_desc", 60, true));
    r.columns.push_back(col("temporal_type", SandboxColumnType::TinyInt, true));
    r.columns.push_back(text("temporal_type_desc", 60, true));
    r.columns.push_back(col("history_table_id", SandboxColumnType::Int, true));
    r.columns.push_back(col("is_remote_data_archive_enabled", SandboxColumnType::Bit, true));
    r.columns.push_back(col("is_external", SandboxColumnType::Bit));
    for (const TableInfo& t : userTables(file, onlyName)) {
        std::vector<Cell> row = objectCells(t);
        const auto more = {num(0),
                           null(),
                           num(t.columnCount),
                           num(0),
                           num(1),
                           num(0),
                           num(0),
                           num(0),
                           num(0),
                           num(0),
                           num(0),
                           num(0),
                           num(0),
                           num(0),
                           str("TABLE"),
                           num(0),
                           num(0),
                           num(0),
                           str("SCHEMA_AND_DATA"),
                           num(0),
                           str("NON_TEMPORAL_TABLE"),
                           null(),
                           num(0),
                           num(0)};
        row.insert(row.end(), more.begin(), more.end());
        r.rows.push_back(std::move(row));
    }
    return r;
}

ResultSet sysColumns(DatabaseFile& file) {
    ResultSet r{
        {col("object_id", SandboxColumnType::Int), text("name", 128, true),
         col("column_id", SandboxColumnType::Int),
         col("system_type_id", SandboxColumnType::TinyInt),
         col("user_type_id", SandboxColumnType::Int),
         col("max_length", SandboxColumnType::SmallInt),
         col("precision", SandboxColumnType::TinyInt), col("scale", SandboxColumnType::TinyInt),
         text("collation_name", 128, true), col("is_nullable", SandboxColumnType::Bit, true),
         col("is_ansi_padded", SandboxColumnType::Bit),
         col("is_rowguidcol", SandboxColumnType::Bit), col("is_identity", SandboxColumnType::Bit),
         col("is_computed", SandboxColumnType::Bit)},
        {}};
    for (const TableInfo& t : file.tables()) {
        std::int64_t id = 0;
        for (const ColumnInfo& c : t.columns) {
            const ResolvedType& ty = c.type;
            r.rows.push_back({num(t.objectId), str(c.name), num(++id), num(ty.systemTypeId),
                              num(ty.userTypeId), num(ty.maxLength), num(ty.precision),
                              num(ty.scale), ty.collated ? str(kCollation) : null(),
                              num(c.nullable), num(ty.collated ? 1 : 0), num(0), num(c.identity),
                              num(0)});
        }
    }
    return r;
}

ResultSet sysSchemas(DatabaseFile& file) {
    ResultSet r{{text("name"), col("schema_id", SandboxColumnType::Int),
                 col("principal_id", SandboxColumnType::Int, true)},
                {}};
    for (const SchemaInfo& s : file.schemas())
        r.rows.push_back({str(s.name), num(s.id),
                          num(s.id == 2                ? 2
                              : s.id == 4 || s.id == 3 ? 4
                                                       : 1)});
    return r;
}

ResultSet sysDatabases(const std::vector<DatabaseInfo>& all) {
    ResultSet r{
        {text("name"), col("database_id", SandboxColumnType::Int),
         col("source_database_id", SandboxColumnType::Int, true),
         col("create_date", SandboxColumnType::DateTime),
         col("compatibility_level", SandboxColumnType::TinyInt), text("collation_name", 128, true),
         col("user_access", SandboxColumnType::TinyInt, true), text("user_access_desc", 60, true),
         col("is_read_only", SandboxColumnType::Bit, true),
         col("state", SandboxColumnType::TinyInt, true), text("state_desc", 60, true),
         col("recovery_model", SandboxColumnType::TinyInt, true),
         text("recovery_model_desc", 60, true)},
        {}};
    for (const DatabaseInfo& d : all) {
        const bool simple = d.id <= 2 || d.id == 4;
        r.rows.push_back({str(d.name), num(d.id), null(), CatalogViews::toDateTime(d.created),
                          num(160), str(kCollation), num(0), str("MULTI_USER"), num(0), num(0),
                          str("ONLINE"), num(simple ? 3 : 1), str(simple ? "SIMPLE" : "FULL")});
    }
    return r;
}

ResultSet schemaTables(const DatabaseInfo& db, DatabaseFile& file) {
    ResultSet r{{text("TABLE_CATALOG", 128, true), text("TABLE_SCHEMA", 128, true),
                 text("TABLE_NAME"), text("TABLE_TYPE", 10, true)},
                {}};
    for (const TableInfo& t : file.tables())
        r.rows.push_back({str(db.name), str(t.schemaName), str(t.name), str("BASE TABLE")});
    return r;
}

// INFORMATION_SCHEMA.COLUMNS facts of one column, in the view's column order from
// CHARACTER_MAXIMUM_LENGTH to COLLATION_NAME.
std::vector<Cell> typeFacts(const ResolvedType& t) {
    const bool unicode =
        t.name == "nchar" || t.name == "nvarchar" || t.name == "ntext" || t.name == "sysname";
    const bool character =
        t.collated || t.name == "binary" || t.name == "varbinary" || t.name == "image";
    const bool exact = t.identityCapable || t.name == "money" || t.name == "smallmoney" ||
                       t.name == "decimal" || t.name == "numeric" || t.name == "bit";
    const bool approximate = t.name == "float" || t.name == "real";
    const bool temporal = t.systemTypeId == 61 || t.systemTypeId == 58 ||
                          (t.systemTypeId >= 40 && t.systemTypeId <= 43);
    Cell chars = null(), octets = null();
    if (character) {
        const std::int64_t bytes = t.maxLength == 16 && (t.name == "text" || t.name == "image")
                                       ? 2147483647
                                   : t.name == "ntext" ? 2147483646
                                                       : t.maxLength;
        octets = num(bytes);
        chars = num(bytes < 0 ? -1 : unicode ? bytes / 2 : bytes);
    }
    return {chars,
            octets,
            exact || approximate ? num(t.precision) : null(),
            exact         ? num(10)
            : approximate ? num(2)
                          : null(),
            exact ? num(t.scale) : null(),
            temporal ? num(t.scale) : null(),
            t.collated ? str(unicode ? "UNICODE" : "iso_1") : null(),
            t.collated ? str(kCollation) : null()};
}

ResultSet schemaColumns(const DatabaseInfo& db, DatabaseFile& file) {
    ResultSet r{
        {text("TABLE_CATALOG", 128, true), text("TABLE_SCHEMA", 128, true), text("TABLE_NAME"),
         text("COLUMN_NAME", 128, true), col("ORDINAL_POSITION", SandboxColumnType::Int, true),
         text("COLUMN_DEFAULT", 4000, true), text("IS_NULLABLE", 3, true),
         text("DATA_TYPE", 128, true),
         col("CHARACTER_MAXIMUM_LENGTH", SandboxColumnType::Int, true),
         col("CHARACTER_OCTET_LENGTH", SandboxColumnType::Int, true),
         col("NUMERIC_PRECISION", SandboxColumnType::TinyInt, true),
         col("NUMERIC_PRECISION_RADIX", SandboxColumnType::SmallInt, true),
         col("NUMERIC_SCALE", SandboxColumnType::Int, true),
         col("DATETIME_PRECISION", SandboxColumnType::SmallInt, true),
         text("CHARACTER_SET_NAME", 128, true), text("COLLATION_NAME", 128, true)},
        {}};
    for (const TableInfo& t : file.tables()) {
        std::int64_t position = 0;
        for (const ColumnInfo& c : t.columns) {
            std::vector<Cell> row = {str(db.name),
                                     str(t.schemaName),
                                     str(t.name),
                                     str(c.name),
                                     num(++position),
                                     null(),
                                     str(c.nullable ? "YES" : "NO"),
                                     str(c.type.name)};
            const std::vector<Cell> facts = typeFacts(c.type);
            row.insert(row.end(), facts.begin(), facts.end());
            r.rows.push_back(std::move(row));
        }
    }
    return r;
}

}  // namespace

bool CatalogViews::has(const std::string& schema, const std::string& view) {
    if (TypeIndexViews::has(schema, view)) return true;
    static const char* const sysViews[] = {"tables", "objects", "columns", "schemas", "databases"};
    if (equalsName(schema, "sys")) {
        for (const char* v : sysViews)
            if (equalsName(view, v)) return true;
    }
    return equalsName(schema, "INFORMATION_SCHEMA") &&
           (equalsName(view, "TABLES") || equalsName(view, "COLUMNS"));
}

DateTimeValue CatalogViews::toDateTime(const std::string& text) {
    int y = 1900, mo = 1, d = 1, h = 0, mi = 0, s = 0, ms = 0;
    std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d.%d", &y, &mo, &d, &h, &mi, &s, &ms);
    // Relative to 1900-01-01.
    const auto since1900 = static_cast<int>(
        dsadmin::DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) + 25567);
    const auto ticks =
        static_cast<std::uint32_t>((h * 3600 + mi * 60 + s) * 300 + (ms * 3 + 5) / 10);
    return DateTimeValue{since1900, ticks};
}

ResultSet CatalogViews::build(const std::string& schema, const std::string& view,
                              const DatabaseInfo& database, DatabaseFile& file,
                              const std::vector<DatabaseInfo>& all,
                              const std::optional<std::string>& onlyName) {
    if (TypeIndexViews::has(schema, view)) return TypeIndexViews::build(view, file);
    if (equalsName(schema, "INFORMATION_SCHEMA"))
        return equalsName(view, "TABLES") ? schemaTables(database, file)
                                          : schemaColumns(database, file);
    if (equalsName(view, "tables")) return sysTables(file, onlyName);
    if (equalsName(view, "objects")) return sysObjects(file, onlyName);
    if (equalsName(view, "columns")) return sysColumns(file);
    if (equalsName(view, "schemas")) return sysSchemas(file);
    return sysDatabases(all);
}

}  // namespace sandbox::sql
