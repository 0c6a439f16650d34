#include "db/odbc/PreloginProbe.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string_view>

#include "base/UniqueFd.h"

namespace dsadmin {
namespace {

using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point deadline) {
    auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

bool waitFor(int fd, short events, Clock::time_point deadline) {
    pollfd p{fd, events, 0};
    for (;;) {
        int n = ::poll(&p, 1, msLeft(deadline));
        if (n < 0 && errno == EINTR) continue;
        return n > 0;
    }
}

UniqueFd connectTo(const ServerAddress& a, Clock::time_point deadline) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (::getaddrinfo(a.host.c_str(), std::to_string(a.port).c_str(), &hints, &found) != 0)
        return {};
    UniqueFd result;
    for (addrinfo* ai = found; ai && !result; ai = ai->ai_next) {
        UniqueFd fd(::socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK,
                             ai->ai_protocol));
        if (!fd) continue;
        int rc = ::connect(fd.get(), ai->ai_addr, ai->ai_addrlen);
        if (rc != 0 && errno != EINPROGRESS) continue;
        int error = rc == 0 ? 0 : -1;
        socklen_t len = sizeof error;
        if (rc != 0 && waitFor(fd.get(), POLLOUT, deadline))
            ::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &error, &len);
        if (error == 0) result = std::move(fd);
    }
    ::freeaddrinfo(found);
    return result;
}

bool sendAll(int fd, std::string_view data, Clock::time_point deadline) {
    while (!data.empty()) {
        ssize_t n = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            if (!waitFor(fd, POLLOUT, deadline)) return false;
            continue;
        }
        if (n <= 0) return false;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool readExact(int fd, std::string& out, std::size_t n, Clock::time_point deadline) {
    while (out.size() < n) {
        char buf[4096];
        ssize_t got = ::recv(fd, buf, std::min(sizeof buf, n - out.size()), 0);
        if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
            if (!waitFor(fd, POLLIN, deadline)) return false;
            continue;
        }
        if (got <= 0) return false;
        out.append(buf, static_cast<std::size_t>(got));
    }
    return true;
}

// A PRELOGIN message: VERSION (6 bytes), ENCRYPTION (1 byte), terminator.
std::string preloginPacket(PreloginEncryption client) {
    const std::string payload = std::string("\x00\x00\x0B\x00\x06\x01\x00\x11\x00\x01\xFF", 11) +
                                std::string("\x01\x00\x00\x00\x00\x00", 6) +
                                std::string(1, static_cast<char>(client));
    const std::size_t length = 8 + payload.size();
    std::string header = {
        '\x12', '\x01', static_cast<char>(length >> 8), static_cast<char>(length & 0xFF), 0, 0,
        1,      0};
    return header + payload;
}

std::optional<PreloginEncryption> encryptionOption(std::string_view payload) {
    for (std::size_t i = 0; i + 5 <= payload.size() && payload[i] != '\xFF'; i += 5) {
        const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(payload[k]); };
        const std::size_t offset = (byte(i + 1) << 8) | byte(i + 2);
        const std::size_t length = (byte(i + 3) << 8) | byte(i + 4);
        if (byte(i) == 1 && length >= 1 && offset < payload.size())
            return static_cast<PreloginEncryption>(byte(offset) & 0x03);
    }
    return std::nullopt;
}

}  // namespace

std::optional<PreloginEncryption> ProbePreloginEncryption(const ServerAddress& address,
                                                          PreloginEncryption client,
                                                          int timeoutMs) {
    const ServerAddress a = WithFreetdsPort(address);
    if (a.port == 0) return std::nullopt;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    UniqueFd fd = connectTo(a, deadline);
    if (!fd || !sendAll(fd.get(), preloginPacket(client), deadline)) return std::nullopt;
    std::string header;
    if (!readExact(fd.get(), header, 8, deadline) || header[0] != '\x04') return std::nullopt;
    const std::size_t length =
        (static_cast<unsigned char>(header[2]) << 8) | static_cast<unsigned char>(header[3]);
    std::string payload;
    if (length < 8 || !readExact(fd.get(), payload, length - 8, deadline)) return std::nullopt;
    return encryptionOption(payload);
}

PreloginEncryption FreetdsPreloginByte(OdbcEncryption encryption) {
    return encryption == OdbcEncryption::Mandatory || encryption == OdbcEncryption::Strict
               ? PreloginEncryption::On
               : PreloginEncryption::Off;
}

std::string SessionEncryption(OdbcEncryption client, PreloginEncryption server) {
    if (client == OdbcEncryption::Strict) return "session";
    switch (server) {
        case PreloginEncryption::NotSupported:
            return "none";
        case PreloginEncryption::Off:
            return "login";  // FreeTDS then encrypts the login packet only, even when it required
                             // more
        case PreloginEncryption::On:
        case PreloginEncryption::Required:
            break;
    }
    return "session";
}

}  // namespace dsadmin
