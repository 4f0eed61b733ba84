// A receive-only WebSocket client: ws:// over TCP, wss:// over TLS with SNI
// and certificate verification against the system's trust store.
//
// Threading: Asio runs on one I/O thread the client owns. Every event is
// posted to the executor given at construction, in the order it happened;
// the optional text filter runs on the I/O thread first (for state that must
// follow the wire, such as a resume point). `connect` and `disconnect` may be
// called from any thread. The executor must outlive the client. Destruction
// stops and joins the I/O thread; no handler runs after it, even one whose
// task was already queued.
//
// The library never writes a frame of its own; Beast answers pings.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/error.hpp"
#include "vesk/executor.hpp"

namespace vesk::net {

struct WebSocketRequest {
    std::string url;  // ws://host[:port]/path?query or wss://...
    // Limit for each step of opening: TCP connect, TLS handshake, WebSocket
    // handshake; also for the closing handshake. Zero or less means the default.
    std::chrono::milliseconds timeout{std::chrono::seconds(60)};
};

// Each `connect` opens a connection with a new id; events carry it, so a
// receiver can tell a replaced connection's last events from the new one's.
using ConnectionId = std::uint64_t;

struct WebSocketEvent {
    enum class Kind { connected, disconnected, text, binary, pong };

    Kind kind = Kind::connected;
    ConnectionId connection = 0;
    std::string payload;         // the text, or the binary frame's bytes
    std::optional<Error> error;  // disconnected: why; absent after a close we or the peer asked for
};

class WebSocketClient {
  public:
    // Larger messages are skipped whole, without closing the connection.
    static constexpr std::size_t kMaxMessageSize = std::size_t{4} << 20;

    using EventHandler = std::function<void(const WebSocketEvent&)>;
    // Runs on the I/O thread for each text message before it is posted;
    // returning false drops it.
    using TextFilter = std::function<bool(ConnectionId, const std::string&)>;

    // `caFile`: a PEM file of the CAs trusted instead of the system's store.
    WebSocketClient(Executor& executor, EventHandler onEvent, TextFilter onText = {},
                    std::size_t maxMessageSize = kMaxMessageSize, std::string caFile = {});
    WebSocketClient(const WebSocketClient&) = delete;
    WebSocketClient& operator=(const WebSocketClient&) = delete;
    ~WebSocketClient();

    // Opens a connection to `request.url`. A connection still open or opening
    // is closed first (normal closure) and reports its `disconnected` as
    // usual; until its close completes it may still report frames, under its
    // own id. A URL that cannot be used reports `disconnected` with an error.
    ConnectionId connect(WebSocketRequest request);

    // Closes the current connection with `closeCode`; after `forceTimeout`
    // without the peer's answer, drops it. No-op without a connection.
    void disconnect(std::uint16_t closeCode = 1000,
                    std::optional<std::chrono::milliseconds> forceTimeout = std::nullopt);

  private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace vesk::net
