#include "sandbox/sql/TypeIndexViews.h"

#include <map>

#include "sandbox/sql/Names.h"
#include "sandbox/sql/TypeCatalog.h"

namespace sandbox::sql {

namespace {

Column col(const char* name, SandboxColumnType type, bool nullable = false) {
    return Column{name, type, 128, nullable};
}
Column text(const char* name, std::uint16_t chars, bool nullable) {
    return Column{name, SandboxColumnType::NVarChar, chars, nullable};
}
Cell num(std::int64_t v) {
    return v;
}

bool hasKey(const TableInfo& t) {
    for (const ColumnInfo& c : t.columns)
        if (c.primaryKey) return true;
    return false;
}

bool widthType(const std::string& name) {
    return name == "char" || name == "varchar" || name == "nchar" || name == "nvarchar" ||
           name == "binary" || name == "varbinary";
}

ResultSet sysTypes() {
    ResultSet r{
        {text("name", 128, false), col("system_type_id", SandboxColumnType::TinyInt),
         col("user_type_id", SandboxColumnType::Int), col("schema_id", SandboxColumnType::Int),
         col("principal_id", SandboxColumnType::Int, true),
         col("max_length", SandboxColumnType::SmallInt),
         col("precision", SandboxColumnType::TinyInt), col("scale", SandboxColumnType::TinyInt),
         text("collation_name", 128, true), col("is_nullable", SandboxColumnType::Bit, true),
         col("is_user_defined", SandboxColumnType::Bit),
         col("is_assembly_type", SandboxColumnType::Bit),
         col("default_object_id", SandboxColumnType::Int),
         col("rule_object_id", SandboxColumnType::Int),
         col("is_table_type", SandboxColumnType::Bit)},
        {}};
    for (const ResolvedType& t : TypeCatalog::builtIn()) {
        const Cell collation =
            t.collated ? Cell{std::string("SQL_Latin1_General_CP1_CI_AS")} : Cell{std::monostate{}};
        r.rows.push_back({t.name, num(t.systemTypeId), num(t.userTypeId), num(4), Cell{},
                          num(widthType(t.name) ? 8000 : t.maxLength), num(t.precision),
                          num(t.scale), collation, num(1), num(0), num(0), num(0), num(0), num(0)});
    }
    return r;
}

ResultSet sysIndexes(DatabaseFile& file) {
    std::map<int, std::string> keyNames;  // table object_id -> its key's name
    for (const KeyInfo& k : file.keys()) keyNames[k.parentObjectId] = k.name;
    ResultSet r{
        {col("object_id", SandboxColumnType::Int), text("name", 128, true),
         col("index_id", SandboxColumnType::Int), col("type", SandboxColumnType::TinyInt),
         text("type_desc", 60, true), col("is_unique", SandboxColumnType::Bit, true),
         col("data_space_id", SandboxColumnType::Int, true),
         col("ignore_dup_key", SandboxColumnType::Bit, true),
         col("is_primary_key", SandboxColumnType::Bit, true),
         col("is_unique_constraint", SandboxColumnType::Bit, true),
         col("fill_factor", SandboxColumnType::TinyInt),
         col("is_padded", SandboxColumnType::Bit, true),
         col("is_disabled", SandboxColumnType::Bit, true),
         col("is_hypothetical", SandboxColumnType::Bit, true),
         col("allow_row_locks", SandboxColumnType::Bit, true),
         col("allow_page_locks", SandboxColumnType::Bit, true),
         col("has_filter", SandboxColumnType::Bit, true), text("filter_definition", 0, true)},
        {}};
    for (const TableInfo& t : file.tables()) {
        const bool key = hasKey(t);
        r.rows.push_back({num(t.objectId), key ? Cell{keyNames[t.objectId]} : Cell{},
                          num(key ? 1 : 0), num(key ? 1 : 0),
                          std::string(key ? "CLUSTERED" : "HEAP"), num(key ? 1 : 0), num(1), num(0),
                          num(key ? 1 : 0), num(0), num(0), num(0), num(0), num(0), num(1), num(1),
                          num(0), Cell{}});
    }
    return r;
}

ResultSet sysIndexColumns(DatabaseFile& file) {
    ResultSet r{
        {col("object_id", SandboxColumnType::Int), col("index_id", SandboxColumnType::Int),
         col("index_column_id", SandboxColumnType::Int), col("column_id", SandboxColumnType::Int),
         col("key_ordinal", SandboxColumnType::TinyInt),
         col("partition_ordinal", SandboxColumnType::TinyInt),
         col("is_descending_key", SandboxColumnType::Bit, true),
         col("is_included_column", SandboxColumnType::Bit, true)},
        {}};
    for (const TableInfo& t : file.tables()) {
        std::int64_t columnId = 0, ordinal = 0;
        for (const ColumnInfo& c : t.columns) {
            ++columnId;
            if (!c.primaryKey) continue;
            ++ordinal;
            r.rows.push_back({num(t.objectId), num(1), num(ordinal), num(columnId), num(ordinal),
                              num(0), num(0), num(0)});
        }
    }
    return r;
}

}  // namespace

bool TypeIndexViews::has(const std::string& schema, const std::string& view) {
    return equalsName(schema, "sys") && (equalsName(view, "types") || equalsName(view, "indexes") ||
                                         equalsName(view, "index_columns"));
}

ResultSet TypeIndexViews::build(const std::string& view, DatabaseFile& file) {
    if (equalsName(view, "types")) return sysTypes();
    if (equalsName(view, "indexes")) return sysIndexes(file);
    return sysIndexColumns(file);
}

}  // namespace sandbox::sql
