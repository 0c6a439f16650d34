#pragma once
// The server's side of one TLS session on a client's socket (GnuTLS). Two ways to begin:
//
//   TDS 7.x (MS-TDS 2.2.6.5): after the PRELOGIN exchange the handshake records travel as the
//   payload of PRELOGIN packets (type 0x12) in both directions; every message the client sends
//   is answered with exactly one message (tedious waits for one per message it sends). Then
//   the records go straight on the TCP stream, each carrying whole TDS packets.
//   TDS 8.0 ("strict"): the handshake starts on the bare stream before any TDS byte, with the
//   ALPN protocol "tds/8.0" offered; everything after it, PRELOGIN included, is inside TLS.
//
// Reads and writes block like Socket's and throw SocketClosed (peer gone, time-out, server
// stopping) or ProtocolError (bytes that are no TLS). A failed handshake throws TlsFailure.

#include <gnutls/gnutls.h>

#include <cstdint>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "sandbox/tds/Socket.h"
#include "sandbox/tds/TlsCredentials.h"

namespace sandbox::tds {

class TlsFailure : public std::runtime_error {
  public:
    explicit TlsFailure(const std::string& why) : std::runtime_error(why) {}
};

class TlsStream {
  public:
    // Runs the handshake inside PRELOGIN packets. `socket` and `credentials` are borrowed and
    // must outlive the stream. Each wait is limited by `timeoutMs` and ends when `stopFd`
    // becomes readable; a handshake message longer than `maxMessageBytes` is refused.
    static std::unique_ptr<TlsStream> acceptInPrelogin(const Socket& socket,
                                                       const TlsCredentials& credentials,
                                                       int timeoutMs, int stopFd,
                                                       std::size_t maxMessageBytes,
                                                       std::uint16_t spid);
    // Runs a TDS 8.0 handshake straight on the stream.
    static std::unique_ptr<TlsStream> acceptDirect(const Socket& socket,
                                                   const TlsCredentials& credentials, int timeoutMs,
                                                   int stopFd);
    ~TlsStream();
    TlsStream(const TlsStream&) = delete;
    TlsStream& operator=(const TlsStream&) = delete;

    // True when decrypted bytes wait to be read (the socket may then be silent).
    bool pending() const;
    // As Socket::waitReadable, but true at once when bytes are pending.
    void waitReadable(int timeoutMs, int stopFd) const;
    // Reads exactly n decrypted bytes.
    void readExact(char* out, std::size_t n, int timeoutMs, int stopFd);
    // Encrypts and sends everything.
    void writeAll(std::string_view data);

    // "TLS1.2" and the cipher suite, for the log.
    std::string description() const;
    // The ALPN protocol the client chose ("tds/8.0"), or empty.
    std::string alpn() const;

  private:
    enum class Carrier { Prelogin, Stream };

    TlsStream(const Socket& socket, const TlsCredentials& credentials, bool tds8);
    void handshake(int timeoutMs, int stopFd);
    [[noreturn]] void fail(int rc, const char* what);
    void flushPrelogin();
    static ssize_t pull(gnutls_transport_ptr_t self, void* data, std::size_t size);
    static ssize_t push(gnutls_transport_ptr_t self, const void* data, std::size_t size);
    static int pullTimeout(gnutls_transport_ptr_t self, unsigned int ms);

    const Socket& socket_;
    gnutls_session_t session_ = nullptr;
    Carrier carrier_ = Carrier::Stream;
    int timeoutMs_ = 30000;
    int stopFd_ = -1;
    std::size_t maxMessageBytes_ = 64u << 10;
    std::uint16_t spid_ = 0;
    std::string in_;            // handshake bytes received in PRELOGIN packets, not yet consumed
    std::string out_;           // handshake bytes to send as the next PRELOGIN message
    std::exception_ptr error_;  // what a callback met, rethrown after GnuTLS returns
};

}  // namespace sandbox::tds
