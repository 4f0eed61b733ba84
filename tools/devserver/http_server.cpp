#include "http_server.hpp"

#include <algorithm>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/beast/http.hpp>
#include <exception>
#include <thread>
#include <type_traits>

#include "ws_session.hpp"

namespace vesk::dev {
namespace {

constexpr auto kIdleTimeout = std::chrono::minutes(5);
constexpr auto kHandshakeTimeout = std::chrono::seconds(30);
constexpr auto kLinger = std::chrono::seconds(5);
constexpr std::size_t kHeaderLimit = 64 * 1024;
constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";

using PlainStream = beast::tcp_stream;
using TlsStream = beast::ssl_stream<beast::tcp_stream>;

HttpReply transportError(int status, std::string_view error, std::string_view message) {
    HttpReply reply;
    reply.status = status;
    reply.body = R"({"meta":{"status":)" + std::to_string(status) + R"(,"error":")" +
                 std::string(error) + R"(","error_message":")" + std::string(message) +
                 R"("},"data":null})";
    return reply;
}

}  // namespace

struct HttpServer::Impl {
    std::optional<ssl::context> tls;  // outlives every stream built on it
    net::io_context io{1};
    tcp::acceptor acceptor{io};
    Handler handler;
    UpgradeHandler upgrade;
    std::size_t bodyLimit = 0;
    std::uint64_t connections = 0;
    std::uint16_t port = 0;
    std::thread thread;

    void accept();
};

namespace {

// One connection. It owns itself through the shared pointers held by its pending operations,
// so it ends when its last operation completes or when the io_context is destroyed.
template <class Stream>
class Session : public std::enable_shared_from_this<Session<Stream>> {
  public:
    template <class... Args>
    Session(HttpServer::Impl& server, std::uint64_t id, tcp::socket socket, Args&&... args)
        : server_(server),
          id_(id),
          stream_(std::move(socket), std::forward<Args>(args)...),
          timer_(stream_.get_executor()) {}

    void run() {
        if constexpr (std::is_same_v<Stream, TlsStream>) {
            lowest().expires_after(kHandshakeTimeout);
            stream_.async_handshake(ssl::stream_base::server,
                                    [self = this->shared_from_this()](error_code ec) {
                                        if (ec) {
                                            self->close();
                                            return;
                                        }
                                        self->read();
                                    });
        } else {
            read();
        }
    }

  private:
    beast::tcp_stream& lowest() { return beast::get_lowest_layer(stream_); }

    void read() {
        parser_.emplace();
        parser_->body_limit(server_.bodyLimit);
        parser_->header_limit(kHeaderLimit);
        lowest().expires_after(kIdleTimeout);
        http::async_read_header(
            stream_, buffer_, *parser_,
            [self = this->shared_from_this()](error_code ec, std::size_t) { self->onHeader(ec); });
    }

    // A client that asks "Expect: 100-continue" waits for the interim reply before it sends the
    // body; without it, curl stalls a second on every large upload.
    void onHeader(error_code ec) {
        if (ec) {
            onRead(ec);
            return;
        }
        const auto expect = parser_->get()[http::field::expect];
        if (beast::iequals(expect, "100-continue") && !parser_->is_done()) {
            net::async_write(stream_, net::buffer(kContinue),
                             [self = this->shared_from_this()](error_code writeError, std::size_t) {
                                 if (writeError) {
                                     self->close();
                                     return;
                                 }
                                 self->readBody();
                             });
            return;
        }
        readBody();
    }

    void readBody() {
        http::async_read(
            stream_, buffer_, *parser_,
            [self = this->shared_from_this()](error_code ec, std::size_t) { self->onRead(ec); });
    }

    void onRead(error_code ec) {
        if (ec == http::error::body_limit) {
            keepAlive_ = false;
            delivery_ = Delivery::normal;
            deliver(transportError(413, "payload_too_large", "Request body exceeds the limit"));
            return;
        }
        if (ec && ec.category() == http::make_error_code(http::error::bad_target).category() &&
            ec != http::error::end_of_stream && ec != http::error::partial_message) {
            keepAlive_ = false;  // a malformed request: answer it, then hang up
            delivery_ = Delivery::normal;
            deliver(transportError(400, "bad_request", "Malformed HTTP request"));
            return;
        }
        if (ec) {
            close();
            return;
        }
        auto& message = parser_->get();
        keepAlive_ = message.keep_alive();
        version_ = message.version();
        HttpRequest request;
        request.method = std::string(message.method_string());
        request.target = std::string(message.target());
        request.connectionId = id_;
        for (const auto& field : message) {
            request.headers.emplace_back(std::string(field.name_string()),
                                         std::string(field.value()));
        }
        if (server_.upgrade && websocket::is_upgrade(message)) {
            upgrade(request);
            return;
        }
        request.body = std::move(message.body());
        parser_.reset();

        HttpOutcome outcome;
        try {
            outcome = server_.handler(std::move(request));
        } catch (const std::exception&) {
            outcome.reply = transportError(500, "internal_error", "Handler failed");
        }
        switch (outcome.delivery) {
            case Delivery::drop:
                close();
                return;
            case Delivery::hang:
                hang();
                return;
            case Delivery::normal:
            case Delivery::truncate:
            case Delivery::paced:
            case Delivery::stall:
                break;
        }
        delivery_ = outcome.delivery;
        chunkBytes_ = std::max<std::size_t>(1, outcome.chunkBytes);
        chunkInterval_ = outcome.chunkInterval;
        if (outcome.delay.count() > 0) {
            pending_ = std::move(outcome.reply);
            timer_.expires_after(outcome.delay);
            timer_.async_wait([self = this->shared_from_this()](error_code waitError) {
                if (waitError) {
                    return;
                }
                self->deliver(std::move(self->pending_));
            });
            return;
        }
        deliver(std::move(outcome.reply));
    }

    // The connection becomes a WebSocket of the real-time channel, or is refused and closed.
    void upgrade(const HttpRequest& request) {
        UpgradeOutcome outcome;
        try {
            outcome = server_.upgrade(request);
        } catch (const std::exception&) {
            outcome.rejection = transportError(500, "internal_error", "Handler failed");
        }
        if (outcome.rejection || !outcome.accept) {
            parser_.reset();
            keepAlive_ = false;
            delivery_ = Delivery::normal;
            deliver(outcome.rejection ? std::move(*outcome.rejection)
                                      : transportError(404, "not_found", "No WebSocket here"));
            return;
        }
        auto socket = std::make_shared<ws::WsSession<Stream>>(
            std::move(stream_), std::move(buffer_), parser_->release());
        parser_.reset();
        socket->start(outcome);
    }

    void deliver(HttpReply reply) {
        switch (delivery_) {
            case Delivery::truncate:
                writeTruncated(reply);
                return;
            case Delivery::paced:
                writePaced(std::move(reply));
                return;
            case Delivery::stall:
                writeStalled(reply);
                return;
            default:
                break;
        }
        response_ = {};
        response_.version(version_);
        const bool valid = reply.status >= 100 && reply.status <= 999;
        response_.result(valid ? static_cast<unsigned>(reply.status) : 500U);
        response_.set(http::field::server, "vesk-devserver");
        response_.set(http::field::content_type, reply.contentType);
        for (const auto& [name, value] : reply.headers) {
            response_.set(name, value);
        }
        response_.body() = std::move(reply.body);
        response_.keep_alive(keepAlive_);
        response_.prepare_payload();
        http::async_write(stream_, response_,
                          [self = this->shared_from_this()](error_code ec, std::size_t) {
                              if (ec) {
                                  self->close();
                              } else if (!self->keepAlive_) {
                                  self->lingerThenClose();
                              } else {
                                  self->read();
                              }
                          });
    }

    // The status line and header fields, written by hand for the deliveries Beast's serializer
    // cannot make (a body shorter than announced, or sent piece by piece).
    static std::string head(const HttpReply& reply, std::size_t announced, bool keepAlive) {
        std::string out = "HTTP/1.1 " + std::to_string(reply.status) + " " +
                          std::string(http::obsolete_reason(
                              http::int_to_status(static_cast<unsigned>(reply.status)))) +
                          "\r\nServer: vesk-devserver\r\nContent-Type: " + reply.contentType +
                          "\r\nContent-Length: " + std::to_string(announced) + "\r\n";
        for (const auto& [name, value] : reply.headers) {
            out += name + ": " + value + "\r\n";
        }
        return out + (keepAlive ? "\r\n" : "Connection: close\r\n\r\n");
    }

    // Headers announce the whole body; half of it is sent before the connection closes.
    void writeTruncated(const HttpReply& reply) {
        const std::size_t announced = reply.body.size() >= 2 ? reply.body.size() : 1024;
        const std::size_t sent = reply.body.size() >= 2 ? reply.body.size() / 2 : reply.body.size();
        raw_ = head(reply, announced, false) + reply.body.substr(0, sent);
        net::async_write(
            stream_, net::buffer(raw_),
            [self = this->shared_from_this()](error_code, std::size_t) { self->close(); });
    }

    // As truncate, but the connection stays open and silent until the client gives up.
    void writeStalled(const HttpReply& reply) {
        const std::size_t announced = reply.body.size() >= 2 ? reply.body.size() : 1024;
        raw_ = head(reply, announced, false) + reply.body.substr(0, reply.body.size() / 2);
        net::async_write(stream_, net::buffer(raw_),
                         [self = this->shared_from_this()](error_code ec, std::size_t) {
                             if (ec) {
                                 self->close();
                                 return;
                             }
                             self->hang();
                         });
    }

    // The head at once, then the body `chunkBytes_` at a time with `chunkInterval_` between
    // pieces, so a client's progress can be watched; the connection is then kept as usual.
    void writePaced(HttpReply reply) {
        raw_ = head(reply, reply.body.size(), keepAlive_);
        paced_ = std::move(reply.body);
        pacedOffset_ = 0;
        net::async_write(stream_, net::buffer(raw_),
                         [self = this->shared_from_this()](error_code ec, std::size_t) {
                             self->onPacedWrite(ec, 0);
                         });
    }

    void onPacedWrite(error_code ec, std::size_t written) {
        if (ec) {
            close();
            return;
        }
        pacedOffset_ += written;
        if (pacedOffset_ >= paced_.size()) {
            paced_.clear();
            if (keepAlive_) {
                read();
            } else {
                lingerThenClose();
            }
            return;
        }
        const auto writeChunk = [self = this->shared_from_this()] {
            const std::size_t n =
                std::min(self->chunkBytes_, self->paced_.size() - self->pacedOffset_);
            self->lowest().expires_after(kIdleTimeout);
            net::async_write(self->stream_,
                             net::buffer(self->paced_.data() + self->pacedOffset_, n),
                             [self](error_code writeError, std::size_t count) {
                                 self->onPacedWrite(writeError, count);
                             });
        };
        if (pacedOffset_ == 0 || chunkInterval_.count() == 0) {
            writeChunk();
            return;
        }
        timer_.expires_after(chunkInterval_);
        timer_.async_wait([self = this->shared_from_this(), writeChunk](error_code waitError) {
            if (waitError) {
                self->close();
                return;
            }
            writeChunk();
        });
    }

    // After a last reply: stop sending but read what the client still sends, so that closing
    // does not reset the connection before the client has read the reply (a 413 sent while the
    // body is still arriving, for one).
    void lingerThenClose() {
        error_code ignored;
        lowest().socket().shutdown(tcp::socket::shutdown_send, ignored);
        lowest().expires_after(kLinger);
        drain();
    }

    void drain() {
        lowest().async_read_some(net::buffer(sink_),
                                 [self = this->shared_from_this()](error_code ec, std::size_t) {
                                     if (ec) {
                                         self->close();
                                         return;
                                     }
                                     self->drain();
                                 });
    }

    // Never answer; keep reading so that the session ends when the client hangs up.
    void hang() {
        lowest().expires_never();
        lowest().async_read_some(net::buffer(sink_),
                                 [self = this->shared_from_this()](error_code ec, std::size_t) {
                                     if (ec) {
                                         self->close();
                                         return;
                                     }
                                     self->hang();
                                 });
    }

    void close() {
        error_code ignored;
        lowest().socket().shutdown(tcp::socket::shutdown_both, ignored);
        lowest().close();
    }

    HttpServer::Impl& server_;
    std::uint64_t id_;
    Stream stream_;
    net::steady_timer timer_;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::string_body>> parser_;
    http::response<http::string_body> response_;
    HttpReply pending_;
    std::string raw_;
    std::array<char, 4096> sink_{};
    std::string paced_;
    std::size_t pacedOffset_ = 0;
    std::size_t chunkBytes_ = 1;
    std::chrono::milliseconds chunkInterval_{0};
    Delivery delivery_ = Delivery::normal;
    bool keepAlive_ = true;
    unsigned version_ = 11;
};

}  // namespace

void HttpServer::Impl::accept() {
    acceptor.async_accept(net::make_strand(io), [this](error_code ec, tcp::socket socket) {
        if (ec == net::error::operation_aborted || !acceptor.is_open()) {
            return;
        }
        if (!ec) {
            socket.set_option(tcp::no_delay(true), ec);
            const std::uint64_t id = ++connections;
            if (tls) {
                std::make_shared<Session<TlsStream>>(*this, id, std::move(socket), *tls)->run();
            } else {
                std::make_shared<Session<PlainStream>>(*this, id, std::move(socket))->run();
            }
        }
        accept();
    });
}

std::unique_ptr<HttpServer> HttpServer::start(const Options& options, Handler handler,
                                              UpgradeHandler upgrade, std::string* error) {
    auto impl = std::make_unique<Impl>();
    impl->handler = std::move(handler);
    impl->upgrade = std::move(upgrade);
    impl->bodyLimit = options.bodyLimit;
    try {
        if (options.tls) {
            impl->tls.emplace(ssl::context::tls_server);
            impl->tls->set_options(ssl::context::default_workarounds | ssl::context::no_sslv2 |
                                   ssl::context::no_sslv3 | ssl::context::no_tlsv1 |
                                   ssl::context::no_tlsv1_1);
            impl->tls->use_certificate_chain_file(options.tls->certificateChainPem);
            impl->tls->use_private_key_file(options.tls->privateKeyPem, ssl::context::pem);
        }
        const tcp::endpoint endpoint(net::ip::make_address(options.host), options.port);
        impl->acceptor.open(endpoint.protocol());
        impl->acceptor.set_option(net::socket_base::reuse_address(true));
        impl->acceptor.bind(endpoint);
        impl->acceptor.listen(net::socket_base::max_listen_connections);
        impl->port = impl->acceptor.local_endpoint().port();
    } catch (const std::exception& e) {
        if (error != nullptr) {
            *error = e.what();
        }
        return nullptr;
    }
    impl->accept();
    Impl* raw = impl.get();
    impl->thread = std::thread([raw] {
        // A fault in one connection's handler must not stop the whole server.
        while (true) {
            try {
                raw->io.run();
                return;
            } catch (const std::exception&) {
            }
        }
    });
    return std::unique_ptr<HttpServer>(new HttpServer(std::move(impl)));
}

HttpServer::HttpServer(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

HttpServer::~HttpServer() {
    net::post(impl_->io, [impl = impl_.get()] {
        error_code ignored;
        impl->acceptor.close(ignored);
        impl->io.stop();
    });
    if (impl_->thread.joinable()) {
        impl_->thread.join();
    }
}

std::uint16_t HttpServer::port() const {
    return impl_->port;
}

}  // namespace vesk::dev
