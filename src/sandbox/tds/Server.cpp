#include "sandbox/tds/Server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace sandbox::tds {

Server::Server(Engine& engine, ServerLog& log, ServerSettings settings)
    : engine_(engine),
      log_(log),
      settings_(std::move(settings)),
      listener_(Socket::listen(settings_.host, settings_.port)),
      slots_(settings_.maxConnections) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::runtime_error("cannot create the stop pipe");
    stopRead_.reset(ends[0]);
    stopWrite_.reset(ends[1]);
}

Server::~Server() noexcept {
    stop();
    for (auto& w : workers_)
        if (w.thread.joinable()) w.thread.join();
}

void Server::stop() noexcept {
    char byte = 1;
    // The pipe is never drained, so one byte keeps it readable for every waiter.
    [[maybe_unused]] ssize_t n = ::write(stopWrite_.get(), &byte, 1);
}

void Server::run() {
    bool listening = true;
    for (;;) {
        // While accepting is paused the listener is not watched (it stays readable), only the
        // stop pipe, for a while.
        pollfd fds[2] = {{stopRead_.get(), POLLIN, 0}, {listener_.fd(), POLLIN, 0}};
        int n = ::poll(fds, listening ? 2 : 1, listening ? 1000 : kAcceptPauseMs);
        if (n < 0 && errno != EINTR) throw std::runtime_error("poll on the listener failed");
        reapFinished();
        if (n > 0 && fds[0].revents) break;
        listening = !(listening && n > 0 && fds[1].revents) || accept();
    }
    listener_.close();
    for (auto& w : workers_) w.thread.join();
    workers_.clear();
}

bool Server::accept() {
    Socket client(::accept4(listener_.fd(), nullptr, nullptr, SOCK_CLOEXEC));
    if (!client.valid()) {
        const int error = errno;
        if (error != EMFILE && error != ENFILE && error != ENOBUFS && error != ENOMEM)
            return true;  // the client left already, or a transient error
        if (!acceptPaused_)
            log_.write(std::string("cannot accept connections: ") + std::strerror(error) + " (" +
                       std::to_string(workers_.size()) + " connections open); trying again every " +
                       std::to_string(kAcceptPauseMs) + " ms");
        acceptPaused_ = true;
        return false;
    }
    if (acceptPaused_) {
        log_.write("accepting connections again");
        acceptPaused_ = false;
    }
    makeRoomForLogin();
    std::uint16_t spid = nextSpid_;
    nextSpid_ = nextSpid_ >= 32000 ? 51 : nextSpid_ + 1;
    auto finished = std::make_shared<std::atomic<bool>>(false);
    auto connection = std::make_shared<ClientConnection>(
        std::move(client), engine_, log_, settings_.connection, spid, stopRead_.get(), &slots_);
    try {
        std::thread thread([connection, finished] {
            connection->run();
            finished->store(true);
        });
        workers_.push_back({std::move(thread), finished, connection});
    } catch (const std::system_error& e) {
        // No thread to be had: this client is turned away, the others are served on.
        log_.write(std::string("refused a connection: cannot start its thread: ") + e.what());
    }
    return true;
}

// Connections still logging in are at most maxConnections: the oldest of them goes.
void Server::makeRoomForLogin() {
    std::size_t loggingIn = 0;
    Worker* oldest = nullptr;
    for (Worker& w : workers_) {
        if (w.finished->load() || w.connection->loggedIn() || w.connection->evicted()) continue;
        if (!oldest) oldest = &w;
        ++loggingIn;
    }
    if (oldest && loggingIn >= settings_.maxConnections) oldest->connection->evict();
}

void Server::reapFinished() {
    for (auto it = workers_.begin(); it != workers_.end();) {
        if (it->finished->load()) {
            it->thread.join();
            it = workers_.erase(it);
        } else {
            ++it;
        }
    }
}

}  // namespace sandbox::tds
