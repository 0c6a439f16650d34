#include "SandboxServer.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace dsadmin::bench {
namespace {

// The port from the log's "listening on 127.0.0.1:<port>" line; 0 while it is not there.
std::uint16_t portFromLog(const std::string& log) {
    std::ifstream in(log);
    std::string line;
    const std::string mark = "listening on 127.0.0.1:";
    while (std::getline(in, line)) {
        const std::size_t at = line.find(mark);
        if (at != std::string::npos)
            return static_cast<std::uint16_t>(std::stoi(line.substr(at + mark.size())));
    }
    return 0;
}

}  // namespace

SandboxServer::SandboxServer(const std::string& executable, const std::string& dataDir,
                             const std::vector<std::string>& extraArgs) {
    std::filesystem::create_directories(dataDir);
    const std::string log = dataDir + ".log";
    std::string extra;
    for (const std::string& a : extraArgs) extra += " '" + a + "'";
    pid_ = fork();
    if (pid_ == 0) {
        const std::string redirect = "exec '" + executable +
                                     "' --listen 127.0.0.1:0 --allow-empty-password --data '" +
                                     dataDir + "'" + extra + " >'" + log + "' 2>&1";
        execl("/bin/sh", "sh", "-c", redirect.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while ((port_ = portFromLog(log)) == 0) {
        if (std::chrono::steady_clock::now() > deadline || waitpid(pid_, nullptr, WNOHANG) != 0)
            throw std::runtime_error("dsadmin-sandbox did not start; see " + log);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

SandboxServer::~SandboxServer() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
}

}  // namespace dsadmin::bench
