#include "services/realtime/rts_manager.hpp"

#include <gtest/gtest.h>

#include <numeric>

#include "services/realtime/vesk_socket.hpp"
#include "tests/net/support/client_harness.hpp"
#include "tests/net/support/ws_server.hpp"
#include "tests/support/virtual_scheduler.hpp"

namespace vesk {
namespace {

using Kind = NetworkSettings::ConnectionType;
using net::test::runUntil;

const std::vector<Channel> kSetupChannels{Channel::conversationReply, Channel::conversationTyping,
                                          Channel::conversation};

NetworkSettingsPtr settings(std::string appId, std::string userId, std::string token,
                            Kind kind = Kind::sdk) {
    return std::make_shared<const NetworkSettings>(kind, std::move(token), std::move(appId),
                                                   std::move(userId));
}

std::string envelope(int id, const std::string& tag, const std::string& time) {
    return R"({"id":)" + std::to_string(id) +
           R"(,"channel":"conversation_reply.1.2","message":{"n":1},"tag":")" + tag +
           R"(","time":")" + time + R"("})";
}

// Records the id of every frame it is handed (-1 for one that is no envelope).
class RecordingService final : public RtsServiceProtocol {
  public:
    explicit RecordingService(RunLoop& loop) : loop_(loop) {}
    void onMessage(const std::string& text) override {
        onLoop = onLoop && loop_.isCurrent();
        const auto frame = parseRtsMessage(text);
        channelsCut = channelsCut && (!frame || frame->channel == "conversation_reply");
        ids.push_back(frame ? frame->id : -1);
    }
    std::vector<std::int64_t> ids;
    bool onLoop = true;
    bool channelsCut = true;

  private:
    RunLoop& loop_;
};

constexpr const char* kBase = "wss://rts.example";

TEST(SocketUrl, ChannelsCarryTheAppAndForSdkTheUser) {
    EXPECT_EQ(VeskSocket::getUrl(kBase, *settings("1", "2", "t"), kSetupChannels, std::nullopt,
                                 std::nullopt),
              "wss://rts.example/conversation_reply.1.2/conversation_typing.1.2/conversation.1.2"
              "?auth_token=t");
    EXPECT_EQ(VeskSocket::getUrl(kBase, *settings("1", "2", "t", Kind::app), kSetupChannels,
                                 std::nullopt, std::nullopt),
              "wss://rts.example/conversation_reply.1/conversation_typing.1/conversation.1"
              "?auth_token=appm-1-t");
    // The shipped base ends in "/": no empty path segment.
    EXPECT_EQ(VeskSocket::getUrl("wss://rts.example/", *settings("1", "2", "t"), {Channel::ping},
                                 std::nullopt, std::nullopt),
              "wss://rts.example/ping.1.2?auth_token=t");
}

TEST(SocketUrl, ResumePointOnlyWithBothPartsAndOnlyLettersAndDigitsKept) {
    const auto s = settings("1", "2", "t");
    const std::vector<Channel> one{Channel::conversation};
    const std::string plain = "wss://rts.example/conversation.1.2?auth_token=t";
    EXPECT_EQ(VeskSocket::getUrl(kBase, *s, one, std::string("tag"), std::nullopt), plain);
    EXPECT_EQ(VeskSocket::getUrl(kBase, *s, one, std::nullopt, std::string("1.5")), plain);
    EXPECT_EQ(VeskSocket::getUrl(kBase, *s, one, std::string("a b"), std::string("1.5")),
              plain + "&tag=a%20b&time=1%2E5");
    EXPECT_EQ(VeskSocket::getUrl(kBase, *s, one, std::string("Az09-._~/é"), std::string("")),
              plain + "&tag=Az09%2D%2E%5F%7E%2F%C3%A9&time=");
}

TEST(SocketUrl, AnUnparsableUrlFailsCreationAndStoresNothing) {
    RunLoop loop;
    EXPECT_FALSE(VeskSocket::getUrl(kBase, *settings("1", "2", "t k"), kSetupChannels, std::nullopt,
                                    std::nullopt));
    EXPECT_EQ(VeskSocket::create(loop, kBase, settings("1", "2", "t k"), kSetupChannels, nullptr),
              nullptr);

    RtsManager manager(loop, kBase, {}, rx::just(false), rx::just(true));
    EXPECT_EQ(manager.startRts(settings("1", "2", "t k"), kSetupChannels, nullptr), nullptr);
    EXPECT_EQ(manager.startRts(settings("1", "2", "t"), {}, nullptr), nullptr);
    EXPECT_EQ(manager.getActiveCount(), 0U);
}

TEST(SocketUrl, AMissingBaseGivesErrorAndTheConnectFailsQuietly) {
    EXPECT_EQ(VeskSocket::getUrl("error", *settings("1", "2", "t"), {Channel::ping}, std::nullopt,
                                 std::nullopt),
              "error/ping.1.2?auth_token=t");

    RunLoop loop;
    auto socket =
        VeskSocket::create(loop, "error", settings("1", "2", "t"), {Channel::ping}, nullptr);
    ASSERT_NE(socket, nullptr);
    socket->connect();
    EXPECT_TRUE(socket->isActive());
    EXPECT_TRUE(runUntil(loop, [&] { return !socket->isActive(); }));
}

// A manager against a local WebSocket server, with the app-state and
// reachability streams under the test's control.
class RtsManagerTest : public ::testing::Test {
  protected:
    bool openConnections(std::size_t n) {
        return runUntil(loop, [&] { return server.openConnections() == n; });
    }
    bool received(std::size_t n) {
        return runUntil(loop, [&] { return service->ids.size() >= n; });
    }

    RunLoop loop;
    net::test::WsServer server;
    std::shared_ptr<RecordingService> service = std::make_shared<RecordingService>(loop);
    rx::BehaviorRelay<bool> background{false};
    rx::BehaviorRelay<bool> online{true};
    RtsManager manager{
        loop, server.url() + "/", {}, background.asObservable(), online.asObservable()};
};

TEST_F(RtsManagerTest, EveryTextFrameReachesTheServiceOnceInOrderEvenAfterRepeatedConnects) {
    const auto socket = manager.startRts(settings("1", "2", "T"), kSetupChannels, service);
    ASSERT_NE(socket, nullptr);
    ASSERT_TRUE(openConnections(1));
    EXPECT_EQ(server.targets(),
              std::vector<std::string>{"/conversation_reply.1.2/conversation_typing.1.2/"
                                       "conversation.1.2?auth_token=T"});

    // Foreground and online notices and direct calls while connected.
    socket->connect();
    manager.startRtsAll();
    online.accept(true);
    background.accept(false);
    EXPECT_EQ(manager.startRts(settings("1", "2", "T"), kSetupChannels, service), socket);

    std::vector<std::string> sent;
    for (int i = 0; i < 30; ++i) {
        sent.push_back(envelope(i, "t" + std::to_string(i), std::to_string(i)));
        server.sendText(sent.back());
    }
    ASSERT_TRUE(received(sent.size()));
    loop.runPending();
    std::vector<std::int64_t> expected(sent.size());
    std::iota(expected.begin(), expected.end(), 0);
    EXPECT_EQ(service->ids, expected);
    EXPECT_TRUE(service->onLoop);
    EXPECT_TRUE(service->channelsCut);
    EXPECT_EQ(server.targets().size(), 1U);
    EXPECT_EQ(socket->message.value(), sent.back());
}

TEST_F(RtsManagerTest, TheResumePointFollowsCompleteEnvelopesAndIsSentOnReconnect) {
    const auto socket = manager.startRts(settings("1", "2", "T"), kSetupChannels, service);
    ASSERT_TRUE(openConnections(1));
    EXPECT_FALSE(socket->tag().has_value());

    server.sendText(envelope(1, "a b", "1.5"));
    ASSERT_TRUE(received(1));
    EXPECT_EQ(socket->tag(), "a b");
    EXPECT_EQ(socket->time(), "1.5");

    // Not complete envelopes, or no envelope at all: forwarded, but the point stays.
    server.sendText(R"({"id":2,"channel":"conversation_reply.1.2","message":{},"tag":"zz"})");
    server.sendText(R"({"id":3,"channel":"conversation_reply.1.2","message":{},"time":"9"})");
    server.sendText("not json");
    server.sendText(R"({"id":5,"channel":"conversation_reply.1.2","message":null})");
    ASSERT_TRUE(received(5));
    EXPECT_EQ(service->ids, (std::vector<std::int64_t>{1, 2, 3, -1, 5}));
    EXPECT_EQ(socket->tag(), "a b");
    EXPECT_EQ(socket->time(), "1.5");

    manager.stopRts("1");
    ASSERT_TRUE(openConnections(0));
    EXPECT_EQ(server.closeCodes(), std::vector<int>{1000});
    EXPECT_FALSE(socket->isActive());

    manager.startRtsAll();
    ASSERT_TRUE(openConnections(1));
    ASSERT_EQ(server.targets().size(), 2U);
    EXPECT_TRUE(server.targets()[1].ends_with("?auth_token=T&tag=a%20b&time=1%2E5"))
        << server.targets()[1];
}

TEST_F(RtsManagerTest, AnUnexpectedCloseReconnectsWithGrowingJitteredWaitsUntilAStop) {
    using std::chrono::milliseconds;
    VirtualScheduler clock;
    RtsManager healing{
        loop, server.url() + "/", {{}, &clock}, background.asObservable(), online.asObservable()};
    const auto socket = healing.startRts(settings("1", "2", "T"), kSetupChannels, service);
    ASSERT_TRUE(openConnections(1));
    server.sendText(envelope(1, "t1", "1"));
    ASSERT_TRUE(received(1));

    // A frame after each connection: the client has heard it open by then.
    int frames = 1;
    const auto reconnected = [&] {
        ASSERT_TRUE(socket->isActive());
        ASSERT_TRUE(openConnections(1));
        ++frames;
        server.sendText(envelope(frames, "t" + std::to_string(frames), std::to_string(frames)));
        ASSERT_TRUE(received(static_cast<std::size_t>(frames)));
    };
    // Each drop waits between half and all of 0.5 s, 1 s, 2 s, ...
    for (const milliseconds ceiling : {milliseconds(500), milliseconds(1000), milliseconds(2000)}) {
        SCOPED_TRACE(ceiling.count());
        clock.advance(milliseconds(1000));  // connected, but not for a stable minute
        server.drop();
        ASSERT_TRUE(openConnections(0));
        ASSERT_TRUE(runUntil(loop, [&] { return !socket->isActive(); }));
        clock.advance(ceiling / 2 - milliseconds(1));
        EXPECT_FALSE(socket->isActive());
        clock.advance(ceiling / 2 + milliseconds(1));
        reconnected();
        // It resumes where the wire stopped.
        const std::string target = server.targets().back();
        EXPECT_TRUE(target.ends_with("&tag=t" + std::to_string(frames - 1) +
                                     "&time=" + std::to_string(frames - 1)))
            << target;
    }

    // A stable minute starts the waits over.
    clock.advance(VeskSocket::kStable);
    server.drop();
    ASSERT_TRUE(openConnections(0));
    ASSERT_TRUE(runUntil(loop, [&] { return !socket->isActive(); }));
    clock.advance(milliseconds(500));
    reconnected();

    // A stop is not a close to heal, and without a clock none is healed.
    healing.stopRtsAll();
    ASSERT_TRUE(openConnections(0));
    clock.advance(VeskSocket::kLastRetry);
    EXPECT_FALSE(socket->isActive());
    const auto plain = manager.startRts(settings("1", "2", "T"), kSetupChannels, service);
    ASSERT_TRUE(openConnections(1));
    server.drop();
    ASSERT_TRUE(runUntil(loop, [&] { return !plain->isActive(); }));
    clock.advance(VeskSocket::kLastRetry);
    EXPECT_FALSE(plain->isActive());
    EXPECT_EQ(clock.pendingCount(), 0U);
}

TEST_F(RtsManagerTest, AppStateAndReachabilityStopAndStartEverySocket) {
    ASSERT_NE(manager.startRts(settings("1", "2", "T"), kSetupChannels, service), nullptr);
    ASSERT_NE(manager.startRts(settings("7", "2", "T"), {Channel::conversation}, service), nullptr);
    ASSERT_TRUE(openConnections(2));
    EXPECT_EQ(manager.getActiveCount(), 2U);

    manager.stopRtsAll();
    ASSERT_TRUE(openConnections(0));
    EXPECT_EQ(manager.getActiveCount(), 2U);

    background.accept(false);  // a repeat: ignored
    loop.runPending();
    background.accept(true);
    background.accept(false);
    ASSERT_TRUE(
        runUntil(loop, [&] { return server.handshakes() == 4 && server.openConnections() == 2; }));
    EXPECT_EQ(server.targets().size(), 4U);

    background.accept(true);
    ASSERT_TRUE(openConnections(0));
    background.accept(false);
    ASSERT_TRUE(openConnections(2));

    online.accept(false);
    ASSERT_TRUE(openConnections(0));
    EXPECT_FALSE(manager.socket("1")->isActive());
    online.accept(true);
    ASSERT_TRUE(openConnections(2));
    EXPECT_TRUE(manager.socket("7")->isActive());
    EXPECT_EQ(manager.getActiveCount(), 2U);
}

TEST_F(RtsManagerTest, StartingForAnotherUserConnectsAsThatUserWithoutTheOldResumePoint) {
    const auto socket = manager.startRts(settings("1", "2", "T"), kSetupChannels, service);
    ASSERT_TRUE(openConnections(1));
    server.sendText(envelope(1, "old", "100"));
    ASSERT_TRUE(received(1));
    EXPECT_EQ(socket->tag(), "old");

    // As the runtime does it: stop all, then start with the new settings.
    manager.stopRtsAll();
    ASSERT_TRUE(openConnections(0));
    EXPECT_EQ(manager.startRts(settings("1", "3", "U"), kSetupChannels, service), socket);
    ASSERT_TRUE(openConnections(1));
    EXPECT_EQ(server.targets().back(),
              "/conversation_reply.1.3/conversation_typing.1.3/conversation.1.3?auth_token=U");
    EXPECT_FALSE(socket->tag().has_value());
    EXPECT_EQ(manager.getActiveCount(), 1U);

    server.sendText(envelope(2, "new", "200"));
    ASSERT_TRUE(received(2));
    EXPECT_EQ(socket->tag(), "new");

    // Without a stop first: the open connection is replaced.
    EXPECT_EQ(manager.startRts(settings("1", "4", "V"), {Channel::conversation}, service), socket);
    ASSERT_TRUE(
        runUntil(loop, [&] { return server.handshakes() == 3 && server.openConnections() == 1; }));
    EXPECT_EQ(server.targets().back(), "/conversation.1.4?auth_token=V");
    EXPECT_FALSE(socket->tag().has_value());

    server.sendText(envelope(3, "newest", "300"));
    ASSERT_TRUE(received(3));
    loop.runPending();
    EXPECT_EQ(service->ids.size(), 3U);

    // Same user, new token: also a new user as far as the resume point goes.
    manager.stopRtsAll();
    ASSERT_TRUE(openConnections(0));
    manager.startRts(settings("1", "4", "W"), {Channel::conversation}, service);
    ASSERT_TRUE(openConnections(1));
    EXPECT_EQ(server.targets().back(), "/conversation.1.4?auth_token=W");
}

TEST_F(RtsManagerTest, AFrameRecordedBeforeAStopIsDeliveredButNotOneOfThePreviousUser) {
    const auto socket = manager.startRts(settings("1", "2", "T"), kSetupChannels, service);
    ASSERT_TRUE(openConnections(1));

    // Recorded in the resume point, still queued for the main executor.
    server.sendText(envelope(1, "before stop", "1"));
    ASSERT_TRUE(net::test::waitFor([&] { return socket->tag() == "before stop"; }));
    manager.stopRtsAll();
    ASSERT_TRUE(openConnections(0));
    loop.runPending();
    EXPECT_EQ(service->ids, std::vector<std::int64_t>{1});

    manager.startRts(settings("1", "2", "T"), kSetupChannels, service);
    ASSERT_TRUE(openConnections(1));
    server.sendText(envelope(2, "old user", "2"));
    ASSERT_TRUE(net::test::waitFor([&] { return socket->tag() == "old user"; }));
    manager.startRts(settings("1", "3", "U"), kSetupChannels, service);
    ASSERT_TRUE(
        runUntil(loop, [&] { return server.handshakes() == 3 && server.openConnections() == 1; }));
    loop.runPending();
    EXPECT_EQ(service->ids.size(), 1U);
    EXPECT_FALSE(socket->tag().has_value());
}

TEST_F(RtsManagerTest, BinaryAndOversizedFramesAreNotForwardedAndTheSocketStays) {
    const auto socket = manager.startRts(settings("1", "2", "T"), kSetupChannels, service);
    ASSERT_TRUE(openConnections(1));
    server.sendBinary(envelope(1, "bin", "1"));
    server.sendText(envelope(2, "big", std::string(net::WebSocketClient::kMaxMessageSize, '9')));
    server.sendText(envelope(3, "ok", "3"));
    ASSERT_TRUE(received(1));
    loop.runPending();
    EXPECT_EQ(service->ids, std::vector<std::int64_t>{3});
    EXPECT_EQ(socket->tag(), "ok");
    EXPECT_TRUE(socket->isActive());
    EXPECT_EQ(server.openConnections(), 1U);
}

}  // namespace
}  // namespace vesk
