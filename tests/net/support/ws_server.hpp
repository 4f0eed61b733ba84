// A WebSocket server on 127.0.0.1 (ephemeral port) that tests drive: it
// records each handshake's request target, pushes frames to every open
// connection, and drops connections without a close frame.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "vesk/executor.hpp"

namespace vesk::net::test {

// Runs `loop` until `done()` holds, checking it at least every few
// milliseconds (it may depend on the server's thread too); false after a
// generous timeout.
inline bool runUntil(RunLoop& loop, const std::function<bool()>& done,
                     std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (loop.runUntil(done, std::chrono::milliseconds(5))) {
            return true;
        }
    }
    return done();
}

class WsServer {
  public:
    WsServer();
    WsServer(const WsServer&) = delete;
    WsServer& operator=(const WsServer&) = delete;
    ~WsServer();

    [[nodiscard]] std::uint16_t port() const;
    // "ws://127.0.0.1:<port>"
    [[nodiscard]] std::string url() const;

    // The target ("/path?query") of every accepted handshake, in order.
    [[nodiscard]] std::vector<std::string> targets() const;
    // Connections whose handshake completed and that are still open.
    [[nodiscard]] std::size_t openConnections() const;
    // Handshakes completed so far (a connection counts once it can be sent to).
    [[nodiscard]] std::size_t handshakes() const;
    // The code of every close frame a client sent, in order.
    [[nodiscard]] std::vector<int> closeCodes() const;

    // Queued in order on every open connection.
    void sendText(const std::string& text);
    void sendBinary(const std::string& bytes);
    void ping();
    // Closes every connection's TCP socket, no close frame.
    void drop();

  private:
    struct State;
    std::shared_ptr<State> state_;
};

}  // namespace vesk::net::test
