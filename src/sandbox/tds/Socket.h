#pragma once
// A move-only owner of a TCP socket descriptor, with the blocking reads and writes the
// connection needs: every wait also watches a stop descriptor and honours a timeout.

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "base/UniqueFd.h"

namespace sandbox::tds {

// Why a read or write ended early: the peer closed, the timeout passed, the server is
// stopping, or the system call failed. The connection is finished in every case.
class SocketClosed : public std::runtime_error {
  public:
    explicit SocketClosed(const std::string& why) : std::runtime_error(why) {}
};

class Socket {
  public:
    Socket() = default;
    explicit Socket(int fd) : fd_(fd) {}

    // Binds and listens on host:port (IPv4 or IPv6 literal, or a name). Port 0 picks a free
    // port. Throws std::runtime_error with the reason.
    static Socket listen(const std::string& host, std::uint16_t port);

    int fd() const { return fd_.get(); }
    bool valid() const { return static_cast<bool>(fd_); }
    void close() noexcept { fd_.reset(); }

    // The bound address as "HOST:PORT" (IPv6 as "[addr]:port") and the port alone.
    std::string localAddress() const;
    std::uint16_t localPort() const;
    std::string peerAddress() const;

    // Waits until data can be read. `timeoutMs` < 0 waits without limit. Throws SocketClosed
    // on timeout or when `stopFd` becomes readable.
    void waitReadable(int timeoutMs, int stopFd) const;
    // Reads exactly `n` bytes into `out`; each wait is limited by `timeoutMs`, and all of them
    // together end at `deadline`. Throws SocketClosed when the peer closes, the time is up or
    // `stopFd` becomes readable.
    using Deadline = std::chrono::steady_clock::time_point;
    void readExact(char* out, std::size_t n, int timeoutMs, int stopFd,
                   Deadline deadline = Deadline::max()) const;
    // `timeoutMs` (< 0: none), shortened to what is left until `deadline`; 0 when it passed.
    static int waitLimit(int timeoutMs, Deadline deadline);
    // Ends the connection's reads and writes from another thread (they see the peer close).
    void shutdown() const;
    // The next byte the peer sent, left unread; waits as readExact does.
    std::uint8_t peekByte(int timeoutMs, int stopFd) const;
    // Writes everything (no SIGPIPE). Throws SocketClosed on failure or send timeout.
    void writeAll(std::string_view data) const;
    // Sets the options a server connection uses: keep-alive, no Nagle, a send timeout.
    void configureConnection(int sendTimeoutMs) const;

  private:
    dsadmin::UniqueFd fd_;  // move-only: so is the socket
};

}  // namespace sandbox::tds
