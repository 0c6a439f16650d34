#include "db/odbc/OdbcSession.h"

#include <odbcinst.h>
#include <sqlext.h>

#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <exception>
#include <filesystem>
#include <fstream>

#include "base/SystemErrorText.h"
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
        throw DbError("ODBC 驱动程序管理器无法分配句柄（内存不足或 unixODBC 安装不全）。");
    return OdbcHandle(type, h);
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// "[name]" with every ']' doubled: how FreeTDS quotes the name when it changes the database.
std::string bracketed(const std::string& name) {
    std::string out = "[";
    for (char c : name) {
        out += c;
        if (c == ']') out += ']';
    }
    return out + "]";
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
        const std::string text = FreetdsConfText(kConfSection, address, client, checkHostName);
        std::error_code unusable;  // TMPDIR naming no folder: /tmp, as mkstemp's users do
        std::filesystem::path temp = std::filesystem::temp_directory_path(unusable);
        if (unusable) temp = "/tmp";
        std::string folder = (temp / "dsadmin-tls-XXXXXX").string();
        if (!::mkdtemp(folder.data()))
            throw DbError("无法在“" + temp.string() + "”中创建临时文件夹：" +
                          SystemErrorText(errno) + "。");
        folder_ = folder;
        path_ = folder + "/freetds.conf";
        // A full disk would leave the file short and the driver's failure unexplained.
        std::ofstream conf(path_);
        if (!(conf << text).flush()) {
            const int error = errno;
            std::filesystem::remove_all(folder_, unusable);
            throw DbError("无法写入临时文件“" + path_ + "”：" + SystemErrorText(error) + "。");
        }
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
                       const OdbcClientOptions& client, std::vector<ServerMessage> messages,
                       const std::string& addressText, int timeoutSeconds) {
    if (ReportsTimeout(messages))
        return MakeConnectError(std::move(messages), addressText, timeoutSeconds);
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
            return MakeConnectError(std::move(messages), addressText, timeoutSeconds);
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

std::unique_ptr<OdbcSession> OdbcSession::Open(const OleDbString& properties,
                                               const SessionOptions& options) {
    const OdbcClientOptions client = withSiteSettings(clientOptions());
    const ServerAddress address = ParseDataSource(
        properties.get({"Data Source", "Server", "Address", "Addr", "Network Address"})
            .value_or(""));
    std::optional<PrivateFreetdsConf> conf;
    if (client.checksCertificate()) conf.emplace(address, client);
    const std::string section = conf ? kConfSection : "";
    std::unique_ptr<OdbcSession> s(new OdbcSession);
    s->address_ = ServerAddressText(WithFreetdsPort(address));
    s->commandTimeout_ = options.commandTimeout;
    s->whileWaiting_ = options.whileWaiting;
    s->env_ = allocate(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
    SQLSetEnvAttr(s->env_.get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3),
                  0);
    s->dbc_ = allocate(SQL_HANDLE_DBC, s->env_.get());
    // FreeTDS bounds the TCP connect and the whole login by this; 0 leaves both unbounded.
    SQLSetConnectAttrW(s->dbc_.get(), SQL_ATTR_LOGIN_TIMEOUT,
                       reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(options.connectTimeout)),
                       0);
    // What went wrong is asked of the server again (encryption probes, a second connect),
    // which may wait as long as the connect: it runs where the connect ran.
    auto failure = s->waitFor([&]() -> std::optional<DbError> {
        auto failed =
            connect(s->dbc_, ToOdbcConnectionString(properties, "FreeTDS", client, section));
        for (const char* lib : kDriverLibraries) {
            if (!failed || !driverMissing(*failed)) break;
            if (std::filesystem::exists(lib))
                failed = connect(s->dbc_, ToOdbcConnectionString(properties, lib, client, section));
        }
        if (!failed) return std::nullopt;
        if (driverMissing(*failed))
            return DbError(
                std::string("找不到 FreeTDS 的 ODBC 驱动程序（Debian 软件包 tdsodbc）。") +
                    "驱动程序管理器报告“" + MakeDbError(*failed, "").what() + "”。",
                "IM002", 0, std::move(*failed));
        return connectFailure(properties, address, client, std::move(*failed), s->address_,
                              options.connectTimeout);
    });
    conf.reset();
    if (failure) throw *failure;
    return s;
}

std::optional<RowSet> OdbcSession::run(const std::string& text) {
    return waitFor([&] { return runHere(text); });
}

std::optional<RowSet> OdbcSession::runHere(const std::string& text) {
    OdbcHandle stmt = allocate(SQL_HANDLE_STMT, dbc_.get());
    std::vector<ServerMessage> errors;
    auto collect = [&] {
        for (auto& m : ReadDiagnostics(SQL_HANDLE_STMT, stmt.get())) errors.push_back(std::move(m));
    };
    std::optional<RowSet> rows;
    bool failed = false;
    // Without it FreeTDS waits for ever. A server that stays silent gets the time-out twice:
    // once for the answer, once more for its acknowledgement of the cancel FreeTDS then sends.
    SQLSetStmtAttrW(stmt.get(), SQL_ATTR_QUERY_TIMEOUT,
                    reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(commandTimeout_)), 0);
    const auto start = std::chrono::steady_clock::now();
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
    if (failed)
        throw failure(std::move(errors), "语句执行失败，驱动程序没有给出原因。",
                      secondsSince(start));
    return rows;
}

void OdbcSession::setDefaultDatabase(const std::string& name) {
    run("USE " + bracketed(name));
}

std::string OdbcSession::defaultDatabase() {
    SQLWCHAR buf[512] = {};  // a name has at most 128 units
    SQLINTEGER len = 0;
    if (!SQL_SUCCEEDED(SQLGetConnectAttrW(dbc_.get(), SQL_ATTR_CURRENT_CATALOG, buf,
                                          sizeof buf - sizeof(SQLWCHAR), &len)))
        throw MakeDbError(ReadDiagnostics(SQL_HANDLE_DBC, dbc_.get()),
                          "无法读出连接的当前数据库。");
    return FromSqlWide(buf, SqlWideLength(buf, 511));
}

DbError OdbcSession::failure(std::vector<ServerMessage> messages, const std::string& fallback,
                             double waited) {
    if (ReportsTimeout(messages))
        return MakeCommandTimeoutError(std::move(messages), address_, commandTimeout_, waited);
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
            throw MakeDbError(std::move(messages), "无法关闭与数据库服务器的连接。");
        }
    }
    dbc_.reset();
    env_.reset();
}

}  // namespace dsadmin
