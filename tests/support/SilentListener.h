#pragma once
// A server that takes connections on 127.0.0.1 and never says a word: the listening socket is
// never read, so the kernel completes each handshake and the client's first packet waits for
// ever. Stands for a hung server, or a port forwarded to nothing; dropOne() makes it a server
// that drops a login and then hangs.
//
//   testsupport::SilentListener silent;   // listening on silent.port()
//   // the destructor closes it; the waiting clients see the connection reset

#include <cstdint>

namespace testsupport {

class SilentListener {
  public:
    SilentListener();  // throws std::runtime_error when no socket can be bound
    ~SilentListener();
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;

    std::uint16_t port() const { return port_; }

    // Takes the next connection (waiting up to 30 s for it), reads what the client sends first
    // and closes it: a server that drops a login. Later connections stay silent.
    void dropOne();

  private:
    int fd_ = -1;
    std::uint16_t port_ = 0;
};

}  // namespace testsupport
