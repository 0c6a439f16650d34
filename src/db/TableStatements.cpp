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
    // The name is data here: a quote in it must not end the literal, or the structure file
    // refuses the query and the name never reaches the server's judgement of its CREATE TABLE.
    return "select * from ds where ftable='" + DoubleQuotes(tableName.text()) + "'";
}

std::vector<ColumnDefinition> ReadColumnDefinitions(Recordset& rows) {
    std::vector<ColumnDefinition> columns;
    rows.MoveFirst();
    while (!rows.Eof()) {
        ColumnDefinition c;
        c.name = rows.Fields("fname").text();
        const Value& type = rows.Fields("flb");
        c.type = type.text();
        if (type.text() == "VarChar" && !type.isNull())
            c.type += "(" + rows.Fields("flong").text() + ")";
        c.identity = rows.Fields("fauto").equalsNumber(1);
        c.primaryKey = rows.Fields("findex").equalsNumber(1);
        columns.push_back(std::move(c));
        rows.MoveNext();
    }
    return columns;
}

std::string ColumnDefinitionText(const ColumnDefinition& column) {
    std::string text = column.name + " " + column.type;
    if (column.identity) text += " IDENTITY(1,1)";
    if (column.primaryKey) text += " PRIMARY KEY";
    return text;
}

std::string GetCreateTableStr(const Value& tableName, Recordset& rows) {
    std::string sql = "CREATE TABLE ";
    tableName.appendTo(sql);
    sql += " (";
    const char* separator = "";
    for (const ColumnDefinition& column : ReadColumnDefinitions(rows)) {
        sql += separator + ColumnDefinitionText(column);
        separator = ",";
    }
    sql += ")";
    return sql;
}

}  // namespace dsadmin
