// The real-time channel's side of one accepted WebSocket, for the transport
// (http_server.cpp, the only file that includes this).
//
// Beast performs the handshake; after it the session speaks the framing itself
// on the stream below, because a server only sends unmasked frames, which are
// encoded once for every socket and written many to one write.
//
// Threading: send() from any thread; everything else on the connection's strand.
#pragma once

#include <array>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/strand.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>
#include <boost/beast/websocket.hpp>
#include <boost/beast/websocket/ssl.hpp>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "http_message.hpp"
#include "realtime.hpp"

namespace vesk::dev {

namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
namespace net = boost::asio;
namespace ssl = net::ssl;
using tcp = net::ip::tcp;
using beast::error_code;

namespace ws {

// What a client may send on a WebSocket is never used; larger frames end the connection.
constexpr std::size_t kClientFrameLimit = std::size_t{1} << 20;
// Frames handed to one write: enough to fill the socket buffer, few enough to answer pings soon.
constexpr std::size_t kBatchFrames = 512;
constexpr std::size_t kBatchBytes = std::size_t{1} << 20;

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

}  // namespace ws
}  // namespace vesk::dev
