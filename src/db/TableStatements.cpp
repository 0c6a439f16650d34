#include "db/TableStatements.h"

namespace dsadmin {

std::string DoubleQuotes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out;
}

std::string CreateDatabaseStatement(const std::string& name, const std::string& dataFile) {
    return "CREATE DATABASE " + name + " on (name=" + name + "_dat,FILENAME ='" +
           DoubleQuotes(dataFile) + "' ,maxsize=unlimited)";
}

std::string DropDatabaseStatement(const std::string& name) {
    return "Drop Database " + name;
}

std::string TableExistsQuery(const Value& table) {
    return "select * from sys.tables where name = N'" + DoubleQuotes(table.text()) + "'";
}

std::string TableRowsQuery(const Value& tableName) {
    std::string sql = "select * from ds where ftable='";
    tableName.appendTo(sql);
    sql += "'";
    return sql;
}

std::string GetCreateTableStr(const Value& tableName, Recordset& rows) {
    std::string sql = "CREATE TABLE ";
    tableName.appendTo(sql);
    sql += " (";
    rows.MoveFirst();
    while (!rows.Eof()) {
        rows.Fields("fname").appendTo(sql);
        sql += " ";
        const Value& type = rows.Fields("flb");
        type.appendTo(sql);
        if (type.text() == "VarChar" && !type.isNull()) {
            sql += "(";
            rows.Fields("flong").appendTo(sql);
            sql += ")";
        }
        if (rows.Fields("fauto").equalsNumber(1)) sql += " IDENTITY(1,1)";
        if (rows.Fields("findex").equalsNumber(1)) sql += " PRIMARY KEY";
        sql += ",";
        rows.MoveNext();
    }
    if (sql.back() == ',') sql.pop_back();
    sql += ")";
    return sql;
}

}  // namespace dsadmin
