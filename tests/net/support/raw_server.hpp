// A scripted TCP peer on 127.0.0.1 for replies the development server will
// not produce: a peer that never speaks (so TLS never starts), a reply with no
// length that goes on past a size cap, headers that never end, a body that
// stops short and then neither goes on nor ends.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace vesk::net::test {

class RawServer {
  public:
    // With `reply`: reads each request head, writes `reply`, closes; with
    // `holdOpen`, stays silent afterwards instead, until destruction.
    // Without: accepts and never writes; connections stay open until destruction.
    explicit RawServer(std::optional<std::string> reply, bool holdOpen = false);
    RawServer(const RawServer&) = delete;
    RawServer& operator=(const RawServer&) = delete;
    ~RawServer();

    [[nodiscard]] std::uint16_t port() const { return port_; }
    [[nodiscard]] std::string url(const std::string& scheme = "http") const;
    [[nodiscard]] int connectionsAccepted() const { return accepted_.load(); }

  private:
    void run();
    void answer(int fd);

    std::optional<std::string> reply_;
    bool holdOpen_;
    int listenFd_ = -1;
    int stopPipe_[2] = {-1, -1};
    std::uint16_t port_ = 0;
    std::atomic<int> accepted_{0};
    std::vector<int> open_;  // the I/O thread's until it has been joined
    std::thread thread_;
};

}  // namespace vesk::net::test
