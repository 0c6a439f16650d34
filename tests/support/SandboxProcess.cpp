#include "SandboxProcess.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace testsupport {
namespace {

std::atomic<int> gCounter{0};

std::string makeTempDir() {
    std::string base = std::filesystem::temp_directory_path() / "dsadmin-sandbox-XXXXXX";
    if (!::mkdtemp(base.data())) throw std::runtime_error("mkdtemp failed");
    return base;
}

std::string tail(const std::string& text, std::size_t n) {
    return text.size() <= n ? text : "..." + text.substr(text.size() - n);
}

// Reads one line from `fd` within `timeoutMs`; empty when none came (EOF or timeout).
std::string readLine(int fd, int timeoutMs) {
    std::string line;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return {};
        pollfd p{fd, POLLIN, 0};
        int n = ::poll(&p, 1, static_cast<int>(left.count()));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return {};
        char c;
        ssize_t got = ::read(fd, &c, 1);
        if (got <= 0) return {};
        if (c == '\n') return line;
        line.push_back(c);
    }
}

}  // namespace

SandboxProcess::SandboxProcess() : SandboxProcess(Options{}) {}

SandboxProcess::SandboxProcess(Options options) : options_(std::move(options)) {
    if (options_.dataDir.empty()) {
        dataDir_ = makeTempDir();
        ownsDataDir_ = true;
        if (options_.runAs != 0 && ::chown(dataDir_.c_str(), options_.runAs, options_.runAs) != 0)
            throw std::runtime_error("chown of the sandbox's data folder failed");
    } else {
        dataDir_ = options_.dataDir;
    }
    std::filesystem::path logs =
        std::filesystem::path(DSADMIN_BIN_DIR).parent_path() / "sandbox-logs";
    std::filesystem::create_directories(logs);
    logPath_ = (logs / ("sandbox-" + std::to_string(::getpid()) + "-" + std::to_string(gCounter++) +
                        ".log"))
                   .string();
    std::ofstream(logPath_, std::ios::trunc).flush();
    try {
        start();
    } catch (...) {
        if (ownsDataDir_) std::filesystem::remove_all(dataDir_);
        throw;
    }
}

SandboxProcess::~SandboxProcess() {
    try {
        stop();
    } catch (...) {
    }
    if (ownsDataDir_) {
        std::error_code ec;
        std::filesystem::remove_all(dataDir_, ec);
    }
}

bool SandboxProcess::canRunAsAnotherUser() {
    return ::geteuid() == 0;
}

std::string SandboxProcess::executable() {
    return std::string(DSADMIN_BIN_DIR) + "/dsadmin-sandbox";
}

std::string SandboxProcess::log() const {
    std::ifstream in(logPath_);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void SandboxProcess::start() {
    std::vector<std::string> args = {executable(), "--listen",      "127.0.0.1:0",      "--data",
                                     dataDir_,     "--sa-password", options_.saPassword};
    // The server refuses an empty password unless told that it is meant.
    if (options_.saPassword.empty()) args.push_back("--allow-empty-password");
    args.insert(args.end(), options_.extraArgs.begin(), options_.extraArgs.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    int logFd = ::open(logPath_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    pid_t parent = ::getpid();
    pid_t pid = ::fork();
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);  // no orphan server when a test crashes
        if (::getppid() != parent) ::_exit(127);
        ::dup2(out[1], 1);
        ::dup2(logFd, 2);
        if (options_.maxOpenFiles > 0) {
            const rlimit limit{static_cast<rlim_t>(options_.maxOpenFiles),
                               static_cast<rlim_t>(options_.maxOpenFiles)};
            ::setrlimit(RLIMIT_NOFILE, &limit);
        }
        if (options_.runAs != 0 && (::setgroups(0, nullptr) != 0 || ::setgid(options_.runAs) != 0 ||
                                    ::setuid(options_.runAs) != 0))
            ::_exit(126);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(logFd);
    if (pid < 0) {
        ::close(out[0]);
        throw std::runtime_error("fork failed");
    }
    pid_ = pid;
    std::string line = readLine(out[0], options_.startTimeoutMs);
    ::close(out[0]);
    const std::string prefix = "listening on ";
    // "listening on HOST:PORT", then perhaps " (TLS certificate SHA-256 ...)".
    line = line.substr(0, line.find(' ', prefix.size()));
    std::size_t colon = line.rfind(':');
    if (line.rfind(prefix, 0) != 0 || colon == std::string::npos) {
        stop();
        throw std::runtime_error("dsadmin-sandbox did not start (first line '" + line + "'); log " +
                                 logPath_ + ":\n" + tail(log(), 2000));
    }
    host_ = line.substr(prefix.size(), colon - prefix.size());
    port_ = static_cast<std::uint16_t>(std::stoi(line.substr(colon + 1)));
}

int SandboxProcess::stop() {
    if (pid_ <= 0) return -1;
    ::kill(pid_, SIGTERM);
    int status = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
        pid_t r = ::waitpid(pid_, &status, WNOHANG);
        if (r == pid_ || (r < 0 && errno != EINTR)) break;
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    pid_ = -1;
    return status;
}

void SandboxProcess::restart() {
    stop();
    start();
}

std::string SandboxProcess::odbcConnectionString(const std::string& database) const {
    std::string pwd = options_.saPassword;
    if (pwd.find_first_of(";{}= ") != std::string::npos) {
        std::string braced = "{";
        for (char c : pwd) braced += c == '}' ? std::string("}}") : std::string(1, c);
        pwd = braced + "}";
    }
    return "Driver=FreeTDS;Server=" + host_ + ";Port=" + std::to_string(port_) +
           ";UID=sa;PWD=" + pwd + ";Database=" + database + ";TDS_Version=7.4;ClientCharset=UTF-8";
}

}  // namespace testsupport
