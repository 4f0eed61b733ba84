// The conversation requests against the development server on loopback.
#include "usecases/conversation_requests.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "services/user_service.hpp"
#include "tests/support/api_endpoint.hpp"
#include "tests/usecases/support/conversation_fixture.hpp"
#include "tools/devserver/dev_server.hpp"
#include "usecases/conversation_use_cases.hpp"
#include "usecases/rts_service.hpp"

namespace vesk::testing {
namespace {

dev::Fault drop(const std::string& prefix) {
    dev::Fault fault;
    fault.pathPrefix = prefix;
    fault.action = dev::Fault::Action::drop;
    fault.count = -1;  // curl retries a request whose reused connection died
    return fault;
}

class ConversationRequestsTest : public ServerUnderTest, public ConversationTest {
  protected:
    ConversationRequestsTest() : ConversationTest(api) {}

    void SetUp() override {
        currentSettings = connectAnonymous();
        ASSERT_TRUE(currentSettings);
        userId = currentSettings->userId;
    }

    void TearDown() override { testLoop().runPending(); }

    bool runUntil(const std::function<bool()>& done) {
        return testLoop().runUntil(done, std::chrono::seconds(20));
    }

    // Requests whose path ends with `suffix`.
    std::vector<dev::RecordedRequest> requestsEndingWith(const std::string& suffix) const {
        std::vector<dev::RecordedRequest> out;
        for (auto& r : server->requests()) {
            if (r.path.size() >= suffix.size() &&
                r.path.compare(r.path.size() - suffix.size(), suffix.size(), suffix) == 0) {
                out.push_back(std::move(r));
            }
        }
        return out;
    }

    Message userMessage(const std::string& body, const std::optional<std::string>& conversation,
                        std::int64_t randomId) {
        return createMessage(ctx, body, JsonValue(userId), conversation, randomId, "reply_user");
    }

    // The outcome of sending one message.
    SendOutcome send(const Message& message) {
        Recorded<SendOutcome> outcomes;
        outcomes.record(rx::just(message) | sendMessageUseCase(ctx));
        EXPECT_TRUE(runUntil([&] { return !outcomes.values.empty(); }));
        EXPECT_EQ(outcomes.values.size(), 1U);
        return outcomes.values.at(0);
    }

    std::string userId;
};

TEST_F(ConversationRequestsTest, StartReplyLoadAndRead) {
    // A message without a conversation starts one, which becomes current.
    const auto started = send(userMessage("Hello", std::nullopt, 111));
    EXPECT_EQ(started.randomId, 111);
    ASSERT_TRUE(started.result && *started.result);
    const std::string id = **started.result;
    EXPECT_EQ(currentState.dialogId.value(), std::optional<std::string>(id));
    EXPECT_EQ(store->string("dialogId"), std::optional<std::string>(id));
    ASSERT_TRUE(dialogs.find(id));  // listed at once, not only after the next launch

    // A reply: the service has it; its echo will replace the local copy.
    const auto replied = send(userMessage("Second", id, 222));
    ASSERT_TRUE(replied.result);
    EXPECT_FALSE(*replied.result);
    const auto sent = requestsEndingWith("conversations/" + id + "/reply");
    ASSERT_EQ(sent.size(), 1U);
    EXPECT_EQ(sent[0].formField("random_id"), "222");
    EXPECT_EQ(sent[0].formField("body"), "Second");
    EXPECT_EQ(sent[0].formField("from_user"), "1");

    rx::PublishSubject<rx::Unit> triggers;
    Recorded<Expected<bool>> more;
    more.record(triggers.asObservable() | loadDialogsUseCase(ctx));
    triggers.onNext({});
    ASSERT_TRUE(runUntil([&] { return !more.values.empty(); }));
    ASSERT_TRUE(more.values[0]);
    EXPECT_FALSE(*more.values[0]);                         // one conversation: the last page
    EXPECT_EQ(dialogIds(), std::vector<std::string>{id});  // the page did not list it twice
    EXPECT_EQ(dialogs.paginatePosition, std::optional<std::string>(""));
    EXPECT_FALSE(dialogs.loading.value());
    triggers.onNext({});  // after the last page: no request
    testLoop().runPending();
    EXPECT_EQ(requestsEndingWith("/conversations").size(), 1U);

    Recorded<MessagesPage> pages;
    pages.record(rx::just(id) | loadMessagesUseCase(ctx) | setPaginatePositionUseCase(ctx));
    ASSERT_TRUE(runUntil([&] { return !pages.values.empty(); }));
    ASSERT_TRUE(pages.values[0]);
    ASSERT_EQ(pages.values[0]->data.size(), 2U);
    EXPECT_EQ(pages.values[0]->data[1].randomId, 222);
    EXPECT_FALSE(currentState.paginatePosition.has_value());  // the first page of the conversation

    Recorded<rx::Unit> reads;
    reads.record(rx::just(std::optional<std::string>(id)) | readDialogUseCase(ctx));
    ASSERT_TRUE(runUntil([&] { return !reads.values.empty(); }));
    EXPECT_EQ(requestsEndingWith("conversations/" + id + "/markread").size(), 1U);
}

TEST_F(ConversationRequestsTest, FailedSendsAnswerWithTheirFailure) {
    const auto refused = send(userMessage("To nowhere", "999999", 5));
    EXPECT_EQ(refused.randomId, 5);
    ASSERT_FALSE(refused.result);
    EXPECT_EQ(refused.result.error().kind, Error::Kind::api);

    server->addFault(drop("users"));
    const auto lost = send(userMessage("Lost", std::nullopt, 6));
    EXPECT_EQ(lost.randomId, 6);
    ASSERT_FALSE(lost.result);
    EXPECT_EQ(lost.result.error().kind, Error::Kind::transport);
    EXPECT_EQ(currentState.dialogId.value(), std::nullopt);
}

TEST_F(ConversationRequestsTest, FailedLoadsAnswerWithTheirFailureAndKeepThePosition) {
    currentState.paginatePosition = "kept";
    Recorded<MessagesPage> pages;
    pages.record(rx::just(std::string("999999")) | loadMessagesUseCase(ctx) |
                 setPaginatePositionUseCase(ctx));
    ASSERT_TRUE(runUntil([&] { return !pages.values.empty(); }));
    ASSERT_FALSE(pages.values[0]);
    EXPECT_EQ(pages.values[0].error().kind, Error::Kind::api);

    server->addFault(drop("conversations"));
    pages.record(rx::just(std::string("999999")) | loadMessagesUseCase(ctx));
    ASSERT_TRUE(runUntil([&] { return pages.values.size() == 2; }));
    ASSERT_FALSE(pages.values[1]);
    EXPECT_EQ(pages.values[1].error().kind, Error::Kind::transport);

    server->addFault(drop("users"));
    Recorded<Expected<bool>> more;
    more.record(rx::just(rx::Unit{}) | loadDialogsUseCase(ctx));
    ASSERT_TRUE(runUntil([&] { return !more.values.empty(); }));
    ASSERT_FALSE(more.values[0]);  // a failed page of conversations is no empty list
    EXPECT_EQ(more.values[0].error().kind, Error::Kind::transport);
    EXPECT_EQ(currentState.paginatePosition, "kept");
    EXPECT_FALSE(dialogs.loading.value());
}

TEST_F(ConversationRequestsTest, AReplyACatchUpBroughtIsNotAnnouncedAgainWhenTheChannelReplaysIt) {
    const auto started = send(userMessage("Hello", std::nullopt, 5));
    ASSERT_TRUE(started.result && *started.result);
    const std::string conversation = **started.result;
    RtsService rts(
        ctx, [] { return true; },
        [](const std::optional<std::string>&) { return rx::just(rx::Unit{}); });
    std::vector<Message> announced;  // the operator's only: the page brings "Hello" too
    auto recording = rts.newMessage.asObservable().subscribe([&](const Message& m) {
        if (m.type == "reply_admin") {
            announced.push_back(m);
        }
    });
    const int unreadBefore = dialogs.find(conversation)->userUnreadCount;

    // Sent while the channel was away: the catch-up brings it first, then the channel.
    const auto part = JsonValue::parse(server->operatorReply(conversation, "While away"));
    ASSERT_TRUE(part);
    rts.onReconnected();
    ASSERT_TRUE(runUntil([&] { return !announced.empty(); }));
    // The replay may carry what changed since; it is taken, not announced.
    JsonValue replayed = *part;
    replayed.append("body", JsonValue("While away, edited"));
    rts.onMessage(frame("conversation_reply." + server->demoAppId() + "." + userId, replayed));

    ASSERT_EQ(announced.size(), 1U);
    EXPECT_EQ(announced[0].body, "While away");
    EXPECT_EQ(dialogs.find(conversation)->userUnreadCount, unreadBefore + 1);
    EXPECT_EQ(messages.repository(conversation).find(announced[0].id)->body, "While away, edited");
    recording.dispose();
}

TEST_F(ConversationRequestsTest, WithoutSettingsNothingIsSent) {
    currentSettings = nullptr;
    server->clearRequests();
    Recorded<Expected<bool>> more;
    more.record(rx::just(rx::Unit{}) | loadDialogsUseCase(ctx));
    Recorded<SendOutcome> sent;
    sent.record(rx::just(userMessage("x", "1", 1)) | sendMessageUseCase(ctx));
    Recorded<rx::Unit> reads;
    reads.record(rx::just(std::optional<std::string>("1")) | readDialogUseCase(ctx));
    testLoop().runPending();
    EXPECT_TRUE(more.values.empty());
    EXPECT_TRUE(sent.values.empty());
    EXPECT_TRUE(reads.values.empty());
    EXPECT_TRUE(server->requests().empty());
}

}  // namespace
}  // namespace vesk::testing
