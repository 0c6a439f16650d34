#pragma once
// Starts the real dsadmin-sandbox executable for a test: on 127.0.0.1 with a free port, over
// a fresh temporary data folder (or one the test gives), its stderr written to a log file in
// the build tree (build/sandbox-logs/sandbox-<pid>-<n>.log, kept for scripts/test to show).
//
//   testsupport::SandboxProcess sandbox;            // started; throws if it does not come up
//   auto cs = sandbox.odbcConnectionString("master");
//   ... sandbox.port(), sandbox.logPath(), sandbox.log()
//   sandbox.restart();                              // same data folder, new port
//   // the destructor sends SIGTERM, waits, and removes the data folder it created

#include <sys/types.h>
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

class SandboxProcess {
  public:
    struct Options {
        std::string saPassword;  // the sa login's password (empty by default: then started
                                 // with --allow-empty-password)
        std::string dataDir;     // empty: a new temporary folder, removed at the end
        std::vector<std::string> extraArgs;  // appended to the command line
        int startTimeoutMs = 20000;
        int maxOpenFiles = 0;  // the server's RLIMIT_NOFILE; 0: inherited
        // The user (and group of the same number) the server runs as, as a service user
        // would; its own data folder is handed to it. 0: this process's user. Only root can
        // give another (canRunAsAnotherUser() says whether it can).
        uid_t runAs = 0;
    };

    // Starts the server and waits for its "listening on HOST:PORT ..." line. Throws
    // std::runtime_error (with the log's tail) when it exits or stays silent instead.
    SandboxProcess();
    explicit SandboxProcess(Options options);
    // Stops the server (SIGTERM, then SIGKILL after 10 s) and removes an owned data folder.
    ~SandboxProcess();
    SandboxProcess(const SandboxProcess&) = delete;
    SandboxProcess& operator=(const SandboxProcess&) = delete;

    const std::string& host() const { return host_; }  // "127.0.0.1"
    std::uint16_t port() const { return port_; }
    pid_t pid() const { return pid_; }
    const std::string& dataDir() const { return dataDir_; }
    const std::string& saPassword() const { return options_.saPassword; }
    const std::string& logPath() const { return logPath_; }
    std::string log() const;  // the whole stderr log so far

    // "Driver=FreeTDS;Server=127.0.0.1;Port=<port>;UID=sa;PWD=<pw>;Database=<db>;
    //  TDS_Version=7.4;ClientCharset=UTF-8" (PWD in braces when needed). FreeTDS's default
    //  encryption (request) meets the sandbox's default: the login goes inside TLS.
    std::string odbcConnectionString(const std::string& database = "master") const;

    // SIGTERM and wait; returns the exit status as waitpid reports it (WEXITSTATUS...), or
    // -1 when the server was not running. The data folder stays.
    int stop();
    bool running() const { return pid_ > 0; }
    // stop() then start again over the same data folder (the port changes).
    void restart();

    // True when this process may start the server as another user (Options::runAs).
    static bool canRunAsAnotherUser();

    // Path of the executable under test: build/bin/dsadmin-sandbox.
    static std::string executable();

  private:
    void start();

    Options options_;
    std::string dataDir_;
    bool ownsDataDir_ = false;
    std::string logPath_;
    std::string host_ = "127.0.0.1";
    std::uint16_t port_ = 0;
    pid_t pid_ = -1;
};

}  // namespace testsupport
