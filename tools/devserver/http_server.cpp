#include "http_server.hpp"

#include <array>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>
#include <boost/beast/websocket.hpp>
#include <boost/beast/websocket/ssl.hpp>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <type_traits>

namespace vesk::dev {
namespace {

namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
namespace net = boost::asio;
namespace ssl = net::ssl;
using tcp = net::ip::tcp;
using beast::error_code;

constexpr auto kIdleTimeout = std::chrono::minutes(5);
constexpr auto kHandshakeTimeout = std::chrono::seconds(30);
constexpr auto kLinger = std::chrono::seconds(5);
constexpr std::size_t kHeaderLimit = 64 * 1024;
constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
// What a client may send on a WebSocket is never used; larger frames end the connection.
constexpr std::size_t kClientFrameLimit = std::size_t{1} << 20;
// Frames handed to one write: enough to fill the socket buffer, few enough to answer pings soon.
constexpr std::size_t kBatchFrames = 512;
constexpr std::size_t kBatchBytes = std::size_t{1} << 20;

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

// An accepted WebSocket of the real-time channel. Beast performs the handshake; after it the
// session speaks the framing itself on the stream below, because a server only sends unmasked
// frames, which are encoded once for every socket and written many to one write.
//
// Frames handed to send() from any thread wait in `incoming_` (under `mutex_`) until the strand
// moves them to `queue_`; one post per batch, not per frame. What the client sends is read only
// to answer pings and the close handshake.
template <class Stream>
class WsSession : public FrameSink, public std::enable_shared_from_this<WsSession<Stream>> {
  public:
    WsSession(Stream&& stream, beast::flat_buffer&& leftover,
              http::request<http::string_body>&& request)
        : ws_(std::move(stream)),
          executor_(ws_.get_executor()),
          read_(std::move(leftover)),
          request_(std::move(request)) {}

    void start(const UpgradeOutcome& outcome) {
        onEnd_ = outcome.accept(this->shared_from_this());
        lowest().expires_never();
        ws_.set_option(websocket::stream_base::decorator([](websocket::response_type& response) {
            response.set(http::field::server, "vesk-devserver");
        }));
        ws_.async_accept(request_,
                         [self = this->shared_from_this()](error_code ec) { self->onAccept(ec); });
    }

    void send(const Frame* frames, std::size_t count) override {
        std::lock_guard lock(mutex_);
        if (dead_) {
            return;
        }
        incoming_.insert(incoming_.end(), frames, frames + count);
        if (!flushPosted_) {
            flushPosted_ = true;
            net::post(executor_, [self = this->shared_from_this()] { self->flush(); });
        }
    }

    void drop() override {
        net::post(executor_, [self = this->shared_from_this()] { self->end(); });
    }

  private:
    beast::tcp_stream& lowest() { return beast::get_lowest_layer(ws_); }

    void onAccept(error_code ec) {
        request_ = {};
        if (ec) {
            end();
            return;
        }
        open_ = true;
        write();
        parse();  // bytes that came behind the upgrade request
    }

    void flush() {
        std::vector<Frame> arrived;
        {
            std::lock_guard lock(mutex_);
            arrived.swap(incoming_);
            flushPosted_ = false;
        }
        if (closing_ || ended_) {
            return;
        }
        queue_.insert(queue_.end(), std::make_move_iterator(arrived.begin()),
                      std::make_move_iterator(arrived.end()));
        write();
    }

    void write() {
        if (!open_ || ended_ || writing_) {
            return;
        }
        if (queue_.empty()) {
            if (closing_) {
                end();
            }
            return;
        }
        std::size_t bytes = 0;
        while (!queue_.empty() && inflight_.size() < kBatchFrames && bytes < kBatchBytes) {
            bytes += queue_.front()->size();
            inflight_.push_back(std::move(queue_.front()));
            queue_.pop_front();
        }
        buffers_.clear();
        for (const Frame& f : inflight_) {
            buffers_.emplace_back(f->data(), f->size());
        }
        writing_ = true;
        net::async_write(ws_.next_layer(), buffers_,
                         [self = this->shared_from_this()](error_code ec, std::size_t) {
                             self->writing_ = false;
                             self->inflight_.clear();
                             if (ec) {
                                 self->end();
                                 return;
                             }
                             self->write();
                         });
    }

    void read() {
        if (read_.size() > kClientFrameLimit + 14) {
            end();
            return;
        }
        ws_.next_layer().async_read_some(
            read_.prepare(16 * 1024),
            [self = this->shared_from_this()](error_code ec, std::size_t n) {
                if (ec) {
                    self->end();
                    return;
                }
                self->read_.commit(n);
                self->parse();
            });
    }

    // Takes every whole frame from `read_`, then reads on unless the close handshake began.
    void parse() {
        while (!ended_ && !closing_) {
            const auto* data = static_cast<const unsigned char*>(read_.data().data());
            const std::size_t size = read_.size();
            if (size < 2) {
                break;
            }
            const unsigned opcode = data[0] & 0x0fu;
            const bool masked = (data[1] & 0x80u) != 0;
            std::uint64_t length = data[1] & 0x7fu;
            std::size_t header = 2;
            if (length == 126) {
                if (size < 4) {
                    break;
                }
                length = (std::uint64_t{data[2]} << 8) | data[3];
                header = 4;
            } else if (length == 127) {
                if (size < 10) {
                    break;
                }
                length = 0;
                for (std::size_t i = 2; i < 10; ++i) {
                    length = (length << 8) | data[i];
                }
                header = 10;
            }
            if (length > kClientFrameLimit) {
                end();
                return;
            }
            const std::size_t maskAt = header;
            header += masked ? 4 : 0;
            const auto n = static_cast<std::size_t>(length);
            if (size < header + n) {
                break;
            }
            if (opcode == 0x8 || opcode == 0x9) {
                std::string payload(reinterpret_cast<const char*>(data) + header, n);
                if (masked) {
                    for (std::size_t i = 0; i < n; ++i) {
                        payload[i] = static_cast<char>(static_cast<unsigned char>(payload[i]) ^
                                                       data[maskAt + i % 4]);
                    }
                }
                read_.consume(header + n);
                control(opcode, payload);
            } else {
                read_.consume(header + n);  // data and pongs: the server has no use for them
            }
        }
        if (!ended_ && !closing_) {
            read();
        }
    }

    void control(unsigned opcode, const std::string& payload) {
        std::string frame;
        if (opcode == 0x9) {  // ping: pong with the same payload
            frame.push_back(static_cast<char>(0x8a));
            frame.push_back(static_cast<char>(payload.size() & 0x7f));
            frame += payload.substr(0, 125);
        } else {  // close: echo the status code, then hang up once it is written
            const std::string code = payload.size() >= 2 ? payload.substr(0, 2) : std::string();
            frame.push_back(static_cast<char>(0x88));
            frame.push_back(static_cast<char>(code.size()));
            frame += code;
            closing_ = true;
        }
        queue_.push_back(std::make_shared<const std::string>(std::move(frame)));
        write();
    }

    void end() {
        if (ended_) {
            return;
        }
        ended_ = true;
        {
            std::lock_guard lock(mutex_);
            dead_ = true;
            incoming_.clear();
        }
        queue_.clear();
        error_code ignored;
        lowest().socket().shutdown(tcp::socket::shutdown_both, ignored);
        lowest().close();
        if (onEnd_) {
            auto onEnd = std::move(onEnd_);
            onEnd_ = nullptr;
            onEnd();
        }
    }

    websocket::stream<Stream> ws_;
    net::any_io_executor executor_;
    beast::flat_buffer read_;
    http::request<http::string_body> request_;
    std::function<void()> onEnd_;

    std::mutex mutex_;  // guards the three below
    std::vector<Frame> incoming_;
    bool flushPosted_ = false;
    bool dead_ = false;

    // On the strand only.
    std::deque<Frame> queue_;
    std::vector<Frame> inflight_;
    std::vector<net::const_buffer> buffers_;
    bool open_ = false, writing_ = false, closing_ = false, ended_ = false;
};

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
            truncate_ = false;
            deliver(transportError(413, "payload_too_large", "Request body exceeds the limit"));
            return;
        }
        if (ec && ec.category() == http::make_error_code(http::error::bad_target).category() &&
            ec != http::error::end_of_stream && ec != http::error::partial_message) {
            keepAlive_ = false;  // a malformed request: answer it, then hang up
            truncate_ = false;
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
                break;
        }
        truncate_ = outcome.delivery == Delivery::truncate;
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
            truncate_ = false;
            deliver(outcome.rejection ? std::move(*outcome.rejection)
                                      : transportError(404, "not_found", "No WebSocket here"));
            return;
        }
        auto socket = std::make_shared<WsSession<Stream>>(std::move(stream_), std::move(buffer_),
                                                          parser_->release());
        parser_.reset();
        socket->start(outcome);
    }

    void deliver(HttpReply reply) {
        if (truncate_) {
            writeTruncated(reply);
            return;
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

    // Headers announce the whole body; half of it is sent before the connection closes.
    void writeTruncated(const HttpReply& reply) {
        const std::size_t announced = reply.body.size() >= 2 ? reply.body.size() : 1024;
        const std::size_t sent = reply.body.size() >= 2 ? reply.body.size() / 2 : reply.body.size();
        raw_ = "HTTP/1.1 " + std::to_string(reply.status) + " " +
               std::string(http::obsolete_reason(
                   http::int_to_status(static_cast<unsigned>(reply.status)))) +
               "\r\nContent-Type: " + reply.contentType +
               "\r\nContent-Length: " + std::to_string(announced) +
               "\r\nConnection: close\r\n\r\n" + reply.body.substr(0, sent);
        net::async_write(
            stream_, net::buffer(raw_),
            [self = this->shared_from_this()](error_code, std::size_t) { self->close(); });
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
    bool keepAlive_ = true;
    bool truncate_ = false;
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
