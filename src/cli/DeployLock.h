#pragma once
// The lock that keeps two create, modify or delete runs on one database from running at
// once: SQL Server's application lock (sp_getapplock) in master, exclusive, owned by a
// session of its own that lives as long as this object, named after the database (case
// folded, as the server compares database names). The server frees it when the session ends,
// so a run that is killed leaves no lock behind. The window's runs do not take it. Text is
// UTF-8.

#include <chrono>
#include <stdexcept>
#include <string>

#include "db/Connection.h"
#include "runs/RunInput.h"

namespace dsadmin::cli {

// The lock was not granted: what() says why and, when the server shows it, who holds it.
class LockNotTaken : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class DeployLock {
  public:
    // Opens a connection as the runs do and asks for the lock, waiting up to
    // `timeoutSeconds` (0: not at all). Throws LockNotTaken when it is held elsewhere past the
    // time-out or refused; DbError when the server cannot be reached or refuses the login.
    // `input` gives the login (its fields) and must not be a plan's.
    DeployLock(const RunInput& input, const std::string& database, int timeoutSeconds);
    // Releases the lock and closes the connection; never throws (the server frees the lock
    // with the session in any case).
    ~DeployLock();
    DeployLock(const DeployLock&) = delete;
    DeployLock& operator=(const DeployLock&) = delete;

    const std::string& name() const { return name_; }
    std::chrono::milliseconds waited() const { return waited_; }
    // The lock's own session, open on master (the plan's checks reuse it).
    Connection& connection() { return connection_; }

    // "dsadmin:" and the database name case-folded.
    static std::string Name(const std::string& database);
    // The batch that asks for the lock and selects sp_getapplock's return code.
    static std::string AcquireStatement(const std::string& name, long timeoutMs);
    static std::string ReleaseStatement(const std::string& name);

  private:
    std::string holder();

    std::string name_;
    Connection connection_;
    std::chrono::milliseconds waited_{0};
};

}  // namespace dsadmin::cli
