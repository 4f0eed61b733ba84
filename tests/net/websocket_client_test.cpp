#include "net/websocket_client.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "support/client_harness.hpp"
#include "support/queue_executor.hpp"
#include "support/raw_server.hpp"
#include "support/ws_server.hpp"

namespace vesk::net {
namespace {

using Kind = WebSocketEvent::Kind;
using test::runUntil;

constexpr std::chrono::milliseconds kTimeout = std::chrono::seconds(20);

// Every event the client reported, and whether each ran on the loop's thread.
struct Recorder {
    std::vector<WebSocketEvent> events;
    bool onLoop = true;

    [[nodiscard]] std::vector<std::string> payloads(Kind kind) const {
        std::vector<std::string> out;
        for (const auto& e : events) {
            if (e.kind == kind) {
                out.push_back(e.payload);
            }
        }
        return out;
    }
    [[nodiscard]] std::size_t count(Kind kind) const { return payloads(kind).size(); }
    [[nodiscard]] const WebSocketEvent* last(Kind kind) const {
        for (auto it = events.rbegin(); it != events.rend(); ++it) {
            if (it->kind == kind) {
                return &*it;
            }
        }
        return nullptr;
    }
};

class WebSocketClientTest : public ::testing::Test {
  protected:
    std::unique_ptr<WebSocketClient> makeClient(WebSocketClient::TextFilter filter = {}) {
        return std::make_unique<WebSocketClient>(
            loop,
            [this](const WebSocketEvent& e) {
                recorder.onLoop = recorder.onLoop && loop.isCurrent();
                recorder.events.push_back(e);
            },
            std::move(filter));
    }

    bool connected(std::size_t n = 1) {
        // The server too: a frame sent before it has the connection would go nowhere.
        const bool ok = runUntil(
            loop, [&] { return recorder.count(Kind::connected) >= n && server.handshakes() >= n; });
        if (!ok) {
            for (const auto& e : recorder.events) {
                ADD_FAILURE() << "event " << static_cast<int>(e.kind) << " "
                              << (e.error ? e.error->detail : std::string("-"));
            }
        }
        return ok;
    }

    RunLoop loop;
    test::WsServer server;
    Recorder recorder;
};

TEST_F(WebSocketClientTest, TextFramesReachTheExecutorOnceInOrder) {
    auto client = makeClient();
    const ConnectionId id =
        client->connect({server.url() + "/a.1.2/b.1.2?auth_token=t&tag=x%2E", kTimeout});
    ASSERT_TRUE(connected());
    EXPECT_EQ(server.targets(), std::vector<std::string>{"/a.1.2/b.1.2?auth_token=t&tag=x%2E"});

    std::vector<std::string> sent;
    for (int i = 0; i < 200; ++i) {
        sent.push_back("frame " + std::to_string(i));
        server.sendText(sent.back());
    }
    ASSERT_TRUE(runUntil(loop, [&] { return recorder.count(Kind::text) == sent.size(); }));
    loop.runPending();
    EXPECT_EQ(recorder.payloads(Kind::text), sent);
    EXPECT_TRUE(recorder.onLoop);
    for (const auto& e : recorder.events) {
        EXPECT_EQ(e.connection, id);
    }
}

TEST_F(WebSocketClientTest, BinaryAndOversizedMessagesAreNotTextAndTheConnectionStays) {
    auto client = makeClient();
    client->connect({server.url() + "/", kTimeout});
    ASSERT_TRUE(connected());

    const std::string atCap(WebSocketClient::kMaxMessageSize, 'a');
    server.sendBinary(std::string("\x00\x01\xff", 3));
    server.sendText(std::string(WebSocketClient::kMaxMessageSize + 1, 'x'));
    server.sendBinary(std::string(WebSocketClient::kMaxMessageSize + 1, 'y'));
    server.sendText(atCap);
    server.ping();
    server.sendText("after");
    ASSERT_TRUE(runUntil(loop, [&] { return recorder.count(Kind::text) == 2; }));
    loop.runPending();

    const auto texts = recorder.payloads(Kind::text);
    EXPECT_EQ(texts[0], atCap);
    EXPECT_EQ(texts[1], "after");
    EXPECT_EQ(recorder.payloads(Kind::binary),
              std::vector<std::string>{std::string("\x00\x01\xff", 3)});
    EXPECT_EQ(recorder.count(Kind::disconnected), 0U);
    EXPECT_EQ(server.openConnections(), 1U);
}

TEST_F(WebSocketClientTest, TextFilterRunsOnTheIoThreadAndCanDrop) {
    std::atomic<bool> filterOnLoop{false};
    auto client = makeClient([&](ConnectionId, const std::string& text) {
        filterOnLoop = filterOnLoop || loop.isCurrent();
        return text != "drop";
    });
    client->connect({server.url() + "/", kTimeout});
    ASSERT_TRUE(connected());
    server.sendText("keep 1");
    server.sendText("drop");
    server.sendText("keep 2");
    ASSERT_TRUE(runUntil(loop, [&] { return recorder.count(Kind::text) == 2; }));
    loop.runPending();
    EXPECT_EQ(recorder.payloads(Kind::text), (std::vector<std::string>{"keep 1", "keep 2"}));
    EXPECT_FALSE(filterOnLoop);
}

TEST_F(WebSocketClientTest, DisconnectSendsTheCloseCodeAndReportsNoError) {
    auto client = makeClient();
    client->connect({server.url() + "/", kTimeout});
    ASSERT_TRUE(connected());
    client->disconnect(4001);
    ASSERT_TRUE(runUntil(loop, [&] { return recorder.count(Kind::disconnected) == 1; }));
    EXPECT_FALSE(recorder.last(Kind::disconnected)->error.has_value());
    ASSERT_TRUE(runUntil(loop, [&] { return server.closeCodes().size() == 1; }));
    EXPECT_EQ(server.closeCodes(), std::vector<int>{4001});
    EXPECT_EQ(server.openConnections(), 0U);
}

TEST_F(WebSocketClientTest, AConnectionLostReportsAnError) {
    auto client = makeClient();
    client->connect({server.url() + "/", kTimeout});
    ASSERT_TRUE(connected());
    server.drop();
    ASSERT_TRUE(runUntil(loop, [&] { return recorder.count(Kind::disconnected) == 1; }));
    const auto* lost = recorder.last(Kind::disconnected);
    ASSERT_TRUE(lost->error.has_value());
    EXPECT_EQ(lost->error->kind, Error::Kind::transport);

    // And it can connect again afterwards.
    client->connect({server.url() + "/again", kTimeout});
    ASSERT_TRUE(connected(2));
    EXPECT_EQ(server.targets().back(), "/again");
}

TEST_F(WebSocketClientTest, ConnectWhileConnectedReplacesTheConnection) {
    auto client = makeClient();
    const ConnectionId first = client->connect({server.url() + "/one", kTimeout});
    ASSERT_TRUE(connected());
    const ConnectionId second = client->connect({server.url() + "/two", kTimeout});
    EXPECT_NE(first, second);
    ASSERT_TRUE(connected(2));
    ASSERT_TRUE(runUntil(loop, [&] {
        return server.openConnections() == 1 && recorder.count(Kind::disconnected) == 1;
    }));
    EXPECT_EQ(server.targets(), (std::vector<std::string>{"/one", "/two"}));
    const auto* closed = recorder.last(Kind::disconnected);
    EXPECT_EQ(closed->connection, first);
    EXPECT_FALSE(closed->error.has_value());

    server.sendText("only once");
    ASSERT_TRUE(runUntil(loop, [&] { return recorder.count(Kind::text) == 1; }));
    loop.runPending();
    EXPECT_EQ(recorder.count(Kind::text), 1U);
    EXPECT_EQ(recorder.last(Kind::text)->connection, second);
}

TEST_F(WebSocketClientTest, UnusableTargetsReportDisconnectedWithAnError) {
    auto client = makeClient();
    test::RawServer refusing(std::string("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n"));
    const std::vector<std::string> urls{"error/conversation.1.2?auth_token=t", "http://127.0.0.1/",
                                        "ws://:80/", refusing.url("ws")};
    for (const auto& url : urls) {
        SCOPED_TRACE(url);
        const std::size_t before = recorder.count(Kind::disconnected);
        const ConnectionId id = client->connect({url, std::chrono::seconds(10)});
        ASSERT_TRUE(
            runUntil(loop, [&] { return recorder.count(Kind::disconnected) == before + 1; }));
        const auto* failed = recorder.last(Kind::disconnected);
        EXPECT_EQ(failed->connection, id);
        EXPECT_TRUE(failed->error.has_value());
    }
    EXPECT_EQ(recorder.count(Kind::connected), 0U);
}

TEST_F(WebSocketClientTest, AServerThatNeverAnswersTheHandshakeTimesOut) {
    auto client = makeClient();
    test::RawServer silent(std::nullopt);
    const ConnectionId id = client->connect({silent.url("ws"), std::chrono::milliseconds(300)});
    ASSERT_TRUE(runUntil(loop, [&] { return recorder.count(Kind::disconnected) == 1; }));
    const auto* failed = recorder.last(Kind::disconnected);
    EXPECT_EQ(failed->connection, id);
    ASSERT_TRUE(failed->error.has_value());
    EXPECT_EQ(failed->error->kind, Error::Kind::timeout) << failed->error->detail;
    EXPECT_EQ(silent.connectionsAccepted(), 1);
}

TEST_F(WebSocketClientTest, NoHandlerRunsAfterDestruction) {
    test::QueueExecutor queue;
    std::atomic<int> calls{0};
    auto client = std::make_unique<WebSocketClient>(queue, [&](const WebSocketEvent&) { ++calls; });
    client->connect({server.url() + "/", kTimeout});
    ASSERT_TRUE(test::waitFor([&] { return server.openConnections() == 1; }));
    server.sendText("queued");
    ASSERT_TRUE(test::waitFor([&] { return queue.queued() >= 2; }));
    client.reset();
    queue.runAll();
    EXPECT_EQ(calls.load(), 0);
}

}  // namespace
}  // namespace vesk::net
