#include "net/websocket_client.hpp"

#include <openssl/ssl.h>

#include <atomic>
#include <boost/asio/co_spawn.hpp>
#include <boost/asio/detached.hpp>
#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/redirect_error.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/ssl.hpp>
#include <boost/beast/websocket.hpp>
#include <boost/beast/websocket/ssl.hpp>
#include <cctype>
#include <optional>
#include <string_view>
#include <thread>
#include <type_traits>
#include <utility>

#include "net/tls_policy.hpp"

namespace vesk::net {

namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace websocket = beast::websocket;
namespace ssl = asio::ssl;
using tcp = asio::ip::tcp;

// Bytes asked of the socket per read: an oversized message is skipped chunk
// by chunk, so memory stays near the cap.
constexpr std::size_t kReadChunk = 64 * 1024;

struct Endpoint {
    bool tls = false;
    std::string host;        // without brackets
    std::string port;        // explicit or the scheme's default
    std::string hostHeader;  // as the Host header carries it
    std::string target;      // path and query
};

std::optional<Endpoint> parseUrl(std::string_view url) {
    Endpoint ep;
    const auto schemeEnd = url.find("://");
    if (schemeEnd == std::string_view::npos) {
        return std::nullopt;
    }
    std::string scheme(url.substr(0, schemeEnd));
    for (auto& c : scheme) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (scheme == "wss") {
        ep.tls = true;
    } else if (scheme != "ws") {
        return std::nullopt;
    }
    std::string_view rest = url.substr(schemeEnd + 3);
    if (const auto hash = rest.find('#'); hash != std::string_view::npos) {
        rest = rest.substr(0, hash);
    }
    const auto authorityEnd = rest.find_first_of("/?");
    std::string_view authority = rest.substr(0, authorityEnd);
    std::string_view target =
        authorityEnd == std::string_view::npos ? std::string_view{} : rest.substr(authorityEnd);
    if (const auto at = authority.rfind('@'); at != std::string_view::npos) {
        authority = authority.substr(at + 1);
    }
    std::string_view port;
    if (!authority.empty() && authority.front() == '[') {
        const auto close = authority.find(']');
        if (close == std::string_view::npos) {
            return std::nullopt;
        }
        ep.host = std::string(authority.substr(1, close - 1));
        const auto after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':') {
                return std::nullopt;
            }
            port = after.substr(1);
        }
    } else {
        const auto colon = authority.find(':');
        ep.host = std::string(authority.substr(0, colon));
        if (colon != std::string_view::npos) {
            port = authority.substr(colon + 1);
        }
    }
    if (ep.host.empty()) {
        return std::nullopt;
    }
    for (const char c : port) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
    }
    ep.port = port.empty() ? std::string(ep.tls ? "443" : "80") : std::string(port);
    const bool v6 = ep.host.find(':') != std::string::npos;
    ep.hostHeader = v6 ? "[" + ep.host + "]" : ep.host;
    if (!port.empty()) {
        ep.hostHeader += ":" + std::string(port);
    }
    ep.target = target.empty() ? "/" : std::string(target);
    if (ep.target.front() == '?') {
        ep.target.insert(0, "/");
    }
    return ep;
}

// Where events go: the owner's handlers, behind a flag the destructor clears
// so that tasks already queued on the executor do nothing.
struct Sink {
    WebSocketClient::EventHandler onEvent;
    WebSocketClient::TextFilter onText;
    std::atomic<bool> alive{true};
};

class Reporter {
  public:
    Reporter(Executor& executor, std::shared_ptr<Sink> sink, std::size_t maxMessage)
        : executor_(executor), sink_(std::move(sink)), maxMessage_(maxMessage) {}

    void post(WebSocketEvent event) const {
        executor_.post([sink = sink_, event = std::move(event)] {
            if (sink->alive.load() && sink->onEvent) {
                sink->onEvent(event);
            }
        });
    }

    [[nodiscard]] bool accept(ConnectionId id, const std::string& text) const {
        return !sink_->onText || sink_->onText(id, text);
    }

    [[nodiscard]] std::size_t maxMessage() const { return maxMessage_; }

  private:
    Executor& executor_;
    std::shared_ptr<Sink> sink_;
    std::size_t maxMessage_;
};

Error describe(const beast::error_code& ec, std::string_view step) {
    const bool timedOut = ec == beast::error::timeout || ec == asio::error::timed_out;
    Error e = Error::make(
        timedOut ? Error::Kind::timeout : Error::Kind::transport,
        timedOut ? "The real-time connection timed out." : "The real-time connection failed.");
    e.detail = std::string(step) + ": " + ec.message();
    return e;
}

// One connection, driven on the I/O thread only.
class Connection {
  public:
    virtual ~Connection() = default;
    virtual void start() = 0;
    virtual void close(std::uint16_t code, std::optional<std::chrono::milliseconds> force) = 0;
    virtual void abort() = 0;
};

template <bool Tls>
class Session final : public Connection, public std::enable_shared_from_this<Session<Tls>> {
    using Next = std::conditional_t<Tls, beast::ssl_stream<beast::tcp_stream>, beast::tcp_stream>;
    using Ws = websocket::stream<Next>;

  public:
    // `tls` is used only when Tls is true.
    Session(asio::io_context& ioc, ssl::context* tls, ConnectionId id, Endpoint endpoint,
            std::chrono::milliseconds timeout, std::shared_ptr<const Reporter> reporter)
        : id_(id),
          endpoint_(std::move(endpoint)),
          timeout_(timeout),
          reporter_(std::move(reporter)),
          resolver_(ioc),
          forceTimer_(ioc) {
        if constexpr (Tls) {
            ws_.emplace(ioc, *tls);
        } else {
            static_cast<void>(tls);
            ws_.emplace(ioc);
        }
    }

    void start() override {
        // Nothing in the coroutine should throw; if something does, the owner
        // still hears that the connection is gone.
        asio::co_spawn(resolver_.get_executor(), run(this->shared_from_this()),
                       [self = this->shared_from_this()](const std::exception_ptr& failure) {
                           if (failure) {
                               self->finish(asio::error::fault, "unexpected failure");
                           }
                       });
    }

    void close(std::uint16_t code, std::optional<std::chrono::milliseconds> force) override {
        if (done_ || closeRequested_) {
            return;
        }
        closeRequested_ = true;
        if (force) {
            forceTimer_.expires_after(*force);
            forceTimer_.async_wait([self = this->shared_from_this()](const beast::error_code& ec) {
                if (!ec) {
                    self->abort();
                }
            });
        }
        if (!open_) {
            abort();  // nothing to negotiate yet
            return;
        }
        ws_->async_close(websocket::close_reason(code),
                         [self = this->shared_from_this()](const beast::error_code& ec) {
                             if (ec) {
                                 self->abort();
                             }
                         });
    }

    void abort() override {
        if (done_) {
            return;
        }
        closeRequested_ = true;
        resolver_.cancel();
        beast::error_code ignored;
        beast::get_lowest_layer(*ws_).socket().close(ignored);
    }

  private:
    static asio::awaitable<void> run(std::shared_ptr<Session> self) { co_await self->open(); }

    asio::awaitable<void> open() {
        beast::error_code ec;
        auto token = asio::redirect_error(asio::use_awaitable, ec);
        auto& lowest = beast::get_lowest_layer(*ws_);

        const auto results =
            co_await resolver_.async_resolve(endpoint_.host, endpoint_.port, token);
        if (ec || closeRequested_) {
            finish(ec, "resolve");
            co_return;
        }
        lowest.expires_after(timeout_);
        co_await lowest.async_connect(results, token);
        if (ec || closeRequested_) {
            finish(ec, "connect");
            co_return;
        }
        if constexpr (Tls) {
            if (!prepareTls()) {
                finish(asio::error::invalid_argument, "TLS setup");
                co_return;
            }
            lowest.expires_after(timeout_);
            co_await ws_->next_layer().async_handshake(ssl::stream_base::client, token);
            if (ec || closeRequested_) {
                finish(ec, "TLS handshake");
                co_return;
            }
        }
        lowest.expires_never();  // the WebSocket layer keeps its own time from here
        websocket::stream_base::timeout limits{};
        limits.handshake_timeout = timeout_;
        limits.idle_timeout = websocket::stream_base::none();
        limits.keep_alive_pings = false;
        ws_->set_option(limits);
        ws_->set_option(websocket::stream_base::decorator([](websocket::request_type& request) {
            request.set(beast::http::field::user_agent, "VeskSDK");
        }));
        ws_->read_message_max(0);  // the cap is ours: an oversized message is skipped, not fatal
        ws_->control_callback([this](websocket::frame_type kind, beast::string_view) {
            if (kind == websocket::frame_type::pong) {
                reporter_->post({WebSocketEvent::Kind::pong, id_, {}, std::nullopt});
            }
        });
        co_await ws_->async_handshake(endpoint_.hostHeader, endpoint_.target, token);
        if (ec || closeRequested_) {
            finish(ec, "WebSocket handshake");
            co_return;
        }
        open_ = true;
        reporter_->post({WebSocketEvent::Kind::connected, id_, {}, std::nullopt});
        co_await readLoop();
    }

    asio::awaitable<void> readLoop() {
        beast::error_code ec;
        auto token = asio::redirect_error(asio::use_awaitable, ec);
        beast::flat_buffer buffer;
        bool skipping = false;
        for (;;) {
            co_await ws_->async_read_some(buffer, kReadChunk, token);
            if (ec) {
                break;
            }
            if (buffer.size() > reporter_->maxMessage()) {
                buffer.clear();
                skipping = true;
            }
            if (!ws_->is_message_done()) {
                continue;
            }
            if (!skipping) {
                std::string data = beast::buffers_to_string(buffer.data());
                if (ws_->got_binary()) {
                    reporter_->post(
                        {WebSocketEvent::Kind::binary, id_, std::move(data), std::nullopt});
                } else if (reporter_->accept(id_, data)) {
                    reporter_->post(
                        {WebSocketEvent::Kind::text, id_, std::move(data), std::nullopt});
                }
            }
            buffer.clear();
            skipping = false;
        }
        finish(ec, "read");
        co_return;
    }

    bool prepareTls() {
        if constexpr (Tls) {
            SSL* ssl = ws_->next_layer().native_handle();
            beast::error_code ec;
            static_cast<void>(asio::ip::make_address(endpoint_.host, ec));
            const bool literal = !ec;  // no server name indication for an address
            return (literal || SSL_set_tlsext_host_name(ssl, endpoint_.host.c_str()) == 1) &&
                   applyTlsPeerName(SSL_get0_param(ssl), endpoint_.host);
        }
        return true;
    }

    void finish(const beast::error_code& ec, std::string_view step) {
        if (done_) {
            return;
        }
        done_ = true;
        forceTimer_.cancel();
        beast::error_code ignored;
        beast::get_lowest_layer(*ws_).socket().close(ignored);
        std::optional<Error> error;
        if (!closeRequested_ && ec != websocket::error::closed) {
            error = describe(ec ? ec : beast::error_code(asio::error::connection_aborted), step);
        }
        reporter_->post({WebSocketEvent::Kind::disconnected, id_, {}, std::move(error)});
    }

    ConnectionId id_;
    Endpoint endpoint_;
    std::chrono::milliseconds timeout_;
    std::shared_ptr<const Reporter> reporter_;
    tcp::resolver resolver_;
    asio::steady_timer forceTimer_;
    std::optional<Ws> ws_;
    bool open_ = false;
    bool closeRequested_ = false;
    bool done_ = false;
};

}  // namespace

class WebSocketClient::Impl {
  public:
    Impl(Executor& executor, EventHandler onEvent, TextFilter onText, std::size_t maxMessage,
         std::string caFile)
        : caFile_(std::move(caFile)),
          sink_(std::make_shared<Sink>()),
          work_(asio::make_work_guard(ioc_)) {
        sink_->onEvent = std::move(onEvent);
        sink_->onText = std::move(onText);
        reporter_ = std::make_shared<const Reporter>(executor, sink_, maxMessage);
        thread_ = std::thread([this] { ioc_.run(); });
    }

    ~Impl() {
        sink_->alive.store(false);
        work_.reset();
        ioc_.stop();
        thread_.join();
        current_.reset();
    }

    ConnectionId connect(WebSocketRequest request) {
        const ConnectionId id = ++lastId_;
        if (request.timeout <= std::chrono::milliseconds::zero()) {
            request.timeout = WebSocketRequest{}.timeout;
        }
        asio::post(ioc_, [this, id, request = std::move(request)] {
            if (current_) {
                current_->close(1000, std::nullopt);
                current_.reset();
            }
            auto endpoint = parseUrl(request.url);
            if (!endpoint) {
                Error e = Error::make(Error::Kind::transport, "The real-time connection failed.");
                e.detail = "not a ws:// or wss:// URL";
                reporter_->post({WebSocketEvent::Kind::disconnected, id, {}, std::move(e)});
                return;
            }
            if (endpoint->tls) {
                current_ = std::make_shared<Session<true>>(ioc_, &tls(), id, std::move(*endpoint),
                                                           request.timeout, reporter_);
            } else {
                current_ = std::make_shared<Session<false>>(ioc_, nullptr, id, std::move(*endpoint),
                                                            request.timeout, reporter_);
            }
            current_->start();
        });
        return id;
    }

    void disconnect(std::uint16_t code, std::optional<std::chrono::milliseconds> force) {
        asio::post(ioc_, [this, code, force] {
            if (current_) {
                current_->close(code, force);
                current_.reset();
            }
        });
    }

  private:
    // Made on the first wss:// connect, on the I/O thread: a new context and
    // the system trust store cost milliseconds, which neither the caller's
    // thread nor a plain ws:// socket should pay.
    ssl::context& tls() {
        if (!tls_) {
            tls_.emplace(ssl::context::tls_client);
            // An unusable CA file leaves nothing trusted: every handshake fails.
            (void)applyTlsTrust(tls_->native_handle(), caFile_);
        }
        return *tls_;
    }

    const std::string caFile_;
    std::optional<ssl::context> tls_;  // I/O thread only
    asio::io_context ioc_{1};
    std::shared_ptr<Sink> sink_;
    std::shared_ptr<const Reporter> reporter_;
    asio::executor_work_guard<asio::io_context::executor_type> work_;
    std::shared_ptr<Connection> current_;  // I/O thread only
    std::atomic<ConnectionId> lastId_{0};
    std::thread thread_;
};

WebSocketClient::WebSocketClient(Executor& executor, EventHandler onEvent, TextFilter onText,
                                 std::size_t maxMessageSize, std::string caFile)
    : impl_(std::make_unique<Impl>(executor, std::move(onEvent), std::move(onText), maxMessageSize,
                                   std::move(caFile))) {}

WebSocketClient::~WebSocketClient() = default;

ConnectionId WebSocketClient::connect(WebSocketRequest request) {
    return impl_->connect(std::move(request));
}

void WebSocketClient::disconnect(std::uint16_t closeCode,
                                 std::optional<std::chrono::milliseconds> forceTimeout) {
    impl_->disconnect(closeCode, forceTimeout);
}

}  // namespace vesk::net
