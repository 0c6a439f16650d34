#pragma once
// Runs a piece of work in a forked child process and collects what it writes to a pipe.
// Used to keep libmdb, which can crash on malformed files, out of the calling process.

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

#include "base/UniqueFd.h"

namespace dsadmin {

class ChildProcess {
  public:
    enum class End {
        Exited,     // the child exited; `code` is its exit status
        Signalled,  // the child was killed by a signal (a crash); `code` is the signal
        TimedOut,   // no end within the time limit; the child was killed
        TooLarge,   // the child wrote more than the limit; the child was killed
    };
    struct Outcome {
        std::string output;  // everything the child wrote to the pipe
        End end = End::Exited;
        int code = 0;
    };

    // Forks. The child runs `work` with the write end of the pipe, its standard error sent
    // to /dev/null, and then ends with _exit(the value work returned), or _exit(70) when
    // work throws. `work` must not return into the caller's code in any other way.
    // Throws std::system_error when the pipe or the fork cannot be made.
    explicit ChildProcess(const std::function<int(int fd)>& work);
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    // Kills and reaps the child if it is still running.
    ~ChildProcess();

    // Reads the pipe until the child closes it and ends, or until `timeout` has passed, or
    // until more than `maxOutput` bytes have arrived. Call once.
    Outcome collect(std::chrono::milliseconds timeout, std::size_t maxOutput);

  private:
    void killAndReap() noexcept;
    bool reap(std::chrono::steady_clock::time_point deadline, Outcome& out);

    pid_t pid_ = -1;
    UniqueFd readEnd_;
};

}  // namespace dsadmin
