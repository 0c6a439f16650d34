#include "sandbox/tds/Socket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace sandbox::tds {
namespace {

std::string formatAddress(const sockaddr_storage& addr) {
    char host[INET6_ADDRSTRLEN] = "?";
    std::uint16_t port = 0;
    if (addr.ss_family == AF_INET) {
        auto* a = reinterpret_cast<const sockaddr_in*>(&addr);
        inet_ntop(AF_INET, &a->sin_addr, host, sizeof host);
        port = ntohs(a->sin_port);
        return std::string(host) + ":" + std::to_string(port);
    }
    auto* a = reinterpret_cast<const sockaddr_in6*>(&addr);
    inet_ntop(AF_INET6, &a->sin6_addr, host, sizeof host);
    port = ntohs(a->sin6_port);
    return "[" + std::string(host) + "]:" + std::to_string(port);
}

std::string errnoText(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

}  // namespace

Socket Socket::listen(const std::string& host, std::uint16_t port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    std::string service = std::to_string(port);
    if (int rc = getaddrinfo(host.c_str(), service.c_str(), &hints, &found); rc != 0)
        throw std::runtime_error("cannot resolve " + host + ": " + gai_strerror(rc));
    std::string lastError = "no address";
    for (addrinfo* ai = found; ai; ai = ai->ai_next) {
        Socket s(::socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC, ai->ai_protocol));
        if (!s.valid()) {
            lastError = errnoText("socket");
            continue;
        }
        int one = 1;
        setsockopt(s.fd(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        if (::bind(s.fd(), ai->ai_addr, ai->ai_addrlen) == 0 && ::listen(s.fd(), 64) == 0) {
            freeaddrinfo(found);
            return s;
        }
        lastError = errnoText("bind");
    }
    freeaddrinfo(found);
    throw std::runtime_error("cannot listen on " + host + ":" + service + ": " + lastError);
}

std::string Socket::localAddress() const {
    sockaddr_storage addr{};
    socklen_t len = sizeof addr;
    if (getsockname(fd_.get(), reinterpret_cast<sockaddr*>(&addr), &len) != 0) return "?";
    return formatAddress(addr);
}

std::uint16_t Socket::localPort() const {
    sockaddr_storage addr{};
    socklen_t len = sizeof addr;
    if (getsockname(fd_.get(), reinterpret_cast<sockaddr*>(&addr), &len) != 0) return 0;
    if (addr.ss_family == AF_INET) return ntohs(reinterpret_cast<sockaddr_in*>(&addr)->sin_port);
    return ntohs(reinterpret_cast<sockaddr_in6*>(&addr)->sin6_port);
}

std::string Socket::peerAddress() const {
    sockaddr_storage addr{};
    socklen_t len = sizeof addr;
    if (getpeername(fd_.get(), reinterpret_cast<sockaddr*>(&addr), &len) != 0) return "?";
    return formatAddress(addr);
}

void Socket::waitReadable(int timeoutMs, int stopFd) const {
    pollfd fds[2] = {{fd_.get(), POLLIN, 0}, {stopFd, POLLIN, 0}};
    for (;;) {
        int n = ::poll(fds, stopFd >= 0 ? 2 : 1, timeoutMs);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw SocketClosed(errnoText("poll"));
        if (n == 0) throw SocketClosed("read timed out");
        if (stopFd >= 0 && fds[1].revents) throw SocketClosed("server stopping");
        return;
    }
}

int Socket::waitLimit(int timeoutMs, Deadline deadline) {
    if (deadline == Deadline::max()) return timeoutMs;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) return 0;
    if (timeoutMs < 0 || left < timeoutMs) return static_cast<int>(left);
    return timeoutMs;
}

void Socket::shutdown() const {
    ::shutdown(fd_.get(), SHUT_RDWR);
}

void Socket::readExact(char* out, std::size_t n, int timeoutMs, int stopFd,
                       Deadline deadline) const {
    while (n > 0) {
        const int limit = waitLimit(timeoutMs, deadline);
        if (limit == 0 && deadline != Deadline::max()) throw SocketClosed("time is up");
        waitReadable(limit, stopFd);
        ssize_t got = ::recv(fd_.get(), out, n, 0);
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (got < 0) throw SocketClosed(errnoText("recv"));
        if (got == 0) throw SocketClosed("client closed the connection");
        out += got;
        n -= static_cast<std::size_t>(got);
    }
}

std::uint8_t Socket::peekByte(int timeoutMs, int stopFd) const {
    for (;;) {
        waitReadable(timeoutMs, stopFd);
        unsigned char byte = 0;
        ssize_t got = ::recv(fd_.get(), &byte, 1, MSG_PEEK);
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (got < 0) throw SocketClosed(errnoText("recv"));
        if (got == 0) throw SocketClosed("client closed the connection");
        return byte;
    }
}

void Socket::writeAll(std::string_view data) const {
    while (!data.empty()) {
        ssize_t sent = ::send(fd_.get(), data.data(), data.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            throw SocketClosed("write timed out");
        if (sent < 0) throw SocketClosed(errnoText("send"));
        data.remove_prefix(static_cast<std::size_t>(sent));
    }
}

void Socket::configureConnection(int sendTimeoutMs) const {
    int one = 1;
    setsockopt(fd_.get(), SOL_SOCKET, SO_KEEPALIVE, &one, sizeof one);
    setsockopt(fd_.get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    timeval tv{sendTimeoutMs / 1000, (sendTimeoutMs % 1000) * 1000};
    setsockopt(fd_.get(), SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

}  // namespace sandbox::tds
