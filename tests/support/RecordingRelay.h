#pragma once
// A TCP relay on 127.0.0.1 that passes every byte between clients and a server port and keeps
// a copy of what went each way: the loopback capture a test reads to see whether a login
// crossed the wire in clear. Needs no privileges.
//
//   testsupport::RecordingRelay relay(sandbox.port());
//   ... connect a client to relay.port() ...
//   relay.fromClients()   // every byte the clients sent, connections one after another

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace testsupport {

class RecordingRelay {
  public:
    // Listens at once on a free loopback port. Throws std::runtime_error when it cannot.
    explicit RecordingRelay(std::uint16_t serverPort);
    // Closes the listener and every relayed connection.
    ~RecordingRelay();
    RecordingRelay(const RecordingRelay&) = delete;
    RecordingRelay& operator=(const RecordingRelay&) = delete;

    std::uint16_t port() const { return port_; }
    std::string fromClients() const;
    std::string fromServer() const;

  private:
    void serve();
    void relay(int client);

    std::uint16_t serverPort_;
    std::uint16_t port_ = 0;
    int listener_ = -1;
    int stopRead_ = -1, stopWrite_ = -1;
    mutable std::mutex mutex_;
    std::string fromClients_, fromServer_;
    std::thread thread_;
};

}  // namespace testsupport
