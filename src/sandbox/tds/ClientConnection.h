#pragma once
// One client connection: the TDS state machine from PRELOGIN through LOGIN7 to requests.
//
//   Prelogin --PRELOGIN--> Login --LOGIN7 accepted--> LoggedIn --SQL batch/RPC/ATTENTION-->
//   (LOGIN7 may come without PRELOGIN; a refused login closes the connection)
//
// Encryption is chosen in PRELOGIN as SQL Server chooses it (MS-TDS 2.2.6.5): a client that
// can encrypt but does not ask to (ENCRYPT_OFF) sends its LOGIN7 packet inside TLS and the rest
// in clear; one that asks (ENCRYPT_ON, ENCRYPT_REQ) runs the whole session inside TLS; one that
// cannot (ENCRYPT_NOT_SUP) logs in in clear, unless the server forces encryption, which then
// ends the connection. A connection that opens with a TLS record instead of a TDS packet is
// TDS 8.0: TLS first, everything inside it.
//
// Every request is read whole (packets reassembled up to a size limit), answered whole (split
// at the negotiated packet size), and only then is the next one read, so an ATTENTION that
// arrives while a request runs is acknowledged after that request's answer, in a message of
// its own. Bytes that break the protocol end this connection only.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sandbox/Engine.h"
#include "sandbox/MemoryBudget.h"
#include "sandbox/tds/MessageAssembler.h"
#include "sandbox/tds/Prelogin.h"
#include "sandbox/tds/RpcDispatcher.h"
#include "sandbox/tds/ServerLog.h"
#include "sandbox/tds/Socket.h"
#include "sandbox/tds/TlsCredentials.h"
#include "sandbox/tds/TlsStream.h"
#include "sandbox/tds/TokenWriter.h"

namespace sandbox::tds {

// --encryption: off (PRELOGIN always answers "not supported"; no TLS at all), login (as SQL
// Server by default) or force (as SQL Server with "force encryption").
enum class EncryptionMode { Off, Login, Force };

struct ConnectionSettings {
    // Each wait inside a message; also the time from connecting to the end of the login, for
    // PRELOGIN and LOGIN7 together, however the client spreads its bytes.
    int readTimeoutMs = 30000;
    std::size_t maxMessageBytes = 16u << 20;       // a request after login
    std::size_t maxLoginMessageBytes = 64u << 10;  // PRELOGIN and LOGIN7
    std::string serverName = "DSADMIN-SANDBOX";    // in INFO/ERROR tokens
    EncryptionMode encryption = EncryptionMode::Off;
    const TlsCredentials* tls = nullptr;  // borrowed; needed unless encryption is Off
    // What requests may hold at once, server-wide (borrowed; null: no cap). A request that
    // would pass it is answered with 701.
    MemoryBudget* memory = nullptr;
};

// The cap on logged-in sessions, shared by the connections of one server: a login beyond it
// is refused (17809) and the connection closed.
class SessionSlots {
  public:
    explicit SessionSlots(std::size_t max) : max_(max) {}
    bool take() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (used_ >= max_) return false;
        ++used_;
        return true;
    }
    void give() {
        std::lock_guard<std::mutex> lock(mutex_);
        --used_;
    }
    std::size_t max() const { return max_; }

  private:
    std::mutex mutex_;
    std::size_t max_;
    std::size_t used_ = 0;
};

class ClientConnection {
  public:
    // `engine` and `log` are borrowed and must outlive the connection. `stopFd` becomes
    // readable when the server stops; the connection then ends after its current request.
    // `slots` (borrowed, may be null: no cap) counts the logged-in sessions.
    ClientConnection(Socket socket, Engine& engine, ServerLog& log, ConnectionSettings settings,
                     std::uint16_t spid, int stopFd, SessionSlots* slots = nullptr);

    // Serves the client until it leaves, breaks the protocol, stays silent too long, or the
    // server stops. Never throws. The engine session is closed before it returns.
    void run() noexcept;

    // True once the login was accepted (read from the server's thread).
    bool loggedIn() const { return loggedIn_.load(); }
    // Closes a connection that has not logged in yet, from another thread; no-op once it has
    // logged in or ended. The connection's thread then ends as if the client had left.
    void evict();
    bool evicted() const { return evicted_.load(); }

  private:
    enum class State { Prelogin, Login, LoggedIn };

    PacketMessage readMessage();
    void send(const std::string& payload);
    void write(std::string_view bytes);
    void startStrictTlsIfAsked();
    Encryption preloginAnswer(const PreloginRequest& request) const;
    TokenWriter tokens() const { return TokenWriter(version_, settings_.serverName); }
    void dispatch(const PacketMessage& m);
    void onPrelogin(const PacketMessage& m);
    void onLogin7(const PacketMessage& m);
    void refuseLogin(const std::string& user, const Message& error);
    void onSqlBatch(const PacketMessage& m);
    void onRpc(const PacketMessage& m);
    void onUnsupported(const std::string& what, std::int32_t number = 0);
    // Sends `out`'s answer unless the budget cannot hold it too; then 701 alone.
    void sendWithinBudget(TokenWriter& out);
    void refuseForMemory();
    void resetIfAsked(const PacketMessage& m, TokenWriter& out);
    std::vector<StatementResult> execute(const std::string& sql, const std::vector<Param>& params);
    void logRefused(const std::vector<StatementResult>& results, const std::string& sql);
    void log(const std::string& text);

    Socket socket_;
    std::mutex socketMutex_;  // evict() against the close at the end of run()
    std::atomic<bool> loggedIn_{false};
    std::atomic<bool> evicted_{false};
    Socket::Deadline loginDeadline_;
    Engine& engine_;
    ServerLog& log_;
    ConnectionSettings settings_;
    std::uint16_t spid_;
    int stopFd_;
    SessionSlots* slots_;
    bool holdsSlot_ = false;
    std::string peer_;
    State state_ = State::Prelogin;
    std::unique_ptr<TlsStream> tls_;   // while TLS carries the packets
    bool tlsForLoginOnly_ = false;     // TLS ends after the next packet (the LOGIN7)
    std::string encryption_ = "none";  // what the session got, for the log
    bool closing_ = false;
    std::uint32_t version_;
    std::size_t packetSize_ = 4096;
    std::unique_ptr<Session> session_;
    std::unique_ptr<RequestMemory> request_;  // what the request being read or served holds
    bool overBudget_ = false;  // its packets passed the budget: they are read and dropped
    RpcDispatcher procedures_;
    std::string loginDb_;
    std::string currentDb_;
};

}  // namespace sandbox::tds
