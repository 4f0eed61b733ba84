// The transport of the development server: one listening socket, HTTP/1.1 with keep-alive over
// plain TCP or TLS, the delivery modes that fault injection needs, and WebSocket upgrades on the
// same port. This is the only part of the server that sees Asio and Beast.
//
// Threading: one I/O thread, started by start() and joined by the destructor. The handlers run on
// that thread, one request at a time per connection. A WebSocket's FrameSink may be called from
// any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "dev_server.hpp"
#include "http_message.hpp"
#include "realtime.hpp"

namespace vesk::dev {

class HttpServer {
  public:
    using Handler = std::function<HttpOutcome(HttpRequest&&)>;
    using UpgradeHandler = std::function<UpgradeOutcome(const HttpRequest&)>;

    struct Options {
        std::string host = "127.0.0.1";
        std::uint16_t port = 0;
        std::optional<TlsFiles> tls;
        std::size_t bodyLimit = std::size_t{32} << 20;
    };

    // Null when the address cannot be bound or the TLS files cannot be loaded.
    // Without an upgrade handler, upgrade requests go to `handler` like any other.
    static std::unique_ptr<HttpServer> start(const Options& options, Handler handler,
                                             UpgradeHandler upgrade, std::string* error);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    [[nodiscard]] std::uint16_t port() const;

    struct Impl;

  private:
    explicit HttpServer(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace vesk::dev
