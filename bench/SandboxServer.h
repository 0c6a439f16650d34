#pragma once
// dsadmin-sandbox for a measurement: started on 127.0.0.1 with a free port over its own
// data folder, stopped (SIGTERM) by the destructor. Its log goes to <data folder>.log.

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace dsadmin::bench {

class SandboxServer {
  public:
    // Starts `executable` over `dataDir` (created if missing) and waits for its
    // "listening on" line. Throws std::runtime_error when it does not come up in 20 s.
    // `extraArgs` (plain words, no quoting needed) are added to its command line.
    SandboxServer(const std::string& executable, const std::string& dataDir,
                  const std::vector<std::string>& extraArgs = {});
    ~SandboxServer();
    SandboxServer(const SandboxServer&) = delete;
    SandboxServer& operator=(const SandboxServer&) = delete;

    std::uint16_t port() const { return port_; }
    // "127.0.0.1,<port>": the server box text that reaches it.
    std::string dataSource() const { return "127.0.0.1," + std::to_string(port_); }
    // "127.0.0.1:<port>": FreeTDS's command-line tools' -S.
    std::string freetdsServer() const { return "127.0.0.1:" + std::to_string(port_); }

  private:
    pid_t pid_ = -1;
    std::uint16_t port_ = 0;
};

}  // namespace dsadmin::bench
