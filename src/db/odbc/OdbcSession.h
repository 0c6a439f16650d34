#pragma once
// The "SQLOLEDB" provider: a SQL Server session over unixODBC and the FreeTDS driver.
// Results are read forward to their end and kept on the client. The login and every command
// are bounded by the session's time-outs (FreeTDS honours SQL_ATTR_LOGIN_TIMEOUT for the
// connect and login, SQL_ATTR_QUERY_TIMEOUT for each statement; see docs/RUNS.md).

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/DbError.h"
#include "db/OleDbString.h"
#include "db/ProviderSession.h"
#include "db/odbc/CallThread.h"
#include "db/odbc/OdbcConnectionString.h"
#include "db/odbc/OdbcHandle.h"

namespace dsadmin {

class OdbcSession : public ProviderSession {
  public:
    // Connects with the OLE DB pairs properties (see ToOdbcConnectionString). Uses the
    // driver registered as "FreeTDS", or the driver library itself when unixODBC has no such
    // registration. Throws DbError with the server's description ("Login failed for user
    // 'sa'.") or, when no server answered, one naming the address tried
    // ("无法连接到 127.0.0.1:1433 上的数据库服务器：…"); a login not answered within
    // options.connectTimeout seconds gives SQLSTATE HYT00.
    // The program's name and the encryption options (SetClientOptions) go with every
    // connection; a certificate check goes through a private freetds.conf (FREETDSCONF) for
    // the moment of the connect. A failure that encryption caused gets a description that
    // says so (EncryptionFailure.h).
    static std::unique_ptr<OdbcSession> Open(const OleDbString& properties,
                                             const SessionOptions& options = {});

    // The options every later Open uses (process-wide; set once at start, before any run).
    static void SetClientOptions(OdbcClientOptions options);
    static const OdbcClientOptions& ClientOptions();

    // Runs text as one batch and drains every result (SQLMoreResults until SQL_NO_DATA), so
    // an error in a later result is reported. Throws DbError with the first error's text
    // and every message of the batch; when the connection was lost, with kConnectionLostText
    // first (the operator reads "Unknown error" otherwise, all FreeTDS says). A batch the
    // server does not finish within the command time-out throws DbError with SQLSTATE HYT00
    // naming the address and the seconds waited.
    std::optional<RowSet> run(const std::string& text) override;
    // Sets the current catalog with "USE [name]", the batch FreeTDS itself would send, but as
    // a statement, so that the command time-out bounds it (FreeTDS 1.3 waits for ever on
    // SQL_ATTR_CURRENT_CATALOG). A failure carries the server's 911 text.
    void setDefaultDatabase(const std::string& name) override;
    std::string defaultDatabase() override;
    void setCommandTimeout(int seconds) override { commandTimeout_ = seconds; }
    void close() override;

  private:
    OdbcSession() = default;
    // What call returns: on the calling thread, or on calls_ while whileWaiting_ is called.
    template <class Call>
    auto waitFor(Call call) -> decltype(call()) {
        return whileWaiting_ ? calls_.run(std::move(call), whileWaiting_) : call();
    }
    // run() on the calling thread.
    std::optional<RowSet> runHere(const std::string& text);
    // The error for a failed call on the open connection: the time-out's when a record says
    // HYT00, MakeConnectionLostError when the driver reports the connection dead (the server
    // went away), else MakeDbError. waited: seconds since the call started.
    DbError failure(std::vector<ServerMessage> messages, const std::string& fallback,
                    double waited);

    OdbcHandle env_;
    OdbcHandle dbc_;
    std::string address_;  // the server as the operator's messages name it: "127.0.0.1:1433"
    int commandTimeout_ = SessionOptions{}.commandTimeout;
    std::function<void()> whileWaiting_;
    CallThread calls_;  // last: its thread ends before the handles go
};

}  // namespace dsadmin
