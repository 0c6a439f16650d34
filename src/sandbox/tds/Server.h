#pragma once
// The listener: accepts TCP clients and serves each on its own thread. Logged-in sessions and
// connections still logging in are counted apart, each up to maxConnections: a login beyond
// the cap is refused (17809), and a connection beyond the cap of those logging in makes the
// oldest of them close, so that sockets that never log in cannot keep a real client out
// (each also has the login deadline). When accept fails for want of file descriptors or
// memory, the loop waits before it tries again (logged once per episode) and keeps serving.
// stop() (or a byte on the stop pipe, which a signal handler may write) ends the accept
// loop; connections finish the request they are running and close; run() returns once
// every connection thread has ended, so the engine can then be destroyed safely.

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <thread>

#include "base/UniqueFd.h"
#include "sandbox/Engine.h"
#include "sandbox/tds/ClientConnection.h"
#include "sandbox/tds/ServerLog.h"
#include "sandbox/tds/Socket.h"

namespace sandbox::tds {

struct ServerSettings {
    std::string host = "127.0.0.1";
    std::uint16_t port = 1433;        // 0 picks a free port
    std::size_t maxConnections = 64;  // logged-in sessions; as many again may be logging in
    ConnectionSettings connection;
};

class Server {
  public:
    // Binds the listening socket at once (throws std::runtime_error when it cannot). `engine`
    // and `log` are borrowed and must outlive the server.
    Server(Engine& engine, ServerLog& log, ServerSettings settings);
    ~Server() noexcept;
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // "HOST:PORT" actually bound (the real port when 0 was asked).
    std::string address() const { return listener_.localAddress(); }
    std::uint16_t port() const { return listener_.localPort(); }

    // Accepts and serves until stopped. Returns after every connection has ended.
    void run();
    // Asks run() to end. Safe from any thread; async-signal-safe through stopWriteFd().
    void stop() noexcept;
    int stopWriteFd() const { return stopWrite_.get(); }

    // How long accepting pauses after it failed for want of descriptors or memory.
    static constexpr int kAcceptPauseMs = 200;

  private:
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> finished;
        std::shared_ptr<ClientConnection> connection;
    };

    // False when accepting must pause (no descriptors or memory for now).
    bool accept();
    void reapFinished();
    void makeRoomForLogin();

    Engine& engine_;
    ServerLog& log_;
    ServerSettings settings_;
    Socket listener_;
    dsadmin::UniqueFd stopRead_;  // the stop pipe
    dsadmin::UniqueFd stopWrite_;
    std::list<Worker> workers_;
    SessionSlots slots_;
    std::uint16_t nextSpid_ = 51;
    bool acceptPaused_ = false;  // logged when it starts and when it ends
};

}  // namespace sandbox::tds
