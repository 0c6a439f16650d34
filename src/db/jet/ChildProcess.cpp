#include "db/jet/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <system_error>
#include <thread>

extern char** environ;

namespace dsadmin {
namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void throwErrno(int error, const char* what) {
    throw std::system_error(error, std::generic_category(), what);
}

// How often the caller's whileWaiting is called during a wait.
constexpr std::chrono::milliseconds kWaitSlice{50};

// Milliseconds until `until`, rounded up (a poll for them does not end before it).
int remainingMs(Clock::time_point until) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

// posix_spawn's attribute and file-action objects, destroyed on every way out.
struct SpawnSetup {
    posix_spawnattr_t attr;
    posix_spawn_file_actions_t actions;
    SpawnSetup() {
        posix_spawnattr_init(&attr);
        posix_spawn_file_actions_init(&actions);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attr);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
};

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv) {
    if (argv.empty()) throwErrno(EINVAL, "spawn");
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
        throwErrno(errno, "socketpair");
    UniqueFd ours(fds[0]);
    UniqueFd theirs(fds[1]);

    SpawnSetup s;
    // The child starts with no blocked signal and every signal at its default action (the
    // caller may ignore SIGPIPE or block signals for its threads).
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&s.attr, &none);
    posix_spawnattr_setsigdefault(&s.attr, &all);
    posix_spawnattr_setflags(&s.attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    // dup2 onto 0 and 1 clears close-on-exec there; every other descriptor of the caller is
    // close-on-exec or closed by the helper's own start.
    posix_spawn_file_actions_adddup2(&s.actions, theirs.get(), STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&s.actions, theirs.get(), STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&s.actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);

    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    if (int e = ::posix_spawn(&pid, args[0], &s.actions, &s.attr, args.data(), environ))
        throwErrno(e, "posix_spawn");
    pid_ = pid;
    socket_ = std::move(ours);
}

ChildProcess::~ChildProcess() {
    killAndReap();
}

void ChildProcess::send(std::string_view request) {
    while (!request.empty()) {
        ssize_t n = ::send(socket_.get(), request.data(), request.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;  // the child has gone; collect() says how
        request.remove_prefix(static_cast<std::size_t>(n));
    }
    ::shutdown(socket_.get(), SHUT_WR);
}

// One wait for the child, to a deadline, with the caller's whileWaiting called about every 50 ms.
class ChildProcess::Waiter {
  public:
    Waiter(ChildProcess& child, std::chrono::milliseconds timeout, const WhileWaiting& hook)
        : child_(child),
          hook_(hook),
          deadline_(Clock::now() + timeout),
          nextCall_(Clock::now() + kWaitSlice) {}

    bool expired() const { return Clock::now() >= deadline_; }

    // Waits until `fd` has something to read (or its peer closed it): poll's result, 0 when the
    // deadline has passed first. Calls the hook when due, also while data keeps arriving (a
    // long answer streams for seconds without a quiet slice).
    int readable(int fd) {
        for (;;) {
            callIfDue();
            pollfd p{fd, POLLIN, 0};
            const int n =
                ::poll(&p, 1, remainingMs(hook_ ? std::min(deadline_, nextCall_) : deadline_));
            if (n != 0 || expired()) return n;
        }
    }

    // A short pause (waiting for the child's exit).
    void pause() {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        callIfDue();
    }

  private:
    void callIfDue() {
        if (!hook_ || Clock::now() < nextCall_) return;
        try {
            hook_();
        } catch (...) {
            child_.killAndReap();
            child_.socket_.reset();
            throw;
        }
        nextCall_ = Clock::now() + kWaitSlice;
    }

    ChildProcess& child_;
    const WhileWaiting& hook_;
    const Clock::time_point deadline_;
    Clock::time_point nextCall_;
};

void ChildProcess::killAndReap() noexcept {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
}

// Waits for the child to end after it closed its output. True when it ended in time.
bool ChildProcess::reap(Waiter& waiter, Outcome& out) {
    for (;;) {
        int status = 0;
        pid_t r = ::waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            pid_ = -1;
            if (WIFSIGNALED(status)) {
                out.end = End::Signalled;
                out.code = WTERMSIG(status);
            } else {
                out.end = End::Exited;
                out.code = WEXITSTATUS(status);
            }
            return true;
        }
        if (r < 0 && errno != EINTR) return false;
        if (waiter.expired()) return false;
        waiter.pause();
    }
}

ChildProcess::Outcome ChildProcess::collect(std::chrono::milliseconds timeout,
                                            std::size_t maxOutput,
                                            const WhileWaiting& whileWaiting) {
    Outcome out;
    Waiter waiter(*this, timeout, whileWaiting);
    char chunk[65536];
    for (;;) {
        int n = waiter.readable(socket_.get());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            out.end = End::TimedOut;
            killAndReap();
            return out;
        }
        ssize_t got = ::read(socket_.get(), chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        out.output.append(chunk, static_cast<std::size_t>(got));
        if (out.output.size() > maxOutput) {
            out.end = End::TooLarge;
            killAndReap();
            return out;
        }
    }
    socket_.reset();
    if (!reap(waiter, out)) {
        out.end = End::TimedOut;
        killAndReap();
    }
    return out;
}

ChildProcess::Outcome ChildProcess::exchange(std::string_view request,
                                             std::chrono::milliseconds timeout,
                                             std::size_t maxOutput,
                                             const WhileWaiting& whileWaiting) {
    Outcome out;
    Waiter waiter(*this, timeout, whileWaiting);
    // Whatever goes wrong below, the child is gone afterwards and says how it ended.
    auto ended = [&](End why) {
        if (why == End::Exited) {
            socket_.reset();
            if (reap(waiter, out)) {
                if (out.end == End::Exited && out.code == 0) out.code = 70;  // ended mid-answer
                return out;
            }
            why = End::TimedOut;
        }
        out.end = why;
        killAndReap();
        return out;
    };
    while (!request.empty()) {
        ssize_t n = ::send(socket_.get(), request.data(), request.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return ended(End::Exited);
        request.remove_prefix(static_cast<std::size_t>(n));
    }
    std::string pending;  // received, not yet taken apart into chunks
    std::size_t used = 0;
    char chunk[65536];
    for (;;) {
        // Take apart the complete chunks received so far.
        for (;;) {
            std::uint32_t length = 0;
            if (pending.size() - used < sizeof length) break;
            std::memcpy(&length, pending.data() + used, sizeof length);
            if (length == 0) {
                if (pending.size() - used != sizeof length) return ended(End::TooLarge);
                return out;  // Exited, code 0: the answer is complete
            }
            if (pending.size() - used - sizeof length < length) break;
            out.output.append(pending, used + sizeof length, length);
            used += sizeof length + length;
            if (out.output.size() > maxOutput) return ended(End::TooLarge);
        }
        pending.erase(0, used);
        used = 0;
        int n = waiter.readable(socket_.get());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return ended(End::TimedOut);
        ssize_t got = ::read(socket_.get(), chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return ended(End::Exited);
        pending.append(chunk, static_cast<std::size_t>(got));
        if (pending.size() > maxOutput) return ended(End::TooLarge);
    }
}

}  // namespace dsadmin
