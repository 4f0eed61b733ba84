// The outbox of a library instance against the development server, with its
// store file in the test's directory: what the user sends while the service
// is down arrives exactly once when it is back, also after a restart of the
// host, and what they delete from the error sheet never leaves.
#include "usecases/outbox.hpp"

#include <gtest/gtest.h>

#include <algorithm>

#include "services/message_service.hpp"
#include "tests/app/support/session_fixture.hpp"
#include "tests/support/virtual_scheduler.hpp"
#include "vesk/chat.hpp"
#include "vesk/headless_platform.hpp"
#include "vesk/vesk.hpp"

namespace vesk {
namespace {

using namespace std::chrono_literals;
using State = Outbox::State;

dev::Fault fault(const std::string& prefix, dev::Fault::Action action, int count) {
    dev::Fault made;
    made.pathPrefix = prefix;
    made.action = action;
    made.count = count;
    return made;
}

class OutboxTest : public testing::DevServerTest {
  protected:
    void SetUp() override {
        DevServerTest::SetUp();
        start();
    }
    void TearDown() override {
        stop();
        DevServerTest::TearDown();
    }

    void start() {
        auto options = libraryOptions();
        options.scheduler = scheduler;
        options.configuration->widgetUrl = server->baseUrl();
        options.chatPlatform = platform = std::make_shared<HeadlessChatPlatform>(options.executor);
        library = Library::make(std::move(options));
        library->dispatch([](Library&) {});  // the host's first call starts the instance
        vesk = std::make_unique<Vesk>(library);
        changes.clear();
        watching = library->outbox.changes.asObservable().subscribe(
            [this](const Outbox::Change& change) { changes.push_back(change.state); });
    }
    void stop() {
        watching.dispose();
        vesk.reset();
        library.reset();
        platform.reset();
        testing::testLoop().runPending();
    }
    // The host quits and starts again on the same data directory.
    void restart() {
        stop();
        start();
    }

    std::string connect() { return DevServerTest::connect(*vesk, *library); }
    // A conversation the operator opened, made current.
    std::string conversationOf(const std::string& user) {
        const auto id = server->sendPopupChat(user, "Can we help?");
        EXPECT_TRUE(runUntil([&] { return library->conversations.dialogs.find(id).has_value(); }));
        vesk->chat().open(id);
        return id;
    }
    std::string replyPath(const std::string& conversation) const {
        return "conversations/" + conversation + "/reply";
    }
    // Waits for the n-th change of the outbox in `state`.
    bool waitFor(State state, std::size_t n = 1) {
        return runUntil([&] {
            return static_cast<std::size_t>(std::count(changes.begin(), changes.end(), state)) >= n;
        });
    }
    // How many parts of the conversation the service holds with this body.
    std::size_t stored(const std::string& conversation, const std::string& body) {
        std::optional<std::size_t> count;
        rx::DisposeBag bag;
        bag.insert(MessageService(api(), library->conversations.settings())
                       .getMessages(conversation, std::nullopt)
                       .subscribe([&](const Result<Response<std::vector<Message>>>& r) {
                           count = 0;
                           for (const auto& m :
                                r.success() ? r.success()->data : std::vector<Message>{}) {
                               *count += m.body == body ? 1U : 0U;
                           }
                       }));
        EXPECT_TRUE(runUntil([&] { return count.has_value(); }));
        return count.value_or(0);
    }
    // The one message the user's outbox keeps.
    Message kept(const std::string& user) {
        const auto pending = library->outbox.pending(user);
        EXPECT_EQ(pending.size(), 1U);
        return pending.empty() ? Message() : pending.front();
    }

    std::shared_ptr<VirtualScheduler> scheduler = std::make_shared<VirtualScheduler>();
    std::shared_ptr<HeadlessChatPlatform> platform;
    std::shared_ptr<Library> library;
    std::unique_ptr<Vesk> vesk;
    std::vector<State> changes;
    rx::Disposable watching;
};

TEST_F(OutboxTest, AMessageSentWhileTheServiceIsDownArrivesOnceWhenItIsBack) {
    const auto user = connect();
    const auto id = conversationOf(user);
    server->addFault(fault(replyPath(id), dev::Fault::Action::drop, -1));
    std::vector<std::string> statuses;
    vesk->chat().send(
        "sent while down", [&](std::int64_t, const std::string& s) { statuses.push_back(s); },
        [](const std::string& e) { ADD_FAILURE() << e; });
    ASSERT_TRUE(waitFor(State::failed));
    EXPECT_EQ(statuses, (std::vector<std::string>{"loading", "warning"}));
    const auto message = kept(user);
    EXPECT_TRUE(openStore()->json(Outbox::kStoreKey).has_value());

    // Still down: it tries again by itself, after a while.
    scheduler->advance(Outbox::kFirstRetry);
    ASSERT_TRUE(waitFor(State::failed, 2));
    // Back, but the answer is lost after the service stored the message.
    server->clearFaults();
    server->addFault(fault(replyPath(id), dev::Fault::Action::truncate, 1));
    scheduler->advance(2 * Outbox::kFirstRetry);
    ASSERT_TRUE(waitFor(State::failed, 3));
    EXPECT_TRUE(library->outbox.holds(message.randomId));
    scheduler->advance(4 * Outbox::kFirstRetry);
    ASSERT_TRUE(waitFor(State::sent));

    EXPECT_EQ(stored(id, "sent while down"), 1U);
    EXPECT_FALSE(library->outbox.holds(message.randomId));
    EXPECT_FALSE(openStore()->json(Outbox::kStoreKey).has_value());
    const auto& list = library->conversations.messages.repository(id).currentMessages();
    EXPECT_EQ(std::count_if(list.begin(), list.end(),
                            [](const Message& m) { return m.body == "sent while down"; }),
              1);
}

TEST_F(OutboxTest, AMessageKeptAcrossARestartOfTheHostArrivesOnce) {
    const auto user = connect();
    const auto id = conversationOf(user);
    server->addFault(fault(replyPath(id), dev::Fault::Action::drop, -1));
    vesk->chat().send("across a restart", nullptr, nullptr);
    ASSERT_TRUE(waitFor(State::failed));
    const auto message = kept(user);

    restart();
    server->clearFaults();
    // Shown in its conversation before any connection is made.
    EXPECT_NE(library->conversations.messages.repository(id).find(message.id), nullptr);
    EXPECT_EQ(connect(), user);
    ASSERT_TRUE(waitFor(State::sent));
    EXPECT_EQ(stored(id, "across a restart"), 1U);
    EXPECT_FALSE(openStore()->json(Outbox::kStoreKey).has_value());

    restart();  // nothing is left to send
    EXPECT_TRUE(library->outbox.pending(user).empty());
}

TEST_F(OutboxTest, AMessageDeletedFromTheErrorSheetIsGoneForGood) {
    const auto user = connect();
    const auto id = conversationOf(user);
    library->openConversation(id);
    ASSERT_TRUE(runUntil([&] {
        const auto scripts = platform->scripts(PageMode::messages);
        return std::any_of(scripts.begin(), scripts.end(), [](const std::string& s) {
            return s.starts_with("window.webView.initDialogue(");
        });
    }));
    server->addFault(fault(replyPath(id), dev::Fault::Action::drop, -1));
    ASSERT_TRUE(platform->typeText("never mind"));
    ASSERT_TRUE(platform->tapSend());
    ASSERT_TRUE(waitFor(State::failed));
    const auto message = kept(user);

    platform->navigate(PageMode::messages,
                       "veskiossdk://clickErrorMessage?messageId=" + message.id);
    scheduler->advance(200ms);
    ASSERT_EQ(platform->sheet().size(), 3U);
    ASSERT_TRUE(platform->chooseSheetAction(1));  // delete
    EXPECT_FALSE(library->outbox.holds(message.randomId));
    EXPECT_EQ(library->conversations.messages.repository(id).find(message.id), nullptr);

    server->clearFaults();
    restart();
    EXPECT_EQ(library->conversations.messages.repository(id).find(message.id), nullptr);
    connect();
    vesk->chat().open(id);
    // Messages go oldest first: once a later one is in, the deleted one is not coming.
    vesk->chat().send("a later one", nullptr, nullptr);
    ASSERT_TRUE(waitFor(State::sent));
    EXPECT_EQ(stored(id, "a later one"), 1U);
    EXPECT_EQ(stored(id, "never mind"), 0U);
}

}  // namespace
}  // namespace vesk
