#include "sandbox/tds/Server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#include <system_error>

namespace sandbox::tds {

Server::Server(Engine& engine, ServerLog& log, ServerSettings settings)
    : engine_(engine),
      log_(log),
      settings_(std::move(settings)),
      listener_(Socket::listen(settings_.host, settings_.port)) {
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
    for (;;) {
        pollfd fds[2] = {{listener_.fd(), POLLIN, 0}, {stopRead_.get(), POLLIN, 0}};
        int n = ::poll(fds, 2, 1000);
        if (n < 0 && errno != EINTR) throw std::runtime_error("poll on the listener failed");
        reapFinished();
        if (n > 0 && fds[1].revents) break;
        if (n > 0 && fds[0].revents) accept();
    }
    listener_.close();
    for (auto& w : workers_) w.thread.join();
    workers_.clear();
}

void Server::accept() {
    Socket client(::accept4(listener_.fd(), nullptr, nullptr, SOCK_CLOEXEC));
    if (!client.valid()) return;  // the client left already, or a transient error
    if (workers_.size() >= settings_.maxConnections) {
        log_.write("refused connection from " + client.peerAddress() + ": " +
                   std::to_string(settings_.maxConnections) + " connections already open");
        return;
    }
    std::uint16_t spid = nextSpid_;
    nextSpid_ = nextSpid_ >= 32000 ? 51 : nextSpid_ + 1;
    auto finished = std::make_shared<std::atomic<bool>>(false);
    auto connection = std::make_shared<ClientConnection>(
        std::move(client), engine_, log_, settings_.connection, spid, stopRead_.get());
    try {
        std::thread thread([connection, finished] {
            connection->run();
            finished->store(true);
        });
        workers_.push_back({std::move(thread), finished});
    } catch (const std::system_error& e) {
        // No thread to be had: this client is turned away, the others are served on.
        log_.write(std::string("refused a connection: cannot start its thread: ") + e.what());
    }
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
