#include "db/odbc/OdbcSession.h"

#include <sqlext.h>

#include <array>
#include <filesystem>

#include "db/odbc/OdbcConnectionString.h"
#include "db/odbc/OdbcDiagnostics.h"
#include "db/odbc/OdbcResult.h"
#include "db/odbc/OdbcText.h"

namespace dsadmin {
namespace {

// Where Debian's tdsodbc puts the driver, for a machine whose odbcinst.ini lacks it.
constexpr std::array<const char*, 3> kDriverLibraries = {
    "/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so", "/usr/lib/aarch64-linux-gnu/odbc/libtdsodbc.so",
    "/usr/lib/odbc/libtdsodbc.so"};

OdbcHandle allocate(SQLSMALLINT type, SQLHANDLE parent) {
    SQLHANDLE h = SQL_NULL_HANDLE;
    if (!SQL_SUCCEEDED(SQLAllocHandle(type, parent, &h)))
        throw DbError("The ODBC driver manager could not allocate a handle.");
    return OdbcHandle(type, h);
}

// Connects dbc with the ODBC string; returns the diagnostics on failure, empty on success.
std::optional<std::vector<ServerMessage>> connect(OdbcHandle& dbc, const std::string& odbc) {
    SQLSMALLINT outLen = 0;
    SqlWideString wide = ToSqlWide(odbc);
    SQLRETURN rc = SQLDriverConnectW(dbc.get(), nullptr, wide.data(), SQL_NTS, nullptr, 0, &outLen,
                                     SQL_DRIVER_NOPROMPT);
    if (SQL_SUCCEEDED(rc)) {
        dbc.setConnected(true);
        return std::nullopt;
    }
    return ReadDiagnostics(SQL_HANDLE_DBC, dbc.get());
}

bool driverMissing(const std::vector<ServerMessage>& messages) {
    return !messages.empty() && messages.front().sqlState == "IM002";
}

}  // namespace

std::unique_ptr<OdbcSession> OdbcSession::Open(const OleDbString& properties) {
    std::unique_ptr<OdbcSession> s(new OdbcSession);
    s->env_ = allocate(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
    SQLSetEnvAttr(s->env_.get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3),
                  0);
    s->dbc_ = allocate(SQL_HANDLE_DBC, s->env_.get());
    auto failure = connect(s->dbc_, ToOdbcConnectionString(properties, "FreeTDS"));
    for (const char* lib : kDriverLibraries) {
        if (!failure || !driverMissing(*failure)) break;
        if (std::filesystem::exists(lib))
            failure = connect(s->dbc_, ToOdbcConnectionString(properties, lib));
    }
    if (failure)
        throw MakeDbError(std::move(*failure), "The server connection could not be opened.");
    return s;
}

std::optional<RowSet> OdbcSession::run(const std::string& text) {
    OdbcHandle stmt = allocate(SQL_HANDLE_STMT, dbc_.get());
    std::vector<ServerMessage> errors;
    auto collect = [&] {
        for (auto& m : ReadDiagnostics(SQL_HANDLE_STMT, stmt.get())) errors.push_back(std::move(m));
    };
    std::optional<RowSet> rows;
    bool failed = false;
    SqlWideString wide = ToSqlWide(text);
    SQLRETURN rc = SQLExecDirectW(stmt.get(), wide.data(), static_cast<SQLINTEGER>(wide.size()));
    // Each pass handles one result; SQLMoreResults moves on and reports a later error.
    for (int pass = 0; pass < 100000; ++pass) {
        if ((rc == SQL_NO_DATA && pass > 0) || rc == SQL_INVALID_HANDLE) break;
        if (rc == SQL_ERROR || rc == SQL_SUCCESS_WITH_INFO) collect();
        if (rc == SQL_ERROR) {
            failed = true;
            if (!errors.empty() && errors.back().sqlState == "HY010") break;  // nothing pending
        }
        SQLSMALLINT columns = 0;
        if (SQL_SUCCEEDED(rc) && !rows && SQL_SUCCEEDED(SQLNumResultCols(stmt.get(), &columns)) &&
            columns > 0) {
            RowSet r;
            if (FetchRows(stmt.get(), r)) {
                rows = std::move(r);
            } else {
                failed = true;
                collect();
            }
        }
        rc = SQLMoreResults(stmt.get());
    }
    if (failed) throw failure(std::move(errors), "The statement failed.");
    return rows;
}

void OdbcSession::setDefaultDatabase(const std::string& name) {
    SqlWideString wide = ToSqlWide(name);
    SQLRETURN rc = SQLSetConnectAttrW(dbc_.get(), SQL_ATTR_CURRENT_CATALOG, wide.data(),
                                      static_cast<SQLINTEGER>(wide.size() * sizeof(SQLWCHAR)));
    if (!SQL_SUCCEEDED(rc))
        throw failure(ReadDiagnostics(SQL_HANDLE_DBC, dbc_.get()),
                      "The database could not be changed.");
}

std::string OdbcSession::defaultDatabase() {
    SQLWCHAR buf[512] = {};  // a name has at most 128 units
    SQLINTEGER len = 0;
    if (!SQL_SUCCEEDED(SQLGetConnectAttrW(dbc_.get(), SQL_ATTR_CURRENT_CATALOG, buf,
                                          sizeof buf - sizeof(SQLWCHAR), &len)))
        throw MakeDbError(ReadDiagnostics(SQL_HANDLE_DBC, dbc_.get()),
                          "The current database could not be read.");
    return FromSqlWide(buf, SqlWideLength(buf, 511));
}

DbError OdbcSession::failure(std::vector<ServerMessage> messages, const std::string& fallback) {
    SQLUINTEGER dead = SQL_CD_FALSE;
    const bool lost = (SQL_SUCCEEDED(SQLGetConnectAttrW(dbc_.get(), SQL_ATTR_CONNECTION_DEAD, &dead,
                                                        0, nullptr)) &&
                       dead == SQL_CD_TRUE) ||
                      ReportsLinkFailure(messages);
    return lost ? MakeConnectionLostError(std::move(messages))
                : MakeDbError(std::move(messages), fallback);
}

void OdbcSession::close() {
    if (dbc_.connected()) {
        SQLRETURN rc = SQLDisconnect(dbc_.get());
        dbc_.setConnected(false);
        if (!SQL_SUCCEEDED(rc)) {
            auto messages = ReadDiagnostics(SQL_HANDLE_DBC, dbc_.get());
            dbc_.reset();
            env_.reset();
            throw MakeDbError(std::move(messages), "The server connection could not be closed.");
        }
    }
    dbc_.reset();
    env_.reset();
}

}  // namespace dsadmin
