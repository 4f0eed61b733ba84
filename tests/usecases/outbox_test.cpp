// The outbox's order of sending against the development server on loopback:
// messages waiting for a conversation follow the one that started it, and a
// refused message waits for the user while the next one goes on.
#include "usecases/outbox.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "tests/usecases/support/conversation_fixture.hpp"
#include "usecases/conversation_use_cases.hpp"

namespace vesk::testing {
namespace {

using State = Outbox::State;

class OutboxOrderTest : public ServerUnderTest, public ConversationTest {
  protected:
    OutboxOrderTest() : ConversationTest(api) {}

    void SetUp() override {
        connected = connectAnonymous();
        ASSERT_TRUE(connected);
        currentSettings = connected;
        bag.insert(outbox.changes.asObservable().subscribe(
            [this](const Outbox::Change& change) { changes.push_back(change); }));
    }
    void TearDown() override { testLoop().runPending(); }

    Message userMessage(const std::string& body, const std::optional<std::string>& conversation,
                        std::int64_t randomId) {
        return createMessage(ctx, body, JsonValue(connected->userId), conversation, randomId,
                             "reply_user");
    }
    bool settled() {
        return testLoop().runUntil([&] { return !outbox.holds(1) && !outbox.holds(2); },
                                   std::chrono::seconds(20));
    }
    std::vector<dev::RecordedRequest> requestsEndingWith(const std::string& suffix) const {
        std::vector<dev::RecordedRequest> out;
        for (auto& r : server->requests()) {
            if (r.path.ends_with(suffix)) {
                out.push_back(std::move(r));
            }
        }
        return out;
    }
    std::size_t count(std::int64_t randomId, State state) const {
        return static_cast<std::size_t>(std::count_if(
            changes.begin(), changes.end(),
            [&](const Outbox::Change& c) { return c.randomId == randomId && c.state == state; }));
    }

    NetworkSettingsPtr connected;
    Outbox outbox{ctx, [this] { return connected ? connected->userId : std::string(); }};
    std::vector<Outbox::Change> changes;
    rx::DisposeBag bag;
};

TEST_F(OutboxOrderTest, MessagesWaitingForAConversationFollowTheOneThatStartedIt) {
    currentSettings = nullptr;  // offline: both wait under no conversation
    outbox.send(userMessage("first", std::nullopt, 1));
    outbox.send(userMessage("second", std::nullopt, 2));
    EXPECT_EQ(count(2, State::failed), 1U);

    currentSettings = connected;
    outbox.resume();
    ASSERT_TRUE(settled());
    ASSERT_EQ(requestsEndingWith("/startconversation").size(), 1U);
    const auto sent = std::find_if(changes.begin(), changes.end(),
                                   [](const Outbox::Change& c) { return c.started.has_value(); });
    ASSERT_NE(sent, changes.end());
    EXPECT_EQ(sent->randomId, 1);
    const auto started = sent->started;
    const auto replies = requestsEndingWith("conversations/" + *started + "/reply");
    ASSERT_EQ(replies.size(), 1U);
    EXPECT_EQ(replies[0].formField("random_id"), "2");
    EXPECT_EQ(messages.repository("0").find("2"), nullptr);  // no longer waiting there
}

TEST_F(OutboxOrderTest, ARefusedMessageWaitsForTheUserWhileTheNextGoesOn) {
    outbox.send(userMessage("to nowhere", "999999", 1));
    outbox.send(userMessage("starts one", std::nullopt, 2));
    ASSERT_TRUE(testLoop().runUntil([&] { return !outbox.holds(2); }, std::chrono::seconds(20)));
    EXPECT_EQ(count(1, State::failed), 1U);
    EXPECT_TRUE(outbox.failed(1));

    scheduler->advance(Outbox::kLastRetry);  // no timer tries a refused message again
    EXPECT_EQ(count(1, State::sending), 1U);
    EXPECT_TRUE(outbox.retry(1));
    EXPECT_EQ(count(1, State::sending), 2U);
    ASSERT_TRUE(testLoop().runUntil([&] { return count(1, State::failed) == 2; },
                                    std::chrono::seconds(20)));
    EXPECT_TRUE(outbox.holds(1));
}

}  // namespace
}  // namespace vesk::testing
