#include "sandbox/tds/TlsStream.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "sandbox/tds/MessageAssembler.h"
#include "sandbox/tds/Packet.h"
#include "sandbox/tds/PacketWriter.h"
#include "sandbox/tds/ProtocolError.h"

namespace sandbox::tds {

TlsStream::TlsStream(const Socket& socket, const TlsCredentials& credentials, bool tds8)
    : socket_(socket) {
    // No session tickets: nothing may follow the handshake that the client does not wait for.
    if (int rc = gnutls_init(&session_, GNUTLS_SERVER | GNUTLS_NO_TICKETS); rc < 0)
        throw TlsFailure(std::string("cannot start a TLS session: ") + gnutls_strerror(rc));
    gnutls_priority_set(session_, credentials.priorities(tds8));
    gnutls_credentials_set(session_, GNUTLS_CRD_CERTIFICATE, credentials.credentials());
    gnutls_certificate_server_set_request(session_, GNUTLS_CERT_IGNORE);
    if (tds8) {
        static const char kTds8[] = "tds/8.0";
        gnutls_datum_t protocol{reinterpret_cast<unsigned char*>(const_cast<char*>(kTds8)),
                                sizeof kTds8 - 1};
        gnutls_alpn_set_protocols(session_, &protocol, 1, 0);
    }
    gnutls_transport_set_ptr(session_, this);
    gnutls_transport_set_pull_function(session_, &TlsStream::pull);
    gnutls_transport_set_push_function(session_, &TlsStream::push);
    gnutls_transport_set_pull_timeout_function(session_, &TlsStream::pullTimeout);
}

TlsStream::~TlsStream() {
    gnutls_deinit(session_);
}

std::unique_ptr<TlsStream> TlsStream::acceptInPrelogin(const Socket& socket,
                                                       const TlsCredentials& credentials,
                                                       int timeoutMs, int stopFd,
                                                       std::size_t maxMessageBytes,
                                                       std::uint16_t spid) {
    std::unique_ptr<TlsStream> s(new TlsStream(socket, credentials, false));
    s->carrier_ = Carrier::Prelogin;
    s->maxMessageBytes_ = maxMessageBytes;
    s->spid_ = spid;
    s->handshake(timeoutMs, stopFd);
    s->flushPrelogin();  // the server's last flight
    if (!s->in_.empty()) throw ProtocolError("bytes after the TLS handshake in PRELOGIN");
    s->carrier_ = Carrier::Stream;
    return s;
}

std::unique_ptr<TlsStream> TlsStream::acceptDirect(const Socket& socket,
                                                   const TlsCredentials& credentials, int timeoutMs,
                                                   int stopFd) {
    std::unique_ptr<TlsStream> s(new TlsStream(socket, credentials, true));
    s->handshake(timeoutMs, stopFd);
    return s;
}

void TlsStream::handshake(int timeoutMs, int stopFd) {
    timeoutMs_ = timeoutMs;
    stopFd_ = stopFd;
    int rc;
    do {
        rc = gnutls_handshake(session_);
    } while (rc < 0 && !gnutls_error_is_fatal(rc) && !error_);
    if (rc < 0) {
        if (carrier_ == Carrier::Prelogin && !error_) {
            try {
                flushPrelogin();  // the alert that says why
            } catch (...) {
            }
        }
        fail(rc, "TLS handshake failed");
    }
}

void TlsStream::fail(int rc, const char* what) {
    if (error_) {
        std::exception_ptr e = error_;
        error_ = nullptr;
        std::rethrow_exception(e);
    }
    std::string why = std::string(what) + ": " + gnutls_strerror(rc);
    if (rc == GNUTLS_E_FATAL_ALERT_RECEIVED || rc == GNUTLS_E_WARNING_ALERT_RECEIVED) {
        const char* alert = gnutls_alert_get_name(gnutls_alert_get(session_));
        why += std::string(" (") + (alert ? alert : "unknown alert") + ")";
    }
    throw TlsFailure(why);
}

void TlsStream::flushPrelogin() {
    if (out_.empty()) return;
    std::string message = frameMessage(kPrelogin, out_, 4096, spid_);
    out_.clear();
    socket_.writeAll(message);
}

ssize_t TlsStream::pull(gnutls_transport_ptr_t self, void* data, std::size_t size) {
    auto* s = static_cast<TlsStream*>(self);
    try {
        if (s->carrier_ == Carrier::Stream) {
            s->socket_.waitReadable(s->timeoutMs_, s->stopFd_);
            for (;;) {
                ssize_t got = ::recv(s->socket_.fd(), data, size, 0);
                if (got < 0 && errno == EINTR) continue;
                if (got < 0) throw SocketClosed(std::string("recv: ") + std::strerror(errno));
                return got;  // 0: the peer closed, which GnuTLS reports
            }
        }
        if (s->in_.empty()) {
            s->flushPrelogin();
            MessageAssembler assembler(s->maxMessageBytes_);
            for (;;) {
                char header[kHeaderSize];
                s->socket_.readExact(header, kHeaderSize, s->timeoutMs_, s->stopFd_);
                PacketHeader h = PacketHeader::parse(std::string_view(header, kHeaderSize));
                if (h.type != kPrelogin)
                    throw ProtocolError("packet type " + std::to_string(h.type) +
                                        " during the TLS handshake");
                std::string payload(h.length - kHeaderSize, '\0');
                s->socket_.readExact(payload.data(), payload.size(), s->timeoutMs_, s->stopFd_);
                if (auto m = assembler.add(h, payload)) {
                    s->in_ = std::move(m->payload);
                    if (!s->in_.empty()) break;
                }
            }
        }
        const std::size_t n = std::min(size, s->in_.size());
        std::copy_n(s->in_.data(), n, static_cast<char*>(data));
        s->in_.erase(0, n);
        return static_cast<ssize_t>(n);
    } catch (...) {
        s->error_ = std::current_exception();
        gnutls_transport_set_errno(s->session_, EIO);
        return -1;
    }
}

ssize_t TlsStream::push(gnutls_transport_ptr_t self, const void* data, std::size_t size) {
    auto* s = static_cast<TlsStream*>(self);
    try {
        if (s->carrier_ == Carrier::Prelogin)
            s->out_.append(static_cast<const char*>(data), size);
        else
            s->socket_.writeAll(std::string_view(static_cast<const char*>(data), size));
        return static_cast<ssize_t>(size);
    } catch (...) {
        s->error_ = std::current_exception();
        gnutls_transport_set_errno(s->session_, EIO);
        return -1;
    }
}

int TlsStream::pullTimeout(gnutls_transport_ptr_t self, unsigned int ms) {
    auto* s = static_cast<TlsStream*>(self);
    if (s->carrier_ == Carrier::Prelogin || !s->in_.empty()) return 1;  // pull blocks itself
    pollfd p{s->socket_.fd(), POLLIN, 0};
    const int wait = ms == GNUTLS_INDEFINITE_TIMEOUT ? s->timeoutMs_ : static_cast<int>(ms);
    int n;
    do {
        n = ::poll(&p, 1, wait);
    } while (n < 0 && errno == EINTR);
    return n < 0 ? -1 : n;
}

bool TlsStream::pending() const {
    return gnutls_record_check_pending(session_) > 0;
}

void TlsStream::waitReadable(int timeoutMs, int stopFd) const {
    if (!pending()) socket_.waitReadable(timeoutMs, stopFd);
}

void TlsStream::readExact(char* out, std::size_t n, int timeoutMs, int stopFd) {
    timeoutMs_ = timeoutMs;
    stopFd_ = stopFd;
    while (n > 0) {
        ssize_t got = gnutls_record_recv(session_, out, n);
        if (got == GNUTLS_E_AGAIN || got == GNUTLS_E_INTERRUPTED) continue;
        if (got == 0) throw SocketClosed("client closed the connection");
        if (got == GNUTLS_E_PREMATURE_TERMINATION && !error_)
            throw SocketClosed("client closed the connection");
        if (got < 0) {
            if (error_) fail(static_cast<int>(got), "");
            throw ProtocolError(std::string("TLS: ") + gnutls_strerror(static_cast<int>(got)));
        }
        out += got;
        n -= static_cast<std::size_t>(got);
    }
}

void TlsStream::writeAll(std::string_view data) {
    while (!data.empty()) {
        ssize_t sent = gnutls_record_send(session_, data.data(), data.size());
        if (sent == GNUTLS_E_AGAIN || sent == GNUTLS_E_INTERRUPTED) continue;
        if (sent < 0) {
            if (error_) fail(static_cast<int>(sent), "");
            throw SocketClosed(std::string("TLS: ") + gnutls_strerror(static_cast<int>(sent)));
        }
        data.remove_prefix(static_cast<std::size_t>(sent));
    }
}

std::string TlsStream::description() const {
    char* desc = gnutls_session_get_desc(session_);
    std::string text = desc ? desc : "TLS";
    gnutls_free(desc);
    return text;
}

std::string TlsStream::alpn() const {
    gnutls_datum_t chosen{nullptr, 0};
    if (gnutls_alpn_get_selected_protocol(session_, &chosen) < 0) return {};
    return std::string(reinterpret_cast<const char*>(chosen.data), chosen.size);
}

}  // namespace sandbox::tds
