// The conversation requests against the development server on loopback.
#include "usecases/conversation_requests.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "app/runtime.hpp"
#include "services/user_service.hpp"
#include "tests/support/temp_dir.hpp"
#include "tests/usecases/support/conversation_fixture.hpp"
#include "tools/devserver/dev_server.hpp"
#include "usecases/conversation_use_cases.hpp"
#include "vesk/configuration.hpp"
#include "vesk/runtime.hpp"

namespace vesk::testing {
namespace {

using StatusChange = std::pair<std::string, std::string>;

dev::Fault drop(const std::string& prefix) {
    dev::Fault fault;
    fault.pathPrefix = prefix;
    fault.action = dev::Fault::Action::drop;
    fault.count = -1;  // curl retries a request whose reused connection died
    return fault;
}

RunLoop& loop() {
    static auto* made = [] {
        static TempDir data;
        setDataDirectory(data.path());
        auto runLoop = std::make_shared<RunLoop>();
        setMainExecutor(runLoop);
        Runtime::shared();  // installs the HTTP client bound to this loop
        runLoop->runPending();
        return new std::shared_ptr<RunLoop>(runLoop);
    }();
    return **made;
}

class ConversationRequestsTest : public ConversationTest {
  protected:
    void SetUp() override {
        loop();
        std::string error;
        server = dev::DevServer::start({}, &error);
        ASSERT_TRUE(server) << error;
        DeploymentValues values;
        values.apiUrl = server->apiBaseUrl();
        configure(values);

        auto service = std::make_shared<UserService>(nullptr);
        std::optional<Result<UserSession>> connected;
        rx::DisposeBag bag;
        bag.add(service->connect(server->demoApiKey(), "1.0")
                    .subscribe([&](const Result<UserSession>& r) { connected = r; }));
        ASSERT_TRUE(runUntil([&] { return connected.has_value(); }));
        ASSERT_TRUE(connected->succeed());
        const auto& [user, app] = *connected->success();
        userId = user.id;
        settings = std::make_shared<const NetworkSettings>(
            NetworkSettings::ConnectionType::sdk, user.token.value_or(""), app.appId, user.id);
        currentSettings = settings;
    }

    void TearDown() override { loop().runPending(); }

    bool runUntil(const std::function<bool()>& done) {
        return loop().runUntil(done, std::chrono::seconds(20));
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
        Message m = createMessage(requestsCtx, body, JsonValue(userId), conversation, randomId,
                                  "reply_user");
        return m;
    }

    // Starts a conversation through sendMessage; returns its id.
    std::string startConversation() {
        Recorded<StatusChange> statuses;
        statuses.record(currentState.updateMessageStatus.asObservable());
        rx::DisposeBag bag;
        bag.add(
            (rx::just(userMessage("Hello", std::nullopt, 111)) | sendMessageUseCase(requestsCtx))
                .subscribe());
        EXPECT_TRUE(runUntil([&] { return !statuses.values.empty(); }));
        EXPECT_EQ(statuses.values, (std::vector<StatusChange>{{"111", ""}}));
        return currentState.dialogId.value().value_or("");
    }

    std::unique_ptr<dev::DevServer> server;
    std::string userId;
    NetworkSettingsPtr settings;
    NetworkSettingsPtr currentSettings;
    ConversationContext requestsCtx{
        dialogs,   messages, currentState, popups,
        messenger, store,    scheduler,    [this] { return currentSettings; }};
};

TEST_F(ConversationRequestsTest, StartReplyLoadAndRead) {
    const std::string id = startConversation();
    ASSERT_FALSE(id.empty());
    EXPECT_EQ(store->string("dialogId"), std::optional<std::string>(id));

    Recorded<rx::Unit> replies;
    replies.record(rx::just(userMessage("Second", id, 222)) | sendMessageUseCase(requestsCtx));
    ASSERT_TRUE(runUntil([&] { return !replies.values.empty(); }));
    const auto sent = requestsEndingWith("conversations/" + id + "/reply");
    ASSERT_EQ(sent.size(), 1U);
    EXPECT_EQ(sent[0].formField("random_id"), "222");
    EXPECT_EQ(sent[0].formField("body"), "Second");
    EXPECT_EQ(sent[0].formField("from_user"), "1");

    rx::PublishSubject<rx::Unit> triggers;
    Recorded<bool> more;
    more.record(triggers.asObservable() | loadDialogsUseCase(requestsCtx));
    triggers.onNext({});
    ASSERT_TRUE(runUntil([&] { return !more.values.empty(); }));
    EXPECT_EQ(more.values, (std::vector<bool>{false}));  // one conversation: the last page
    ASSERT_TRUE(dialogs.find(id));
    EXPECT_EQ(dialogs.find(id)->partsCount, 2);
    EXPECT_EQ(dialogs.paginatePosition, std::optional<std::string>(""));
    EXPECT_FALSE(dialogs.loading.value());
    triggers.onNext({});  // after the last page: no request
    loop().runPending();
    EXPECT_EQ(requestsEndingWith("/conversations").size(), 1U);

    Recorded<MessagesPage> pages;
    pages.record(rx::just(id) | loadMessagesUseCase(requestsCtx) |
                 setPaginatePositionUseCase(requestsCtx));
    ASSERT_TRUE(runUntil([&] { return !pages.values.empty(); }));
    ASSERT_TRUE(pages.values[0].succeed());
    ASSERT_EQ(pages.values[0].success()->data.size(), 2U);
    EXPECT_EQ(pages.values[0].success()->data[1].randomId, 222);
    EXPECT_FALSE(currentState.paginatePosition.has_value());  // the first page of the conversation

    Recorded<rx::Unit> reads;
    reads.record(rx::just(std::optional<std::string>(id)) | readDialogUseCase(requestsCtx));
    ASSERT_TRUE(runUntil([&] { return !reads.values.empty(); }));
    EXPECT_EQ(requestsEndingWith("conversations/" + id + "/markread").size(), 1U);
}

TEST_F(ConversationRequestsTest, FailedSendsAreMarkedWarning) {
    Recorded<StatusChange> statuses;
    statuses.record(currentState.updateMessageStatus.asObservable());
    Recorded<rx::Unit> replies;
    replies.record(rx::just(userMessage("To nowhere", "999999", 5)) |
                   sendMessageUseCase(requestsCtx));
    ASSERT_TRUE(runUntil([&] { return !statuses.values.empty(); }));

    server->addFault(drop("users"));
    replies.record(rx::just(userMessage("Lost", std::nullopt, 6)) |
                   sendMessageUseCase(requestsCtx));
    ASSERT_TRUE(runUntil([&] { return statuses.values.size() == 2; }));

    EXPECT_EQ(statuses.values, (std::vector<StatusChange>{{"5", "warning"}, {"6", "warning"}}));
    EXPECT_EQ(replies.values.size(), 2U);
    EXPECT_EQ(currentState.dialogId.value(), std::nullopt);
}

TEST_F(ConversationRequestsTest, FailedLoadsShowTheErrorState) {
    Recorded<NavigationViewState> states;
    states.record(currentState.state.asObservable());
    Recorded<MessagesPage> pages;
    pages.record(rx::just(std::string("999999")) | loadMessagesUseCase(requestsCtx));
    ASSERT_TRUE(runUntil([&] { return !states.values.empty(); }));
    EXPECT_EQ(states.values[0], NavigationViewState::serverError());

    server->addFault(drop("conversations"));
    pages.record(rx::just(std::string("999999")) | loadMessagesUseCase(requestsCtx));
    ASSERT_TRUE(runUntil([&] { return states.values.size() == 2; }));
    EXPECT_EQ(states.values[1], NavigationViewState::connectError());
    EXPECT_TRUE(pages.values.empty());
}

TEST_F(ConversationRequestsTest, WithoutSettingsNothingIsSent) {
    currentSettings = nullptr;
    server->clearRequests();
    Recorded<bool> more;
    more.record(rx::just(rx::Unit{}) | loadDialogsUseCase(requestsCtx));
    Recorded<rx::Unit> sent;
    sent.record(rx::just(userMessage("x", "1", 1)) | sendMessageUseCase(requestsCtx));
    Recorded<rx::Unit> reads;
    reads.record(rx::just(std::optional<std::string>("1")) | readDialogUseCase(requestsCtx));
    loop().runPending();
    EXPECT_TRUE(more.values.empty());
    EXPECT_TRUE(sent.values.empty());
    EXPECT_TRUE(reads.values.empty());
    EXPECT_TRUE(server->requests().empty());
}

}  // namespace
}  // namespace vesk::testing
