#include "ws_client.hpp"

#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/websocket.hpp>
#include <boost/json/parse.hpp>
#include <functional>

namespace vesk::dev::test {

namespace beast = boost::beast;
namespace websocket = beast::websocket;
namespace net = boost::asio;
using tcp = net::ip::tcp;

struct WsClient::Impl {
    net::io_context io;
    websocket::stream<beast::tcp_stream> ws{io};
    beast::flat_buffer buffer;
    beast::error_code readError;
    bool reading = false;  // a read is pending
    bool arrived = false;  // a read completed and its result is not taken yet
    bool timedOut = false;
    bool pong = false;

    // Runs handlers until `done` holds or the timeout passes; true when it holds.
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
        io.restart();
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!done()) {
            if (io.run_one_until(deadline) == 0) {
                if (io.stopped()) {
                    io.restart();
                }
                if (std::chrono::steady_clock::now() >= deadline) {
                    return done();
                }
            }
        }
        return true;
    }

    void startRead() {
        if (reading || arrived) {
            return;
        }
        reading = true;
        ws.async_read(buffer, [this](beast::error_code ec, std::size_t) {
            reading = false;
            arrived = true;
            readError = ec;
        });
    }

    template <class Start>
    beast::error_code await(Start start) {
        bool done = false;
        beast::error_code result;
        start([&](beast::error_code ec) {
            done = true;
            result = ec;
        });
        if (!runUntil([&] { return done; }, kTimeout)) {
            beast::get_lowest_layer(ws).cancel();
            runUntil([&] { return done; }, kTimeout);
            return net::error::timed_out;
        }
        return result;
    }
};

std::unique_ptr<WsClient> WsClient::connect(std::uint16_t port, const std::string& target,
                                            int* status) {
    auto impl = std::make_unique<Impl>();
    if (status != nullptr) {
        *status = 0;
    }
    beast::error_code ec;
    beast::get_lowest_layer(impl->ws).socket().connect(
        tcp::endpoint(net::ip::make_address("127.0.0.1"), port), ec);
    if (ec) {
        return nullptr;
    }
    Impl* raw = impl.get();
    raw->ws.control_callback([raw](websocket::frame_type kind, beast::string_view) {
        if (kind == websocket::frame_type::pong) {
            raw->pong = true;
        }
    });
    websocket::response_type response;
    ec = raw->await([&](auto done) {
        raw->ws.async_handshake(response, "127.0.0.1:" + std::to_string(port), target,
                                [done](beast::error_code e) { done(e); });
    });
    if (ec) {
        if (status != nullptr) {
            *status = static_cast<int>(response.result_int());
        }
        return nullptr;
    }
    if (status != nullptr) {
        *status = static_cast<int>(response.result_int());
    }
    return std::unique_ptr<WsClient>(new WsClient(std::move(impl)));
}

WsClient::WsClient(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

WsClient::~WsClient() {
    beast::error_code ignored;
    beast::get_lowest_layer(impl_->ws).socket().close(ignored);
}

std::optional<std::string> WsClient::read(std::chrono::milliseconds timeout) {
    Impl& d = *impl_;
    d.timedOut = false;
    d.startRead();
    if (!d.runUntil([&] { return d.arrived; }, timeout)) {
        d.timedOut = true;
        return std::nullopt;
    }
    d.arrived = false;
    if (d.readError) {
        return std::nullopt;
    }
    std::string text = beast::buffers_to_string(d.buffer.data());
    d.buffer.consume(d.buffer.size());
    return text;
}

boost::json::value WsClient::readJson(std::chrono::milliseconds timeout) {
    const auto text = read(timeout);
    if (!text) {
        return nullptr;
    }
    boost::json::error_code ec;
    boost::json::value v = boost::json::parse(*text, ec);
    return ec ? boost::json::value(nullptr) : v;
}

bool WsClient::timedOut() const {
    return impl_->timedOut;
}

bool WsClient::closedWithCloseFrame() const {
    return impl_->readError == websocket::error::closed;
}

std::string WsClient::lastError() const {
    return impl_->timedOut ? "timed out" : impl_->readError.message();
}

bool WsClient::ping() {
    return !impl_->await(
        [&](auto done) { impl_->ws.async_ping({}, [done](beast::error_code e) { done(e); }); });
}

bool WsClient::waitPong(std::chrono::milliseconds timeout) {
    Impl& d = *impl_;
    d.startRead();
    d.runUntil([&] { return d.pong || d.arrived; }, timeout);
    return d.pong;
}

bool WsClient::sendText(const std::string& text) {
    return !impl_->await([&](auto done) {
        impl_->ws.async_write(net::buffer(text),
                              [done](beast::error_code e, std::size_t) { done(e); });
    });
}

bool WsClient::close() {
    return !impl_->await([&](auto done) {
        impl_->ws.async_close(websocket::close_code::normal,
                              [done](beast::error_code e) { done(e); });
    });
}

}  // namespace vesk::dev::test
