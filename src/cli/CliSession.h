#pragma once
// One dsadmin-cli command from its resolved inputs to its exit code: the window's create,
// modify or delete run with a terminal in place of the message boxes (behind the lock and
// the checks), a plan of one, or the structure check; the report for people or as one JSON
// document. Text is UTF-8.

#include <chrono>
#include <iosfwd>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/Json.h"
#include "db/odbc/OdbcConnectionString.h"
#include "db/odbc/OdbcSession.h"
#include "runs/RunFields.h"

namespace dsadmin::cli {

enum ExitCode : int {
    kExitDone = 0,         // done, or the check found no difference
    kExitFailed = 1,       // the run or the check failed
    kExitUsage = 2,        // unknown option, missing input, no --yes without a terminal
    kExitDifferences = 3,  // the check found differences
    kExitAnsweredNo = 4,   // the operator answered no
};

// The JSON report's version: 2 added schemaVersion, serverAddress, startTime, durationMs,
// lock, checks, error.kind and error.driverCode, and the outcomes "unknown" and "declined".
inline constexpr int kSchemaVersion = 2;

// When the command started, for the report.
struct RunClock {
    std::chrono::system_clock::time_point wall = std::chrono::system_clock::now();
    std::chrono::steady_clock::time_point steady = std::chrono::steady_clock::now();
    std::string startText() const;  // "2026-12-09T15:04:09.123Z"
    long elapsedMs() const;
};

// What the options and Setup.ini resolve to.
struct CliInputs {
    RunFields fields;
    std::string appFolder, setupPath, structureFile;
    ServerAddress address;                // what --server reaches
    bool superUser = false;               // SupperUser of Setup.ini makes the operator one
    std::vector<std::string> envCleared;  // FreeTDS variables removed before connecting
};

// The ODBC driver's encryption for --encrypt (the driver's default when it is not given).
OdbcEncryption EncryptionOf(const CliOptions& o);
// What the server gives a session with these options: "session", "login", "none", or null
// when it cannot be asked.
Json SessionEncryptionJson(const CliOptions& o);

// True when `host` names this machine: a loopback address (127.0.0.0/8, ::1), "localhost", or
// the machine's own name. Any other name or address counts as another machine, whose own
// answer about a save folder is then the one that counts.
bool IsThisMachine(const std::string& host);

// "127.0.0.1:1433", "db1\\SALES", "db1\\SALES:1500".
std::string AddressText(const ServerAddress& address);

// The report's opening keys, as far as they are known: schemaVersion, command, server,
// serverAddress, environmentCleared, database, structureFile, startTime, durationMs.
Json ReportHeader(const CliOptions& o, const CliInputs* inputs, const RunClock& clock);

class CliSession {
  public:
    // `interactive`: stdin is a terminal, so questions can be asked.
    CliSession(const CliOptions& o, const CliInputs& inputs, const RunClock& clock,
               bool interactive, std::istream& in, std::ostream& out, std::ostream& err)
        : o_(o),
          inputs_(inputs),
          clock_(clock),
          interactive_(interactive),
          in_(in),
          out_(out),
          err_(err) {}

    int run();

  private:
    const CliOptions& o_;
    const CliInputs& inputs_;
    const RunClock& clock_;
    bool interactive_;
    std::istream& in_;
    std::ostream& out_;
    std::ostream& err_;
};

}  // namespace dsadmin::cli
