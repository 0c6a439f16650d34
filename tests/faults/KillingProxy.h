#pragma once
// A TCP relay between a client and dsadmin-sandbox on 127.0.0.1 that counts the client's
// requests (SQL batches, RPCs and transaction-manager requests; not PRELOGIN, LOGIN7 or
// ATTENTION) across all its connections and, when request number `killAt` (from 1) starts to
// arrive, calls `kill` before passing it on and drops the connection. So every request before
// it has been answered in full, and that one never reaches the server. Every whole answer
// the server sends after the login is decoded by the strict token reader on its way. TLS
// records (the encrypted login) pass unread: after a login-only encryption all is in clear.

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace faults {

class KillingProxy {
  public:
    KillingProxy(std::uint16_t upstreamPort, int killAt, std::function<void()> kill);
    ~KillingProxy();
    KillingProxy(const KillingProxy&) = delete;
    KillingProxy& operator=(const KillingProxy&) = delete;

    std::uint16_t port() const { return port_; }
    // The texts of the SQL batches passed on in full, in order (RPCs as "<rpc>").
    std::vector<std::string> passed() const;
    // True once the kill was made.
    bool killed() const { return killed_; }
    // Why answers of the server did not pass the strict token reader; empty when all did.
    std::vector<std::string> malformedAnswers() const;

  private:
    void acceptLoop();
    void relay(int client);
    // Moves the whole packets at the front of `pending` to `out` (to be passed on); returns
    // false when the kill was made and the connection must be dropped.
    bool onClientBytes(std::string& pending, std::string& message, bool& inMessage,
                       std::string& out);
    // Decodes the whole messages at the front of `pending` (bytes from the server); the first
    // one is skipped when it answers PRELOGIN.
    void onServerBytes(std::string& pending, std::string& message, bool& skipNext, bool modern);

    std::uint16_t upstream_;
    int killAt_;
    std::function<void()> kill_;
    int listenFd_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> killed_{false};
    int requests_ = 0;
    mutable std::mutex mutex_;
    std::vector<std::string> passed_;
    std::vector<std::string> malformed_;
    std::thread acceptor_;
    std::vector<std::thread> relays_;
};

}  // namespace faults
