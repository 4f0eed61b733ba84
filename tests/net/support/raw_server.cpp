#include "raw_server.hpp"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace vesk::net::test {
namespace {

constexpr int kReadWaitMs = 10'000;

}  // namespace

RawServer::RawServer(std::optional<std::string> reply, bool holdOpen)
    : reply_(std::move(reply)), holdOpen_(holdOpen) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof(address);
    if (listenFd_ < 0 ||
        ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(listenFd_, 16) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::pipe2(stopPipe_, O_CLOEXEC) != 0) {
        throw std::runtime_error("RawServer: cannot listen on 127.0.0.1");
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { run(); });
}

RawServer::~RawServer() {
    const char byte = 0;
    static_cast<void>(::write(stopPipe_[1], &byte, 1));
    thread_.join();
    for (const int fd : open_) {
        ::close(fd);
    }
    ::close(listenFd_);
    ::close(stopPipe_[0]);
    ::close(stopPipe_[1]);
}

std::string RawServer::url(const std::string& scheme) const {
    return scheme + "://127.0.0.1:" + std::to_string(port_) + "/";
}

void RawServer::run() {
    for (;;) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            continue;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            return;
        }
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        ++accepted_;
        if (!reply_) {
            open_.push_back(fd);
            continue;
        }
        answer(fd);
    }
}

void RawServer::answer(int fd) {
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos) {
        pollfd in{fd, POLLIN, 0};
        if (::poll(&in, 1, kReadWaitMs) <= 0) {
            ::close(fd);
            return;
        }
        const ssize_t n = ::recv(fd, buffer, sizeof(buffer), 0);
        if (n <= 0) {
            ::close(fd);
            return;
        }
        head.append(buffer, static_cast<std::size_t>(n));
    }
    std::size_t sent = 0;
    while (sent < reply_->size()) {
        // The client may hang up early (that is often the point): no SIGPIPE.
        const ssize_t n = ::send(fd, reply_->data() + sent, reply_->size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            ::close(fd);
            return;
        }
        sent += static_cast<std::size_t>(n);
    }
    if (holdOpen_) {
        open_.push_back(fd);
        return;
    }
    ::shutdown(fd, SHUT_WR);
    ::close(fd);
}

}  // namespace vesk::net::test
