#include "KillingProxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

#include "tds_TokenReader.h"

namespace faults {
namespace {

int connectTo(std::uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool sendAll(int fd, const char* p, std::size_t n) {
    while (n > 0) {
        const ssize_t w = send(fd, p, n, MSG_NOSIGNAL);
        if (w <= 0) return false;
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

// The UCS-2LE text of a SQL batch after its ALL_HEADERS block, non-ASCII as '?'.
std::string batchText(const std::string& payload) {
    std::size_t at = 0;
    if (payload.size() >= 4) {
        const auto* p = reinterpret_cast<const unsigned char*>(payload.data());
        const std::size_t headers =
            p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::size_t>(p[3]) << 24;
        if (headers <= payload.size()) at = headers;
    }
    std::string text;
    for (; at + 1 < payload.size(); at += 2)
        text.push_back(payload[at + 1] == 0 ? payload[at] : '?');
    return text;
}

}  // namespace

KillingProxy::KillingProxy(std::uint16_t upstreamPort, int killAt, std::function<void()> kill)
    : upstream_(upstreamPort), killAt_(killAt), kill_(std::move(kill)) {
    listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (bind(listenFd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        listen(listenFd_, 16) != 0 ||
        getsockname(listenFd_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        throw std::runtime_error("proxy cannot listen");
    port_ = ntohs(a.sin_port);
    acceptor_ = std::thread([this] { acceptLoop(); });
}

KillingProxy::~KillingProxy() {
    stopping_ = true;
    shutdown(listenFd_, SHUT_RDWR);
    acceptor_.join();
    for (auto& t : relays_) t.join();
    close(listenFd_);
}

std::vector<std::string> KillingProxy::passed() const {
    std::lock_guard lock(mutex_);
    return passed_;
}

std::vector<std::string> KillingProxy::malformedAnswers() const {
    std::lock_guard lock(mutex_);
    return malformed_;
}

void KillingProxy::onServerBytes(std::string& pending, std::string& message, bool& skipNext,
                                 bool modern) {
    while (pending.size() >= 8) {
        const std::size_t length =
            static_cast<unsigned char>(pending[2]) << 8 | static_cast<unsigned char>(pending[3]);
        if (length < 8 || pending.size() < length) return;
        const bool last = pending[1] & 0x01;
        // The TLS handshake of an encrypted login travels in PRELOGIN packets: no tokens.
        const bool handshake = pending[0] == 0x12;
        message += pending.substr(8, length - 8);
        pending.erase(0, length);
        if (!last) continue;
        if (skipNext) {
            skipNext = false;
        } else if (!handshake) {
            try {
                tdstest::readAnswer(message, modern);
            } catch (const std::exception& e) {
                std::lock_guard lock(mutex_);
                malformed_.push_back(e.what());
            }
        }
        message.clear();
    }
}

void KillingProxy::acceptLoop() {
    while (!stopping_) {
        const int client = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) return;
        relays_.emplace_back([this, client] { relay(client); });
    }
}

// One header at a time: a packet whose status has the EOM bit (0x01) ends its message. A
// counted message is judged on its first packet.
bool KillingProxy::onClientBytes(std::string& pending, std::string& message, bool& inMessage,
                                 std::string& out) {
    while (pending.size() >= 8) {
        const auto type = static_cast<unsigned char>(pending[0]);
        // A TLS record (content types 20 to 23: the login the client encrypts) passes whole;
        // no TDS packet type lies in that range.
        if (type >= 0x14 && type <= 0x17) {
            const std::size_t record = 5 + (static_cast<unsigned char>(pending[3]) << 8 |
                                            static_cast<unsigned char>(pending[4]));
            if (pending.size() < record) return true;
            out += pending.substr(0, record);
            pending.erase(0, record);
            continue;
        }
        const auto status = static_cast<unsigned char>(pending[1]);
        const std::size_t length =
            static_cast<unsigned char>(pending[2]) << 8 | static_cast<unsigned char>(pending[3]);
        if (length < 8 || pending.size() < length) return true;
        const bool counted = type == 0x01 || type == 0x03 || type == 0x0E;
        if (counted && !inMessage) {
            std::lock_guard lock(mutex_);
            if (++requests_ == killAt_) {
                killed_ = true;
                kill_();
                return false;
            }
        }
        inMessage = !(status & 0x01);
        message += pending.substr(8, length - 8);
        out += pending.substr(0, length);
        if (!inMessage) {
            if (counted) {
                std::lock_guard lock(mutex_);
                passed_.push_back(type == 0x01 ? batchText(message) : "<rpc>");
            }
            message.clear();
        }
        pending.erase(0, length);
    }
    return true;
}

void KillingProxy::relay(int client) {
    const int server = connectTo(upstream_);
    std::string pending, message, answers, answer;
    bool inMessage = false, started = false, skipPreloginReply = false, modern = true;
    pollfd fds[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
    char buf[65536];
    while (server >= 0 && !stopping_) {
        if (poll(fds, 2, 200) <= 0) continue;
        if (fds[1].revents) {
            const ssize_t n = recv(server, buf, sizeof buf, 0);
            if (n <= 0 || !sendAll(client, buf, static_cast<std::size_t>(n))) break;
            answers.append(buf, static_cast<std::size_t>(n));
            onServerBytes(answers, answer, skipPreloginReply, modern);
        }
        if (fds[0].revents) {
            const ssize_t n = recv(client, buf, sizeof buf, 0);
            if (n <= 0) break;
            // Pass on whole packets only, so that a killed request never reaches the server.
            pending.append(buf, static_cast<std::size_t>(n));
            if (!started && !pending.empty()) {
                started = true;
                skipPreloginReply = pending[0] == 0x12;
            }
            // LOGIN7's TDS version (payload bytes 4-7, little-endian) sets the field widths.
            if (pending.size() >= 16 && pending[0] == 0x10)
                modern = static_cast<unsigned char>(pending[15]) >= 0x72;
            std::string out;
            const bool keep = onClientBytes(pending, message, inMessage, out);
            if (!sendAll(server, out.data(), out.size()) || !keep) break;
        }
    }
    if (server >= 0) close(server);
    close(client);
}

}  // namespace faults
