#pragma once
// An ADO-like connection. Set Provider (or name it in the string) and ConnectionString,
// Open(), then Execute(), DefaultDatabase(name), Close(). Providers: "SQLOLEDB" (SQL Server
// over unixODBC + FreeTDS) and "Microsoft.Jet.OLEDB.4.0" (a Jet structure file).
//
// Every failure throws DbError whose what() is the description an operator reads; it never
// holds the password or the connection string. Releasing an open Connection closes it
// silently. Move-only; used from one thread.

#include <functional>
#include <memory>
#include <string>

#include "db/ProviderSession.h"

namespace dsadmin {

// ADO object states (adStateClosed, adStateOpen).
enum ObjectState : int { kStateClosed = 0, kStateOpen = 1 };
// The value of an argument left unspecified (adCmdUnspecified, adOpenUnspecified, ...).
inline constexpr int kUnspecified = -1;

class Connection {
  public:
    Connection();
    ~Connection();
    Connection(Connection&&) noexcept;
    Connection& operator=(Connection&&) noexcept;

    // The provider the next Open uses unless the connection string names one ("Provider=").
    void Provider(const std::string& name);
    const std::string& Provider() const { return provider_; }

    // The OLE DB connection string the next Open uses.
    void ConnectionString(const std::string& text);
    const std::string& ConnectionString() const { return connectionString_; }

    // Seconds the next Open waits for the server to answer and accept the login (default 15,
    // 0 waits for ever). Throws DbError when the object is open or seconds is negative.
    void ConnectionTimeout(int seconds);
    int ConnectionTimeout() const { return options_.connectTimeout; }

    // Seconds each later command may wait for the server (default 30, 0 waits for ever);
    // may change while the connection is open. Throws DbError when seconds is negative.
    void CommandTimeout(int seconds);
    int CommandTimeout() const { return options_.commandTimeout; }

    // Called on this thread about every 50 ms while Open or a command waits for the server,
    // or for the structure file's reader (see SessionOptions::whileWaiting); empty: none. Set
    // before Open; throws DbError when the object is open.
    void WhileWaiting(std::function<void()> callback);

    // Opens the connection. A non-empty connectionString replaces ConnectionString; non-empty
    // userId / password override the string's. Throws DbError when the object is open
    // already, the provider is unknown, or the provider refuses (the server's or the file's
    // description, e.g. "Login failed for user 'sa'.").
    void Open(const std::string& connectionString = {}, const std::string& userId = {},
              const std::string& password = {}, int options = kUnspecified);

    // Runs commandText to its end; any rows it returns are dropped unread. Throws DbError
    // with the server's description (the first error of any result of the batch).
    void Execute(const std::string& commandText, int options = kUnspecified);

    // Switches the database later commands run in. Throws DbError with the server's text
    // (911 "Database 'x' does not exist. ...") when it is missing or not allowed.
    void DefaultDatabase(const std::string& name);
    std::string DefaultDatabase() const;

    // Closes the connection. Throws DbError when it is not open.
    void Close();

    // Puts what `wrap` makes of the open session in its place (ReadOnlySession::Wrap, for one):
    // every later command goes through it. Throws DbError when the connection is not open.
    using SessionWrapper =
        std::function<std::unique_ptr<ProviderSession>(std::unique_ptr<ProviderSession>)>;
    void WrapSession(const SessionWrapper& wrap);

    // kStateOpen or kStateClosed.
    int State() const { return session_ ? kStateOpen : kStateClosed; }

    // The open session; throws DbError when the connection is not open. For Recordset.
    ProviderSession& session() const;

  private:
    std::string provider_;
    std::string connectionString_;
    SessionOptions options_;
    std::unique_ptr<ProviderSession> session_;
};

}  // namespace dsadmin
