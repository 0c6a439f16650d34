#include "tds_RawClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#include <stdexcept>

#include "sandbox/tds/Login7.h"
#include "sandbox/tds/Packet.h"
#include "sandbox/tds/PacketWriter.h"
#include "sandbox/tds/Prelogin.h"
#include "sandbox/tds/SqlBatch.h"

namespace tdstest {

using namespace sandbox::tds;

RawClient::RawClient(const std::string& host, std::uint16_t port, int timeoutMs) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    inet_pton(AF_INET, host.c_str(), &addr.sin_addr);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd_);
        throw std::runtime_error("cannot connect to " + host + ":" + std::to_string(port));
    }
    timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

RawClient::~RawClient() {
    ::close(fd_);
}

void RawClient::sendRaw(std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n <= 0) throw std::runtime_error("send failed");
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

void RawClient::send(std::uint8_t type, std::string_view payload, std::size_t packetSize,
                     std::uint8_t firstStatus) {
    std::string framed = frameMessage(type, payload, packetSize, 0);
    framed[1] = static_cast<char>(framed[1] | firstStatus);
    sendRaw(framed);
}

void RawClient::readExact(char* out, std::size_t n) {
    while (n > 0) {
        ssize_t got = ::recv(fd_, out, n, 0);
        if (got <= 0) throw std::runtime_error("connection closed or timed out while reading");
        out += got;
        n -= static_cast<std::size_t>(got);
    }
}

std::string RawClient::receive() {
    std::string payload;
    lastPackets_ = 0;
    lastMaxLength_ = 0;
    for (;;) {
        char header[8];
        readExact(header, 8);
        PacketHeader h = PacketHeader::parse(std::string_view(header, 8));
        if (h.type != kTabularResult) throw std::runtime_error("server packet not of type 4");
        std::string part(h.length - 8, '\0');
        readExact(part.data(), part.size());
        payload += part;
        ++lastPackets_;
        lastMaxLength_ = std::max<int>(lastMaxLength_, h.length);
        if (h.status & kEndOfMessage) return payload;
    }
}

bool RawClient::closedByServer() {
    char c;
    ssize_t n = ::recv(fd_, &c, 1, 0);
    return n == 0 || (n < 0 && errno == ECONNRESET);
}

std::vector<Token> RawClient::login(const std::string& password, const std::string& database,
                                    std::uint32_t packetSize, const std::string& user) {
    send(kPrelogin, encodePreloginRequest(Encryption::NotSupported, "MSSQLServer"));
    receive();
    Login7 login;
    login.userName = user;
    login.password = password;
    login.database = database;
    login.packetSize = packetSize;
    login.appName = "RawClient";
    login.language = "us_english";
    send(kLogin7, encodeLogin7(login));
    return receiveTokens();
}

std::vector<Token> RawClient::batch(const std::string& sql, std::size_t packetSize) {
    send(kSqlBatch, encodeSqlBatch(sql), packetSize);
    return receiveTokens();
}

}  // namespace tdstest
