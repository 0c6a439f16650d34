#include "db/jet/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <thread>

namespace dsadmin {
namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void throwErrno(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

// In the child: libmdb prints its warnings on standard error; they would only confuse the
// caller's own output, so they go to /dev/null. The child also dies with its parent.
void prepareChild() noexcept {
    int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (devNull >= 0) ::dup2(devNull, STDERR_FILENO);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    ::signal(SIGPIPE, SIG_DFL);
}

int remainingMs(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

}  // namespace

ChildProcess::ChildProcess(const std::function<int(int fd)>& work) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) throwErrno("pipe");
    UniqueFd readEnd(fds[0]);
    UniqueFd writeEnd(fds[1]);
    pid_ = ::fork();
    if (pid_ < 0) throwErrno("fork");
    if (pid_ == 0) {
        readEnd.reset();
        prepareChild();
        int code = 70;
        try {
            code = work(writeEnd.get());
        } catch (...) {
            code = 70;
        }
        ::_exit(code);
    }
    readEnd_ = std::move(readEnd);
}

ChildProcess::~ChildProcess() {
    killAndReap();
}

void ChildProcess::killAndReap() noexcept {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
}

// Waits for the child to end after it closed the pipe. True when it ended in time.
bool ChildProcess::reap(Clock::time_point deadline, Outcome& out) {
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
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

ChildProcess::Outcome ChildProcess::collect(std::chrono::milliseconds timeout,
                                            std::size_t maxOutput) {
    Outcome out;
    const auto deadline = Clock::now() + timeout;
    char chunk[65536];
    for (;;) {
        pollfd p{readEnd_.get(), POLLIN, 0};
        int n = ::poll(&p, 1, remainingMs(deadline));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            out.end = End::TimedOut;
            killAndReap();
            return out;
        }
        ssize_t got = ::read(readEnd_.get(), chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        out.output.append(chunk, static_cast<std::size_t>(got));
        if (out.output.size() > maxOutput) {
            out.end = End::TooLarge;
            killAndReap();
            return out;
        }
    }
    readEnd_.reset();
    if (!reap(deadline, out)) {
        out.end = End::TimedOut;
        killAndReap();
    }
    return out;
}

}  // namespace dsadmin
