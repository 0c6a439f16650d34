#include "db/odbc/OdbcSession.h"

#include <odbcinst.h>
#include <sqlext.h>

#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "db/odbc/EncryptionFailure.h"
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

OdbcClientOptions& clientOptions() {
    static OdbcClientOptions options;
    return options;
}

constexpr const char* kConfSection = "dsadmin";

// A freetds.conf of this connection's own in a private temporary folder, named by
// FREETDSCONF while it lives; the variable's earlier value comes back afterwards.
class PrivateFreetdsConf {
  public:
    PrivateFreetdsConf(const ServerAddress& address, const OdbcClientOptions& client,
                       bool checkHostName = true) {
        std::string folder =
            (std::filesystem::temp_directory_path() / "dsadmin-tls-XXXXXX").string();
        if (!::mkdtemp(folder.data()))
            throw DbError(std::string("Cannot create a temporary folder: ") + std::strerror(errno));
        folder_ = folder;
        path_ = folder + "/freetds.conf";
        std::ofstream(path_) << FreetdsConfText(kConfSection, address, client, checkHostName);
        if (const char* before = std::getenv("FREETDSCONF")) before_ = before;
        ::setenv("FREETDSCONF", path_.c_str(), 1);
    }
    ~PrivateFreetdsConf() {
        if (before_)
            ::setenv("FREETDSCONF", before_->c_str(), 1);
        else
            ::unsetenv("FREETDSCONF");
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }

  private:
    std::string folder_, path_;
    std::optional<std::string> before_;
};

// Whether the connection opens once the host-name check is left out: a trusted certificate
// made out to another name. The connection is closed at once.
bool opensWithoutHostCheck(const OleDbString& properties, const ServerAddress& address,
                           const OdbcClientOptions& client) {
    PrivateFreetdsConf conf(address, client, false);
    OdbcHandle env = allocate(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
    SQLSetEnvAttr(env.get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    OdbcHandle dbc = allocate(SQL_HANDLE_DBC, env.get());
    if (connect(dbc, ToOdbcConnectionString(properties, "FreeTDS", client, kConfSection)))
        return false;
    SQLDisconnect(dbc.get());
    dbc.setConnected(false);
    return true;
}

// The description of a failed connect: the cause when encryption is it, else the driver's.
DbError connectFailure(const OleDbString& properties, const ServerAddress& address,
                       const OdbcClientOptions& client, std::vector<ServerMessage> messages) {
    std::string text;
    switch (DiagnoseEncryptionFailure(address, client, messages)) {
        case EncryptionFailure::ServerRequiresEncryption:
            text = kServerRequiresEncryptionText;
            break;
        case EncryptionFailure::ServerCannotEncrypt:
            text = kServerCannotEncryptText;
            break;
        case EncryptionFailure::StrictUnsupported:
            text = kStrictUnsupportedText;
            break;
        case EncryptionFailure::CertificateRejected:
            text = opensWithoutHostCheck(properties, address, client)
                       ? CertificateNameMismatchText(address.host)
                       : CertificateUntrustedText(client.freetdsCaFile());
            break;
        case EncryptionFailure::None:
            return MakeDbError(std::move(messages), "The server connection could not be opened.");
    }
    return DbError(text, "08001", 0, std::move(messages));
}

}  // namespace

void OdbcSession::SetClientOptions(OdbcClientOptions options) {
    clientOptions() = std::move(options);
}

const OdbcClientOptions& OdbcSession::ClientOptions() {
    return clientOptions();
}

// The program's options completed with the site's from odbcinst.ini (ApplySiteEncryption).
OdbcClientOptions withSiteSettings(OdbcClientOptions client) {
    char encryption[64] = {}, caFile[4096] = {};
    SQLGetPrivateProfileString("FreeTDS", "Encryption", "", encryption, sizeof encryption,
                               "odbcinst.ini");
    SQLGetPrivateProfileString("FreeTDS", "CAFile", "", caFile, sizeof caFile, "odbcinst.ini");
    ApplySiteEncryption(client.encryption, client.caFile, encryption,
                        client.trustServerCertificate ? "" : caFile);
    return client;
}

std::unique_ptr<OdbcSession> OdbcSession::Open(const OleDbString& properties) {
    const OdbcClientOptions client = withSiteSettings(clientOptions());
    const ServerAddress address = ParseDataSource(
        properties.get({"Data Source", "Server", "Address", "Addr", "Network Address"})
            .value_or(""));
    std::optional<PrivateFreetdsConf> conf;
    if (client.checksCertificate()) conf.emplace(address, client);
    const std::string section = conf ? kConfSection : "";
    std::unique_ptr<OdbcSession> s(new OdbcSession);
    s->env_ = allocate(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
    SQLSetEnvAttr(s->env_.get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3),
                  0);
    s->dbc_ = allocate(SQL_HANDLE_DBC, s->env_.get());
    auto failure = connect(s->dbc_, ToOdbcConnectionString(properties, "FreeTDS", client, section));
    for (const char* lib : kDriverLibraries) {
        if (!failure || !driverMissing(*failure)) break;
        if (std::filesystem::exists(lib))
            failure = connect(s->dbc_, ToOdbcConnectionString(properties, lib, client, section));
    }
    conf.reset();
    if (failure) throw connectFailure(properties, address, client, std::move(*failure));
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
