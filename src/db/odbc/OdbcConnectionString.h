#pragma once
// Turns the pairs of an OLE DB connection string for "SQLOLEDB" into a connection string
// for the FreeTDS ODBC driver. Text is UTF-8.

#include <string>

#include "db/OleDbString.h"

namespace dsadmin {

// Where a SQL Server data source points.
struct ServerAddress {
    std::string host;      // "(local)", "." and "localhost" become 127.0.0.1
    int port = 0;          // 0 when none is given (then 1433, or the instance's port)
    std::string instance;  // empty for the default instance
};

// Reads a data source as SQL Server clients do: an optional "tcp:" prefix, then
// "host,port" or "host\instance" (a port given after a comma wins over an instance);
// "(local)", "." and "localhost" mean 127.0.0.1 port 1433. Throws DbError for a port that
// is no number from 1 to 65535.
ServerAddress ParseDataSource(const std::string& dataSource);

// The address as the operator's messages name it: "127.0.0.1:1433", "db1\\SALES" for an
// instance found through the browser, "db1" when neither is given.
std::string ServerAddressText(const ServerAddress& address);

// Quotes value for an ODBC connection string: in braces. unixODBC 2.3 with FreeTDS 1.3 reads
// a braced value up to the first '}' that is followed by ';' or the end, and does not undo a
// doubled '}', so value goes in unchanged. Throws DbError naming what the value is (keyword, never
// the value) when value holds "};", which that grammar cannot carry.
std::string OdbcQuote(const std::string& value, const char* keyword = "值");

// The ODBC string for properties (keywords any case: "Data Source"/"Server"/"Address",
// "User ID"/"UID", "Password"/"PWD", "Initial Catalog"/"Database"), for the driver
// driverName: Driver, Server, Port, UID, PWD, Database, TDS_Version=7.4, ClientCharset=UTF-8.
// Sets no time-out (the session sets them as attributes). Throws DbError for a value
// OdbcQuote refuses.
std::string ToOdbcConnectionString(const OleDbString& properties, const std::string& driverName);

}  // namespace dsadmin
