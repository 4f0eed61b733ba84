// The library and the development server talking over the real-time channel:
// the facade's setup starts the user's socket, and operator events reach the
// repositories, the unread counter and the chat API.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/app/support/session_fixture.hpp"
#include "tests/support/virtual_scheduler.hpp"
#include "vesk/chat.hpp"
#include "vesk/notification_center.hpp"
#include "vesk/vesk.hpp"

namespace vesk {
namespace {

using namespace std::chrono_literals;

class RealtimeTest : public testing::DevServerTest {
  protected:
    void SetUp() override {
        DevServerTest::SetUp();
        auto options = libraryOptions();
        options.scheduler = scheduler;
        options.notificationCenter = center;
        library = Library::make(std::move(options));
        vesk = std::make_unique<Vesk>(library);
    }

    std::string connect() { return DevServerTest::connect(*vesk, *library); }
    std::optional<Dialog> dialog(const std::string& id) {
        return library->conversations.dialogs.find(id);
    }
    std::string openChatPopup(const std::string& user) {
        const auto id = server->sendPopupChat(user, "Can we help?");
        EXPECT_FALSE(id.empty());
        EXPECT_TRUE(runUntil([&] { return dialog(id).has_value(); }));
        return id;
    }
    const MessageList& messages(const std::string& conversation) {
        return library->conversations.messages.repository(conversation).currentMessages();
    }
    std::size_t countBodies(const std::string& conversation, const std::string& body) {
        const auto& list = messages(conversation);
        return static_cast<std::size_t>(std::count_if(
            list.begin(), list.end(), [&](const Message& m) { return m.body == body; }));
    }

    std::shared_ptr<VirtualScheduler> scheduler = std::make_shared<VirtualScheduler>();
    std::shared_ptr<InMemoryNotificationCenter> center =
        std::make_shared<InMemoryNotificationCenter>();
    std::shared_ptr<Library> library;
    std::unique_ptr<Vesk> vesk;
};

TEST_F(RealtimeTest, AnOperatorReplyRaisesTheUnreadCountAndReachesItsConversation) {
    const auto user = connect();
    std::vector<int> counts;
    vesk->getUreadConversations([&](int count) { counts.push_back(count); });
    const auto conversation = openChatPopup(user);
    const int unreadBefore = dialog(conversation)->userUnreadCount;

    std::vector<ChatMessage> seen;
    auto sub = vesk->chat().onMessage([&](const ChatMessage& m) { seen.push_back(m); });
    ASSERT_FALSE(server->operatorReply(conversation, "We are here").empty());
    ASSERT_TRUE(runUntil([&] { return countBodies(conversation, "We are here") == 1; }));
    EXPECT_EQ(dialog(conversation)->userUnreadCount, unreadBefore + 1);
    EXPECT_EQ(library->conversations.dialogs.dialogs.value().back().id, conversation);
    ASSERT_FALSE(counts.empty());
    EXPECT_EQ(counts.front(), 0);
    EXPECT_EQ(counts.back(), 1);
    ASSERT_EQ(seen.size(), 1U);
    EXPECT_EQ(seen[0].direction, "a2u");
    EXPECT_TRUE(seen[0].authorName.has_value());
}

TEST_F(RealtimeTest, ASentMessageAndItsEchoShowOnceAndCountOnce) {
    const auto user = connect();
    const auto conversation = openChatPopup(user);
    vesk->chat().open(conversation);
    ASSERT_TRUE(runUntil([&] { return vesk->chat().currentConversation() == conversation; }));
    const int partsBefore = dialog(conversation)->partsCount;

    std::vector<std::string> statuses;
    vesk->chat().send(
        "Where is my order?",
        [&](std::int64_t, const std::string& status) { statuses.push_back(status); },
        [](const std::string& e) { ADD_FAILURE() << e; });
    EXPECT_EQ(countBodies(conversation, "Where is my order?"), 1U);  // listed at once
    ASSERT_TRUE(runUntil([&] { return statuses.size() == 2; }));
    EXPECT_EQ(statuses, (std::vector<std::string>{"loading", ""}));
    // Give a stray second echo the chance to arrive.
    runUntil([] { return false; }, 100ms);
    EXPECT_EQ(countBodies(conversation, "Where is my order?"), 1U);
    const auto& list = messages(conversation);
    const auto mine = std::find_if(list.begin(), list.end(),
                                   [](const Message& m) { return m.body == "Where is my order?"; });
    ASSERT_NE(mine, list.end());
    EXPECT_NE(mine->id, std::to_string(mine->randomId));  // the server's copy replaced ours
    EXPECT_EQ(dialog(conversation)->partsCount, partsBefore + 1);
}

TEST_F(RealtimeTest, AfterADroppedSocketTheForegroundResumesWithNothingLostOrRepeated) {
    const auto user = connect();
    const auto conversation = openChatPopup(user);
    ASSERT_FALSE(server->operatorReply(conversation, "before").empty());
    ASSERT_TRUE(runUntil([&] { return countBodies(conversation, "before") == 1; }));

    ASSERT_EQ(server->dropSockets(user), 1U);
    ASSERT_TRUE(runUntil([&] { return server->realtimeSocketCount(user) == 0; }));
    ASSERT_FALSE(server->operatorReply(conversation, "missed 1").empty());
    ASSERT_FALSE(server->operatorReply(conversation, "missed 2").empty());

    library->appState.isBackground.accept(true);
    library->appState.isBackground.accept(false);
    ASSERT_TRUE(runUntil([&] {
        return countBodies(conversation, "missed 1") == 1 &&
               countBodies(conversation, "missed 2") == 1;
    }));
    ASSERT_FALSE(server->operatorReply(conversation, "after").empty());
    ASSERT_TRUE(runUntil([&] { return countBodies(conversation, "after") == 1; }));
    EXPECT_EQ(countBodies(conversation, "before"), 1U);
    EXPECT_EQ(countBodies(conversation, "missed 1"), 1U);
    EXPECT_EQ(server->realtimeSocketCount(user), 1U);
}

TEST_F(RealtimeTest, AfterARestartOfTheRealtimeSideWhatWasMissedComesOverHttpOnce) {
    const auto user = connect();
    const auto open = openChatPopup(user);
    const auto other = openChatPopup(user);
    vesk->chat().open(open);
    ASSERT_TRUE(runUntil([&] { return vesk->chat().currentConversation() == open; }));
    const auto socket = library->sdkApp.rtsManager->socket(server->demoAppId());
    ASSERT_NE(socket, nullptr);

    // No resume point survives the restart: the channel alone would lose these.
    ASSERT_EQ(server->restartRealtime(), 1U);
    ASSERT_TRUE(runUntil([&] { return !socket->isActive(); }));
    ASSERT_FALSE(server->operatorReply(open, "missed here").empty());
    ASSERT_FALSE(server->operatorReply(other, "missed there").empty());
    scheduler->advance(VeskSocket::kFirstRetry);  // it heals by itself
    ASSERT_TRUE(runUntil([&] {
        return countBodies(open, "missed here") == 1 &&
               dialog(other)->partLast.body == "missed there";
    }));
    ASSERT_FALSE(server->operatorReply(open, "after").empty());
    ASSERT_TRUE(runUntil([&] { return countBodies(open, "after") == 1; }));
    EXPECT_EQ(countBodies(open, "missed here"), 1U);
    EXPECT_EQ(server->realtimeSocketCount(user), 1U);
}

TEST_F(RealtimeTest, AfterAuthTheSocketListensAsTheIdentifiedUserOnly) {
    const auto anonymous = connect();
    bool ok = false;
    vesk->auth(
        "customer-42", server->demoUserAuthKey(), [&] { ok = true; },
        [](const std::string& e) { ADD_FAILURE() << e; });
    ASSERT_TRUE(runUntil([&] { return ok; }));
    const std::string identified = library->sdkApp.networkSetting.value()->userId;
    ASSERT_NE(identified, anonymous);
    ASSERT_TRUE(runUntil([&] {
        return server->realtimeSocketCount(identified) == 1 &&
               server->realtimeSocketCount(anonymous) == 0;
    }));
    EXPECT_EQ(library->sdkApp.rtsManager->getActiveCount(), 1U);  // one socket per app

    const auto conversation = openChatPopup(identified);
    ASSERT_FALSE(server->operatorReply(conversation, "Hello, customer").empty());
    EXPECT_TRUE(runUntil([&] { return countBodies(conversation, "Hello, customer") == 1; }));
}

TEST_F(RealtimeTest, AnOperatorReplyBecomesALocalNotificationButTheUsersOwnEchoDoesNot) {
    const auto user = connect();
    const auto conversation = openChatPopup(user);
    vesk->chat().open(conversation);
    bool sent = false;
    vesk->chat().send(
        "my own words", [&](std::int64_t, const std::string& s) { sent = s.empty(); },
        [](const std::string& e) { ADD_FAILURE() << e; });
    ASSERT_TRUE(runUntil([&] { return sent; }));
    ASSERT_FALSE(server->operatorReply(conversation, "<b>Your order</b> has shipped").empty());
    ASSERT_TRUE(runUntil([&] { return !center->scheduled().empty(); }));
    runUntil([] { return false; }, 100ms);
    const auto scheduled = center->scheduled();
    ASSERT_EQ(scheduled.size(), 1U);
    EXPECT_EQ(scheduled[0].content.body, "Your order has shipped");  // tags stripped
}

TEST_F(RealtimeTest, BadFramesAreDroppedAndTheSocketStaysUp) {
    const auto user = connect();
    const auto conversation = openChatPopup(user);
    for (const char* junk :
         {"", "not json", "[]", R"({"id":1})", R"({"id":1,"channel":"nope.1","message":{}})",
          R"({"id":1,"channel":"conversation_reply.1","message":"text"})",
          R"({"id":1,"channel":"conversation_typing","message":[1,2]})"}) {
        server->pushRawFrame(user, "", junk);
    }
    server->pushRawFrame(user, "", std::string(5 * 1024 * 1024, 'x'));  // over the cap
    ASSERT_FALSE(server->operatorReply(conversation, "still here").empty());
    ASSERT_TRUE(runUntil([&] { return countBodies(conversation, "still here") == 1; }));
    EXPECT_EQ(server->realtimeSocketCount(user), 1U);
}

}  // namespace
}  // namespace vesk
