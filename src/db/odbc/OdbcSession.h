#pragma once
// The "SQLOLEDB" provider: a SQL Server session over unixODBC and the FreeTDS driver.
// Results are read forward to their end and kept on the client; no time-out is set.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/DbError.h"
#include "db/OleDbString.h"
#include "db/ProviderSession.h"
#include "db/odbc/OdbcConnectionString.h"
#include "db/odbc/OdbcHandle.h"

namespace dsadmin {

class OdbcSession : public ProviderSession {
  public:
    // Connects with the OLE DB pairs properties (see ToOdbcConnectionString). Uses the
    // driver registered as "FreeTDS", or the driver library itself when unixODBC has no such
    // registration. Throws DbError with the server's or the driver's description
    // ("Login failed for user 'sa'.").
    // The program's name and the encryption options (SetClientOptions) go with every
    // connection; a certificate check goes through a private freetds.conf (FREETDSCONF) for
    // the moment of the connect. A failure that encryption caused gets a description that
    // says so (EncryptionFailure.h).
    static std::unique_ptr<OdbcSession> Open(const OleDbString& properties);

    // The options every later Open uses (process-wide; set once at start, before any run).
    static void SetClientOptions(OdbcClientOptions options);
    static const OdbcClientOptions& ClientOptions();

    // Runs text as one batch and drains every result (SQLMoreResults until SQL_NO_DATA), so
    // an error in a later result is reported. Throws DbError with the first error's text
    // and every message of the batch; when the connection was lost, with kConnectionLostText
    // first (the operator reads "Unknown error" otherwise, all FreeTDS says).
    std::optional<RowSet> run(const std::string& text) override;
    // Sets the current catalog; a failure carries the server's 911 text.
    void setDefaultDatabase(const std::string& name) override;
    std::string defaultDatabase() override;
    void close() override;

  private:
    OdbcSession() = default;
    // The error for a failed call on the open connection: MakeConnectionLostError when the
    // driver reports the connection dead (the server went away), else MakeDbError.
    DbError failure(std::vector<ServerMessage> messages, const std::string& fallback);

    OdbcHandle env_;
    OdbcHandle dbc_;
};

}  // namespace dsadmin
