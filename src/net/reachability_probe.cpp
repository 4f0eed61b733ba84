#include "net/reachability_probe.hpp"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

namespace vesk::net {

namespace {

struct AddressList {
    addrinfo* head = nullptr;
    ~AddressList() {
        if (head != nullptr) {
            freeaddrinfo(head);
        }
    }
};

bool connects(const std::string& host, std::uint16_t port, std::chrono::milliseconds timeout) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    AddressList list;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list.head) != 0) {
        return false;
    }
    for (const addrinfo* a = list.head; a != nullptr; a = a->ai_next) {
        const int fd =
            ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) {
            continue;
        }
        bool ok = ::connect(fd, a->ai_addr, a->ai_addrlen) == 0;
        if (!ok && errno == EINPROGRESS) {
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, static_cast<int>(timeout.count())) == 1) {
                int error = 0;
                socklen_t length = sizeof(error);
                ok = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
            }
        }
        ::close(fd);
        if (ok) {
            return true;
        }
    }
    return false;
}

}  // namespace

struct ReachabilityProbe::Impl {
    struct Request {
        std::string host;
        std::uint16_t port = 0;
        Callback done;
    };

    Impl(Executor& e, std::chrono::milliseconds t) : executor(e), timeout(t) {}

    void run() {
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [this] { return stopping || pending.has_value(); });
            if (stopping) {
                return;
            }
            Request request = std::move(*pending);
            pending.reset();
            lock.unlock();
            const bool reachable = connects(request.host, request.port, timeout);
            executor.post([done = std::move(request.done), reachable] { done(reachable); });
            lock.lock();
        }
    }

    Executor& executor;
    std::chrono::milliseconds timeout;
    std::mutex mutex;
    std::condition_variable wake;
    std::optional<Request> pending;
    bool stopping = false;
    std::thread worker;
};

ReachabilityProbe::ReachabilityProbe(Executor& executor, std::chrono::milliseconds timeout)
    : impl_(std::make_shared<Impl>(executor, timeout)) {
    impl_->worker = std::thread([impl = impl_] { impl->run(); });
}

ReachabilityProbe::~ReachabilityProbe() {
    {
        std::lock_guard lock(impl_->mutex);
        impl_->stopping = true;
    }
    impl_->wake.notify_all();
    impl_->worker.join();
}

void ReachabilityProbe::probe(std::string host, std::uint16_t port, Callback done) {
    {
        std::lock_guard lock(impl_->mutex);
        impl_->pending = Impl::Request{std::move(host), port, std::move(done)};
    }
    impl_->wake.notify_one();
}

bool hostAndPort(const std::string& url, std::string& host, std::uint16_t& port) {
    const auto scheme = url.find("://");
    if (scheme == std::string::npos) {
        return false;
    }
    const std::string name = url.substr(0, scheme);
    std::string rest = url.substr(scheme + 3);
    rest = rest.substr(0, rest.find_first_of("/?#"));
    if (const auto at = rest.rfind('@'); at != std::string::npos) {
        rest = rest.substr(at + 1);
    }
    std::uint16_t defaultPort = 0;
    if (name == "https" || name == "wss") {
        defaultPort = 443;
    } else if (name == "http" || name == "ws") {
        defaultPort = 80;
    }
    std::string portText;
    if (!rest.empty() && rest.front() == '[') {  // [v6]:port
        const auto close = rest.find(']');
        if (close == std::string::npos) {
            return false;
        }
        host = rest.substr(1, close - 1);
        if (close + 1 < rest.size() && rest[close + 1] == ':') {
            portText = rest.substr(close + 2);
        }
    } else {
        const auto colon = rest.rfind(':');
        host = rest.substr(0, colon);
        if (colon != std::string::npos) {
            portText = rest.substr(colon + 1);
        }
    }
    if (host.empty()) {
        return false;
    }
    if (portText.empty()) {
        port = defaultPort;
        return port != 0;
    }
    unsigned long value = 0;
    for (const char c : portText) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + static_cast<unsigned long>(c - '0');
        if (value > 65535) {
            return false;
        }
    }
    port = static_cast<std::uint16_t>(value);
    return port != 0;
}

}  // namespace vesk::net
