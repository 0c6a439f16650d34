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

// The description of a connection the server or the network ended while a run was using it;
// the driver's own text, when it gives one, follows it.
inline constexpr const char* kConnectionLostText =
    "与数据库服务器的连接已断开（服务器可能已停止或网络中断）。";

// The error for a connection that is lost: what() is kConnectionLostText, followed by
// "驱动程序报告：" and the driver's text when it has one; SQLSTATE 08S01; all records kept.
DbError MakeConnectionLostError(std::vector<ServerMessage> messages);

// Whether one of messages reports a broken link (SQLSTATE 08S01).
bool ReportsLinkFailure(const std::vector<ServerMessage>& messages);

// Whether one of messages reports that the driver stopped waiting (SQLSTATE HYT00).
bool ReportsTimeout(const std::vector<ServerMessage>& messages);

// The error for a failed connect to address ("127.0.0.1:1433"), SQLSTATE kept: a login the
// server refused keeps the server's own text ("Login failed for user 'sa'."); a time-out reads
// "无法连接到 <address> 上的数据库服务器：等待 <seconds> 秒仍没有应答（连接超时）。"; any other
// failure of the driver's reads "无法连接到 <address> 上的数据库服务器：驱动程序报告“<text>”。".
DbError MakeConnectError(std::vector<ServerMessage> messages, const std::string& address,
                         int timeoutSeconds);

// The error for a command the server did not finish within limitSeconds: "数据库服务器
// <address> 在 <limit> 秒内没有应答（命令超时），共等待 <waited> 秒。"; SQLSTATE HYT00.
DbError MakeCommandTimeoutError(std::vector<ServerMessage> messages, const std::string& address,
                                int limitSeconds, double waitedSeconds);

// The error to throw for messages: what() is the text of the first record that is an error
// (not a 01xxx warning), preferring one the server numbered; all records are kept. fallback
// is the description when there are no records at all.
DbError MakeDbError(std::vector<ServerMessage> messages, const std::string& fallback);

}  // namespace dsadmin
