#include "ws_server.hpp"

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/detached.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/redirect_error.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <deque>
#include <mutex>
#include <set>
#include <thread>

namespace vesk::net::test {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;

namespace ws_detail {

struct Outgoing {
    enum class Kind { text, binary, ping } kind;
    std::string data;
};

class Conn : public std::enable_shared_from_this<Conn> {
  public:
    explicit Conn(tcp::socket socket) : ws(std::move(socket)) {}

    void push(Outgoing out) {
        queue.push_back(std::move(out));
        if (!writing) {
            writeNext();
        }
    }

    void writeNext() {
        if (queue.empty() || closed) {
            writing = false;
            return;
        }
        writing = true;
        auto self = shared_from_this();
        auto done = [self](const beast::error_code& ec, std::size_t = 0) {
            self->queue.pop_front();
            if (ec) {
                self->writing = false;
                return;
            }
            self->writeNext();
        };
        const Outgoing& out = queue.front();
        if (out.kind == Outgoing::Kind::ping) {
            ws.async_ping({}, [done](const beast::error_code& ec) { done(ec); });
            return;
        }
        ws.text(out.kind == Outgoing::Kind::text);
        ws.async_write(asio::buffer(out.data), done);
    }

    websocket::stream<beast::tcp_stream> ws;
    std::deque<Outgoing> queue;
    bool writing = false;
    bool closed = false;
};

}  // namespace ws_detail
using namespace ws_detail;  // NOLINT(google-build-using-namespace)

struct WsServer::State : std::enable_shared_from_this<WsServer::State> {
    asio::io_context ioc{1};
    tcp::acceptor acceptor{ioc};
    std::thread thread;
    std::set<std::shared_ptr<Conn>> open;  // I/O thread only
    mutable std::mutex mutex;
    std::vector<std::string> targets;
    std::vector<int> closeCodes;
    std::size_t openCount = 0;
    std::size_t handshakes = 0;
    std::uint16_t port = 0;

    asio::awaitable<void> acceptLoop() {
        for (;;) {
            beast::error_code ec;
            tcp::socket socket =
                co_await acceptor.async_accept(asio::redirect_error(asio::use_awaitable, ec));
            if (ec) {
                co_return;
            }
            asio::co_spawn(ioc, serve(std::make_shared<Conn>(std::move(socket))), asio::detached);
        }
    }

    asio::awaitable<void> serve(std::shared_ptr<Conn> conn) {
        beast::error_code ec;
        auto token = asio::redirect_error(asio::use_awaitable, ec);
        beast::flat_buffer buffer;
        beast::http::request<beast::http::string_body> request;
        co_await beast::http::async_read(conn->ws.next_layer(), buffer, request, token);
        if (ec) {
            co_return;
        }
        {
            std::lock_guard lock(mutex);
            targets.emplace_back(request.target());
        }
        conn->ws.read_message_max(64u << 20);
        co_await conn->ws.async_accept(request, token);
        if (ec) {
            co_return;
        }
        open.insert(conn);
        {
            std::lock_guard lock(mutex);
            ++openCount;
            ++handshakes;
        }
        beast::flat_buffer incoming;
        while (!ec) {
            co_await conn->ws.async_read(incoming, token);
            incoming.clear();
        }
        conn->closed = true;
        std::lock_guard lock(mutex);
        if (ec == websocket::error::closed) {
            closeCodes.push_back(static_cast<int>(conn->ws.reason().code));
        }
        if (open.erase(conn) != 0) {
            --openCount;
        }
    }

    void broadcast(Outgoing out) {
        asio::post(ioc, [self = shared_from_this(), out = std::move(out)] {
            for (const auto& conn : self->open) {
                conn->push(out);
            }
        });
    }
};

WsServer::WsServer() : state_(std::make_shared<State>()) {
    auto& s = *state_;
    const tcp::endpoint endpoint(asio::ip::make_address("127.0.0.1"), 0);
    s.acceptor.open(endpoint.protocol());
    s.acceptor.set_option(asio::socket_base::reuse_address(true));
    s.acceptor.bind(endpoint);
    s.acceptor.listen();
    s.port = s.acceptor.local_endpoint().port();
    asio::co_spawn(s.ioc, s.acceptLoop(), asio::detached);
    s.thread = std::thread([state = state_.get()] { state->ioc.run(); });
}

WsServer::~WsServer() {
    asio::post(state_->ioc, [state = state_.get()] {
        beast::error_code ignored;
        state->acceptor.close(ignored);
        for (const auto& conn : state->open) {
            beast::get_lowest_layer(conn->ws).socket().close(ignored);
        }
        state->open.clear();
        state->ioc.stop();  // whatever is still mid-handshake is dropped with the context
    });
    state_->thread.join();
}

std::uint16_t WsServer::port() const {
    return state_->port;
}

std::string WsServer::url() const {
    return "ws://127.0.0.1:" + std::to_string(port());
}

std::vector<std::string> WsServer::targets() const {
    std::lock_guard lock(state_->mutex);
    return state_->targets;
}

std::size_t WsServer::handshakes() const {
    std::lock_guard lock(state_->mutex);
    return state_->handshakes;
}

std::vector<int> WsServer::closeCodes() const {
    std::lock_guard lock(state_->mutex);
    return state_->closeCodes;
}

std::size_t WsServer::openConnections() const {
    std::lock_guard lock(state_->mutex);
    return state_->openCount;
}

void WsServer::sendText(const std::string& text) {
    state_->broadcast({Outgoing::Kind::text, text});
}

void WsServer::sendBinary(const std::string& bytes) {
    state_->broadcast({Outgoing::Kind::binary, bytes});
}

void WsServer::ping() {
    state_->broadcast({Outgoing::Kind::ping, {}});
}

void WsServer::drop() {
    asio::post(state_->ioc, [state = state_.get()] {
        beast::error_code ignored;
        for (const auto& conn : state->open) {
            beast::get_lowest_layer(conn->ws).socket().close(ignored);
        }
    });
}

}  // namespace vesk::net::test
