#pragma once
// What a provider does once a Connection has opened it. One implementation per provider
// ("SQLOLEDB" in db/odbc, "Microsoft.Jet.OLEDB.4.0" in db/jet). A session is owned by one
// Connection and used from one thread.

#include <functional>
#include <optional>
#include <string>

#include "db/RowSet.h"

namespace dsadmin {

// How a provider waits for its server. Time-outs in seconds, 0 waiting for ever; the defaults
// are those of ADO's Connection: 15 s to connect and log in, 30 s for each command.
struct SessionOptions {
    int connectTimeout = 15;
    int commandTimeout = 30;
    // When set, called on the caller's thread about every 50 ms while a call waits for the
    // server (the calls then run on a thread of the session's own, one at a time, while the
    // caller waits) or for the structure file's reader (a child process, waited for on the
    // caller's thread in slices), so that a window can keep painting. It must not use the
    // session, and should not throw: what it throws is passed on once the call has ended (the
    // server's), or once the reader has been killed (the structure file's).
    std::function<void()> whileWaiting;
};

class ProviderSession {
  public:
    virtual ~ProviderSession() = default;  // releases everything; never throws

    // Runs one command text to its end (every result of a batch) and returns the rows of
    // its first result that has columns, all fetched, or nullopt when no result has any.
    // Throws DbError with the provider's or the server's description.
    virtual std::optional<RowSet> run(const std::string& text) = 0;

    // Makes name the database later commands run in. Throws DbError (the server's text when
    // the database is missing or not allowed; a provider without databases refuses).
    virtual void setDefaultDatabase(const std::string& name) = 0;
    // The database commands run in now; empty when the provider has none.
    virtual std::string defaultDatabase() = 0;

    // The command time-out for later commands. A provider without a server to wait for
    // ignores it.
    virtual void setCommandTimeout(int /*seconds*/) {}

    // Ends the session. May throw DbError; the destructor ends it silently in any case.
    virtual void close() = 0;
};

}  // namespace dsadmin
