// A raw WebSocket client for the development server's tests (Boost.Beast), independent of the
// library's own client. Blocking calls, each bounded by a generous timeout; the client runs its
// own io_context on the calling thread.
#pragma once

#include <boost/json/value.hpp>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace vesk::dev::test {

class WsClient {
  public:
    static constexpr std::chrono::seconds kTimeout{30};

    // Connects to 127.0.0.1:`port` and asks to upgrade `target` ("/conversation_reply.1.2?..").
    // Null when refused; *status then holds the HTTP status of the refusal (0: no answer).
    static std::unique_ptr<WsClient> connect(std::uint16_t port, const std::string& target,
                                             int* status = nullptr);
    ~WsClient();
    WsClient(const WsClient&) = delete;
    WsClient& operator=(const WsClient&) = delete;

    // The next text frame; empty when the connection ended or the timeout passed (see below).
    std::optional<std::string> read(std::chrono::milliseconds timeout = kTimeout);
    // The next frame as JSON; null when none came or it is not JSON.
    boost::json::value readJson(std::chrono::milliseconds timeout = kTimeout);

    // Why the last read returned nothing.
    [[nodiscard]] bool timedOut() const;
    [[nodiscard]] bool closedWithCloseFrame() const;  // the server sent a close frame
    [[nodiscard]] std::string lastError() const;

    bool ping();
    bool waitPong(std::chrono::milliseconds timeout = kTimeout);
    bool sendText(const std::string& text);  // the server must ignore it
    bool close();                            // close handshake, started by the client

    struct Impl;

  private:
    explicit WsClient(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace vesk::dev::test
