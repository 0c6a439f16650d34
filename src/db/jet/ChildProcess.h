#pragma once
// Starts a helper program and collects what it answers. Used to keep libmdb, which can crash
// on malformed files, out of the calling process.
//
// The helper is a fresh program (posix_spawn, never a bare fork of a possibly multi-threaded
// caller): its standard input and output are one end of a socket pair, its standard error
// goes to /dev/null, its signal mask is empty and its signals have their default actions.

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

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
        std::string output;  // everything the child wrote
        End end = End::Exited;
        int code = 0;
    };

    // Starts argv[0] (a path) with the arguments argv[1...], and the caller's environment.
    // Throws std::system_error when the socket pair cannot be made or the program cannot be
    // started (errno ENOENT for a missing program).
    explicit ChildProcess(const std::vector<std::string>& argv);
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    // Kills and reaps the child if it is still running.
    ~ChildProcess();

    // Writes `request` to the child's standard input and then closes that direction. A child
    // that has already ended loses the request silently (collect() reports how it ended).
    void send(std::string_view request);

    // Called on the waiting thread about every 50 ms while collect() or exchange() waits for
    // the child (first after 50 ms: a quick answer never calls it), so that a window can keep
    // painting. The time limit runs on meanwhile. What it throws ends the wait: the child is
    // killed and reaped first (running() is then false), and the exception reaches the caller.
    using WhileWaiting = std::function<void()>;

    // Reads the child's output until it closes it and ends, or until `timeout` has passed,
    // or until more than `maxOutput` bytes have arrived. Call once.
    Outcome collect(std::chrono::milliseconds timeout, std::size_t maxOutput,
                    const WhileWaiting& whileWaiting = {});

    // For a child that answers request after request: writes `request` to its standard input
    // and reads one answer from its output, sent in chunks (u32 length, then the bytes) ended
    // by an empty chunk. The outcome is Exited with code 0 and the answer (the chunks' bytes)
    // when the answer is complete and the child still runs. When the child ends before, or
    // `timeout` passes, or the answer outgrows `maxOutput`, the outcome says so as collect()
    // does, and the child is gone: running() is then false.
    Outcome exchange(std::string_view request, std::chrono::milliseconds timeout,
                     std::size_t maxOutput, const WhileWaiting& whileWaiting = {});
    bool running() const { return pid_ > 0; }

  private:
    class Waiter;
    void killAndReap() noexcept;
    bool reap(Waiter& waiter, Outcome& out);

    pid_t pid_ = -1;
    UniqueFd socket_;
};

}  // namespace dsadmin
