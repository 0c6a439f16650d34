#pragma once
// Turns an ODBC call's diagnostic records into the data-access error.

#include <sql.h>

#include <vector>

#include "db/DbError.h"

namespace dsadmin {

// Every diagnostic record of handle (SQLGetDiagRec until SQL_NO_DATA), texts without
// driver prefixes such as "[unixODBC][FreeTDS][SQL Server]". Severity stays 0: ODBC does
// not report it.
std::vector<ServerMessage> ReadDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle);

// Removes the leading bracketed tags the driver manager and driver put before a text.
std::string StripDriverPrefixes(const std::string& text);

// The error to throw for messages: what() is the text of the first record that is an error
// (not a 01xxx warning), preferring one the server numbered; all records are kept. fallback
// is the description when there are no records at all.
DbError MakeDbError(std::vector<ServerMessage> messages, const std::string& fallback);

}  // namespace dsadmin
