#include "RecordingRelay.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace testsupport {

RecordingRelay::RecordingRelay(std::uint16_t serverPort) : serverPort_(serverPort) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    int ends[2];
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listener_, 16) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len) != 0 ||
        ::pipe2(ends, O_CLOEXEC) != 0) {
        if (listener_ >= 0) ::close(listener_);
        throw std::runtime_error("the recording relay cannot listen");
    }
    stopRead_ = ends[0];
    stopWrite_ = ends[1];
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { serve(); });
}

RecordingRelay::~RecordingRelay() {
    char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(stopWrite_, &byte, 1);
    thread_.join();
    ::close(listener_);
    ::close(stopRead_);
    ::close(stopWrite_);
}

std::string RecordingRelay::fromClients() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return fromClients_;
}

std::string RecordingRelay::fromServer() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return fromServer_;
}

// One connection at a time is enough for the tests' clients, which connect one after another.
void RecordingRelay::serve() {
    for (;;) {
        pollfd fds[2] = {{listener_, POLLIN, 0}, {stopRead_, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) return;
        if (fds[1].revents) return;
        if (!(fds[0].revents & POLLIN)) continue;
        int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        relay(client);
        ::close(client);
    }
}

void RecordingRelay::relay(int client) {
    int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(serverPort_);
    if (server < 0 || ::connect(server, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        if (server >= 0) ::close(server);
        return;
    }
    char buf[16384];
    for (bool open = true; open;) {
        pollfd fds[3] = {{client, POLLIN, 0}, {server, POLLIN, 0}, {stopRead_, POLLIN, 0}};
        if (::poll(fds, 3, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[2].revents) break;
        for (int i = 0; i < 2 && open; ++i) {
            if (!fds[i].revents) continue;
            const int from = i == 0 ? client : server, to = i == 0 ? server : client;
            ssize_t n = ::recv(from, buf, sizeof buf, 0);
            if (n <= 0) {
                open = false;
                break;
            }
            {
                std::lock_guard<std::mutex> lock(mutex_);
                (i == 0 ? fromClients_ : fromServer_).append(buf, static_cast<std::size_t>(n));
            }
            for (ssize_t sent = 0; sent < n && open;) {
                ssize_t w =
                    ::send(to, buf + sent, static_cast<std::size_t>(n - sent), MSG_NOSIGNAL);
                if (w <= 0)
                    open = false;
                else
                    sent += w;
            }
        }
    }
    ::close(server);
}

}  // namespace testsupport
