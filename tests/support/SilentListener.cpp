#include "support/SilentListener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace testsupport {

SilentListener::SilentListener() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&a), len) != 0 ||
        ::listen(fd_, 128) != 0 || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        if (fd_ >= 0) ::close(fd_);
        throw std::runtime_error("SilentListener: cannot listen on 127.0.0.1");
    }
    port_ = ntohs(a.sin_port);
}

void SilentListener::dropOne() {
    pollfd waiting{fd_, POLLIN, 0};
    if (::poll(&waiting, 1, 30000) != 1) return;
    const int client = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) return;
    pollfd first{client, POLLIN, 0};
    char buf[4096];
    if (::poll(&first, 1, 30000) == 1) (void)::recv(client, buf, sizeof buf, 0);
    ::close(client);
}

SilentListener::~SilentListener() {
    ::close(fd_);
}

}  // namespace testsupport
