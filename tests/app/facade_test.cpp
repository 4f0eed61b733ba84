#include <gtest/gtest.h>

#include "app/reachability_service.hpp"
#include "app/vesk_impl.hpp"
#include "tests/app/support/session_fixture.hpp"
#include "tests/support/temp_dir.hpp"
#include "tests/support/virtual_scheduler.hpp"
#include "vesk/headless_platform.hpp"
#include "vesk/notification_service.hpp"
#include "vesk/vesk.hpp"

namespace vesk {
namespace {

using namespace std::chrono_literals;

// What one call's handlers saw.
struct Outcome {
    int successes = 0;
    std::vector<std::string> errors;
    [[nodiscard]] int calls() const { return successes + static_cast<int>(errors.size()); }
    Vesk::SuccessHandler onSuccess() {
        return [this] { ++successes; };
    }
    Vesk::ErrorHandler onError() {
        return [this](const std::string& text) { errors.push_back(text); };
    }
};

class FacadeTest : public testing::DevServerTest {
  protected:
    // A facade over a new instance on the test's store file; `library` is its.
    std::unique_ptr<Vesk> makeFacade() {
        library = makeLibrary(scheduler);
        return std::make_unique<Vesk>(library);
    }
    bool finished(const Outcome& outcome) {
        return runUntil([&] { return outcome.calls() > 0; });
    }
    [[nodiscard]] NetworkSettingsPtr settings() const {
        return library->sdkApp.networkSetting.value();
    }
    [[nodiscard]] MessengerRepository& messengers() const {
        return library->conversations.messenger;
    }
    [[nodiscard]] std::optional<std::string> stored(const char* key) const {
        return openStore()->string(key);
    }

    std::shared_ptr<VirtualScheduler> scheduler = std::make_shared<VirtualScheduler>();
    std::shared_ptr<Library> library;
};

TEST_F(FacadeTest, SetupSavesTheAnonymousUserAndARestartKeepsIt) {
    std::string firstId;
    {
        auto vesk = makeFacade();
        Outcome setup;
        vesk->setup(server->demoApiKey(), setup.onSuccess(), setup.onError());
        ASSERT_TRUE(finished(setup));
        ASSERT_EQ(setup.successes, 1) << (setup.errors.empty() ? "" : setup.errors[0]);
        ASSERT_TRUE(stored("VeskUserId"));
        firstId = *stored("VeskUserId");
        ASSERT_TRUE(settings());
        EXPECT_EQ(settings()->userId, firstId);
        EXPECT_EQ(settings()->token, stored("VeskToken"));
        EXPECT_EQ(settings()->appId, server->demoAppId());
        EXPECT_TRUE(messengers().messenger.value().has_value());
    }
    // A new facade on the same file: the connect reply's new anonymous user is ignored.
    server->clearRequests();
    auto vesk = makeFacade();
    Outcome setup;
    vesk->setup(server->demoApiKey(), setup.onSuccess(), setup.onError());
    ASSERT_TRUE(finished(setup));
    ASSERT_EQ(setup.successes, 1);
    EXPECT_EQ(stored("VeskUserId"), firstId);
    EXPECT_EQ(settings()->userId, firstId);
    // Connect was made without a token, so the service answered with a new anonymous user.
    EXPECT_EQ(requestsTo("/v1/connect").at(0).queryItem("auth_token"), "");
    // The heartbeat fires at once, then every 30 seconds, as the kept user.
    scheduler->advance(0s);
    ASSERT_TRUE(waitForRequests("/v1/users/" + firstId + "/setpresence", 1));
    scheduler->advance(30s);
    ASSERT_TRUE(waitForRequests("/v1/users/" + firstId + "/setpresence", 2));
    EXPECT_EQ(requestsTo("/v1/users/" + firstId + "/setpresence")[0].queryItem("auth_token"),
              *stored("VeskToken"));
}

// Keeps every write after the first `budget`, as a process killed there would.
class KilledStore final : public KeyValueStore {
  public:
    KilledStore(std::shared_ptr<KeyValueStore> disk, int budget)
        : disk_(std::move(disk)), budget_(budget) {}
    [[nodiscard]] std::optional<StoreValue> get(std::string_view key) const override {
        return disk_->get(key);
    }
    bool set(std::string_view key, StoreValue value) override {
        return !alive() || disk_->set(key, std::move(value));
    }
    bool remove(std::string_view key) override { return !alive() || disk_->remove(key); }
    bool update(std::string_view key, const Updater& fn) override {
        return !alive() || disk_->update(key, fn);
    }
    bool apply(const std::vector<StoreChange>& changes) override {
        return !alive() || disk_->apply(changes);
    }
    int writes = 0;

  private:
    bool alive() { return writes++ < budget_; }
    std::shared_ptr<KeyValueStore> disk_;
    int budget_;
};

class KilledStores final : public KeyValueStoreFactory {
  public:
    KilledStores(std::shared_ptr<KeyValueStoreFactory> disk, std::shared_ptr<KilledStore> standard)
        : disk_(std::move(disk)), standard_(std::move(standard)) {}
    std::shared_ptr<KeyValueStore> standard() override { return standard_; }
    std::shared_ptr<KeyValueStore> suite(std::string_view name) override {
        return disk_->suite(name);
    }

  private:
    std::shared_ptr<KeyValueStoreFactory> disk_;
    std::shared_ptr<KilledStore> standard_;
};

TEST_F(FacadeTest, AKillAtAnyStoreWriteOfSetupAndAuthLeavesAUserWhoseIdAndTokenAgree) {
    for (int budget = 0;; ++budget) {
        SCOPED_TRACE("writes before the kill: " + std::to_string(budget));
        const testing::TempDir files;
        const auto disk = makeFileKeyValueStoreFactory(files.path());
        auto store = std::make_shared<KilledStore>(disk->standard(), budget);
        auto options = libraryOptions();
        options.scheduler = scheduler;
        options.standardStore = store;
        options.stores = std::make_shared<KilledStores>(disk, store);
        library = Library::make(std::move(options));
        Vesk vesk(library);
        Outcome setup;
        Outcome auth;
        vesk.setup(server->demoApiKey(), setup.onSuccess(), setup.onError());
        ASSERT_TRUE(finished(setup));
        const auto anonymous = settings();
        vesk.auth("customer-7", server->demoUserAuthKey(), auth.onSuccess(), auth.onError());
        ASSERT_TRUE(finished(auth));
        ASSERT_EQ(auth.successes, 1);
        const auto customer = settings();

        const auto reopened = makeFileKeyValueStoreFactory(files.path())->standard();
        const auto id = reopened->string("VeskUserId");
        const auto token = reopened->string("VeskToken");
        const auto is = [&](const NetworkSettingsPtr& user) {
            return id == user->userId && token == user->token;
        };
        EXPECT_TRUE((!id && !token) || is(anonymous) || is(customer))
            << id.value_or("none") << " with " << token.value_or("none");
        if (store->writes <= budget) {
            break;  // the flow wrote no more than that: every kill point was tried
        }
    }
}

TEST_F(FacadeTest, AStoredUserTheServiceRefusesGivesWayToTheConnectedAnonymousUser) {
    {
        auto vesk = makeFacade();
        Outcome setup;
        vesk->setup(server->demoApiKey(), setup.onSuccess(), setup.onError());
        ASSERT_TRUE(finished(setup));
    }
    // Another user's id beside this token: every user request of it is refused.
    openStore()->setString("VeskUserId", "someone-else");
    server->clearRequests();
    auto vesk = makeFacade();
    Outcome setup;
    vesk->setup(server->demoApiKey(), setup.onSuccess(), setup.onError());
    ASSERT_TRUE(finished(setup));
    EXPECT_EQ(setup.successes, 1);
    scheduler->advance(0s);
    ASSERT_TRUE(runUntil([&] { return settings()->userId != "someone-else"; }));
    EXPECT_EQ(stored("VeskUserId"), settings()->userId);
    EXPECT_EQ(stored("VeskToken"), settings()->token);
    // The new user's heartbeat goes on; the refused one's has stopped.
    scheduler->advance(0s);
    ASSERT_TRUE(waitForRequests("/v1/users/" + settings()->userId + "/setpresence", 1));
    scheduler->advance(30s);
    ASSERT_TRUE(waitForRequests("/v1/users/" + settings()->userId + "/setpresence", 2));
    EXPECT_EQ(requestsTo("/v1/users/someone-else/setpresence").size(), 1U);
}

TEST_F(FacadeTest, TheFirstStoredUserAndMessengerPairPublishesItsSettingsOnce) {
    std::optional<Messenger> messenger;
    {
        auto vesk = makeFacade();
        Outcome setup;
        vesk->setup(server->demoApiKey(), setup.onSuccess(), setup.onError());
        ASSERT_TRUE(finished(setup));
        ASSERT_EQ(setup.successes, 1);
        messenger = messengers().messenger.value();
        ASSERT_TRUE(messenger);
    }
    // A new instance: a stored user, no messenger yet.
    library = makeLibrary(scheduler);
    int published = 0;
    rx::DisposeBag bag;
    bag.insert(library->sdkApp.networkSetting.asObservable().subscribe(
        [&](const NetworkSettingsPtr& s) { published += s ? 1 : 0; }));
    auto vesk = std::make_unique<Vesk>(library);
    EXPECT_EQ(published, 0);
    messengers().messenger.accept(messenger);
    ASSERT_EQ(published, 1);
    EXPECT_EQ(settings()->userId, stored("VeskUserId"));
    EXPECT_EQ(settings()->token, stored("VeskToken"));
    EXPECT_EQ(settings()->appId, server->demoAppId());
    messengers().messenger.accept(messenger);
    EXPECT_EQ(published, 1);

    // Both known when the facade starts: published at once.
    library = makeLibrary(scheduler);
    library->conversations.messenger.messenger.accept(messenger);
    vesk = std::make_unique<Vesk>(library);
    ASSERT_TRUE(settings());
    EXPECT_EQ(settings()->userId, stored("VeskUserId"));
}

TEST_F(FacadeTest, RejectedKeyReachesTheErrorHandlerOnceWithTheEnvelopeText) {
    auto vesk = makeFacade();
    Outcome setup;
    vesk->setup("not-a-key", setup.onSuccess(), setup.onError());
    ASSERT_TRUE(finished(setup));
    runUntil([] { return false; }, 50ms);
    ASSERT_EQ(setup.calls(), 1);
    EXPECT_EQ(setup.errors.at(0).rfind("Error (status: 400) ", 0), 0U) << setup.errors[0];
    EXPECT_FALSE(settings());
}

struct FaultCase {
    const char* name;
    dev::Fault fault;
    std::string text;  // empty: any non-empty text
};

class FacadeFaults : public FacadeTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(FacadeFaults, SetupReportsEachFaultOnce) {
    server->addFault(GetParam().fault);
    auto vesk = makeFacade();
    Outcome setup;
    vesk->setup(server->demoApiKey(), setup.onSuccess(), setup.onError());
    ASSERT_TRUE(finished(setup));
    ASSERT_EQ(setup.calls(), 1);
    ASSERT_EQ(setup.errors.size(), 1U);
    if (GetParam().text.empty()) {
        EXPECT_FALSE(setup.errors[0].empty());
    } else {
        EXPECT_EQ(setup.errors[0], GetParam().text);
    }
}

dev::Fault replyFault(const char* path, int status, std::string body) {
    dev::Fault f;
    f.pathPrefix = path;
    f.action = dev::Fault::Action::reply;
    f.status = status;
    f.body = std::move(body);
    return f;
}

dev::Fault dropFault(const char* path) {
    dev::Fault f;
    f.pathPrefix = path;
    f.action = dev::Fault::Action::drop;
    return f;
}

INSTANTIATE_TEST_SUITE_P(
    Replies, FacadeFaults,
    ::testing::Values(FaultCase{"UserDoesNotDecode",
                                replyFault("connect", 200, R"({"meta":{"status":200},"data":{}})"),
                                "connect(withKey: withVersion:) Ошибка десериализации модели User"},
                      FaultCase{"ServerErrorEnvelope",
                                replyFault("connect", 503,
                                           R"({"meta":{"status":503,"error":"down"},"data":null})"),
                                "Error (status: 503) down: "},
                      FaultCase{"ErrorWithoutEnvelope", replyFault("connect", 500, "oops"), ""},
                      FaultCase{"ConnectionDropped", dropFault("connect"), ""}),
    [](const auto& tested) { return std::string(tested.param.name); });

TEST_F(FacadeTest, LogoutEmptiesTheTokenThenSavesTheNewAnonymousUser) {
    auto vesk = makeFacade();
    Outcome setup;
    vesk->setup(server->demoApiKey(), setup.onSuccess(), setup.onError());
    ASSERT_TRUE(finished(setup));
    const auto before = settings();
    openStore()->setString("dialogId", "d1");
    vesk->logout();
    runUntil([&] { return settings() != before; });
    ASSERT_TRUE(settings());
    EXPECT_EQ(settings()->token, "");
    EXPECT_EQ(settings()->userId, before->userId);
    EXPECT_EQ(settings()->appId, before->appId);
    EXPECT_FALSE(stored("dialogId"));
    EXPECT_FALSE(stored("VeskUserId"));
    ASSERT_TRUE(runUntil([&] { return stored("VeskUserId").has_value(); }));
    EXPECT_NE(*stored("VeskUserId"), before->userId);
    EXPECT_EQ(requestsTo("/v1/connect").size(), 2U);
    ASSERT_TRUE(runUntil([&] { return settings()->userId == *stored("VeskUserId"); }));
    EXPECT_EQ(settings()->token, stored("VeskToken"));
}

TEST_F(FacadeTest, AuthBeforeSetupWaitsForTheMessengerThenIdentifiesTheUser) {
    auto vesk = makeFacade();
    Outcome auth;
    Outcome setup;
    vesk->auth("customer-7", server->demoUserAuthKey(), auth.onSuccess(), auth.onError());
    runUntil([] { return false; }, 20ms);
    EXPECT_EQ(auth.calls(), 0);
    EXPECT_TRUE(requestsTo("/v1/auth/userappauth").empty());
    vesk->setup(server->demoApiKey(), setup.onSuccess(), setup.onError());
    ASSERT_TRUE(finished(auth));
    EXPECT_EQ(setup.successes, 1);
    ASSERT_EQ(auth.successes, 1) << (auth.errors.empty() ? "" : auth.errors[0]);
    const auto sent = requestsTo("/v1/auth/userappauth");
    ASSERT_EQ(sent.size(), 1U);
    EXPECT_EQ(sent[0].formField("user_id"), "customer-7");
    EXPECT_EQ(settings()->userId, stored("VeskUserId"));
    EXPECT_EQ(settings()->token, stored("VeskToken"));
    EXPECT_NE(sent[0].queryItem("auth_token"), settings()->token);  // sent as the anonymous user
}

TEST_F(FacadeTest, AuthWithAWrongKeyReportsTheRejection) {
    auto vesk = makeFacade();
    Outcome setup;
    Outcome auth;
    vesk->setup(server->demoApiKey(), setup.onSuccess(), setup.onError());
    vesk->auth("customer-7", "wrong", auth.onSuccess(), auth.onError());
    ASSERT_TRUE(finished(auth));
    ASSERT_EQ(auth.errors.size(), 1U);
    EXPECT_EQ(auth.errors[0].rfind("Error (status: 403) ", 0), 0U) << auth.errors[0];
}

TEST_F(FacadeTest, SecondSetupWhileTheFirstIsPendingRunsTwoConnectsAndTwoHeartbeats) {
    auto vesk = makeFacade();
    Outcome first;
    Outcome second;
    vesk->setup(server->demoApiKey(), first.onSuccess(), first.onError());
    vesk->setup(server->demoApiKey(), second.onSuccess(), second.onError());
    ASSERT_TRUE(runUntil([&] { return first.calls() > 0 && second.calls() > 0; }));
    EXPECT_EQ(first.successes, 1);
    EXPECT_EQ(second.successes, 1);
    EXPECT_EQ(requestsTo("/v1/connect").size(), 2U);
    scheduler->advance(0s);
    ASSERT_TRUE(waitForRequests("/v1/users/" + settings()->userId + "/setpresence", 2));
}

TEST_F(FacadeTest, SetupWaitsUntilTheServiceIsReachable) {
    // Find a free port, then let the server come up on it only later.
    const std::uint16_t port = server->port();
    const std::string key = server->demoApiKey();
    const auto base = libraryOptions();
    server.reset();
    auto source =
        makeApiHostReachability(testing::testLoop(), *scheduler, 10s, base.configuration->apiUrl);
    auto made = base;
    made.scheduler = scheduler;
    made.reachability = source;
    library = Library::make(made);
    auto vesk = std::make_unique<Vesk>(library);
    Outcome setup;
    vesk->setup(key, setup.onSuccess(), setup.onError());
    scheduler->advance(0s);  // first probe: refused
    runUntil([] { return false; }, 100ms);
    EXPECT_EQ(setup.calls(), 0);
    dev::DevServerOptions options;
    options.port = port;
    std::string error;
    server = dev::DevServer::start(options, &error);
    ASSERT_TRUE(server) << error;
    scheduler->advance(10s);  // next probe finds it
    ASSERT_TRUE(finished(setup));
    EXPECT_EQ(setup.successes, 1);
    EXPECT_EQ(requestsTo("/v1/connect").size(), 1U);
}

TEST_F(FacadeTest, AReleasedFacadeNeverCallsItsHandlers) {
    dev::Fault slow;
    slow.pathPrefix = "connect";
    slow.action = dev::Fault::Action::delay;
    slow.delay = 200ms;
    server->addFault(slow);
    auto released = makeFacade();
    Outcome late;
    released->setup(server->demoApiKey(), late.onSuccess(), late.onError());
    ASSERT_TRUE(waitForRequests("/v1/connect", 1));
    released.reset();
    auto vesk = makeFacade();
    Outcome setup;
    vesk->setup(server->demoApiKey(), setup.onSuccess(), setup.onError());
    ASSERT_TRUE(finished(setup));
    runUntil([] { return false; }, 300ms);
    EXPECT_EQ(late.calls(), 0);
}

TEST_F(FacadeTest, PropertiesAndEventsAreSentOnlyAfterSetup) {
    auto vesk = makeFacade();
    vesk->trackEvent("too-early", "");
    vesk->setUserProperty({UserProperty("k", "v", UserProperty::Operations::add)});
    Outcome setup;
    vesk->setup(server->demoApiKey(), setup.onSuccess(), setup.onError());
    ASSERT_TRUE(finished(setup));
    const std::string user = "/v1/users/" + settings()->userId;
    vesk->trackEvent("opened", "");
    vesk->setUserProperty({UserProperty("$name", "A", UserProperty::Operations::setOnce)});
    ASSERT_TRUE(waitForRequests(user + "/events", 1));
    ASSERT_TRUE(waitForRequests(user + "/props", 1));
    const auto events = requestsTo(user + "/events");
    ASSERT_EQ(events.size(), 1U);
    EXPECT_EQ(events[0].formField("event"), "opened");
    EXPECT_FALSE(events[0].hasFormField("params"));
    EXPECT_EQ(requestsTo(user + "/props")[0].formField("operations"),
              R"([{"op":"set_once","key":"$name","value":"A"}])");
}

TEST_F(FacadeTest, TwoInstancesInOneProcessShareNothing) {
    auto first = makeFacade();
    const auto one = library;
    auto otherOptions = libraryOptions();
    otherOptions.scheduler = scheduler;
    otherOptions.standardStore = makeInMemoryKeyValueStore();
    const auto two = Library::make(otherOptions);
    Vesk second(two);

    Outcome setup;
    first->setup(server->demoApiKey(), setup.onSuccess(), setup.onError());
    ASSERT_TRUE(finished(setup));
    ASSERT_EQ(setup.successes, 1);
    const auto user = one->sdkApp.networkSetting.value()->userId;
    ASSERT_TRUE(runUntil([&] { return server->realtimeSocketCount(user) == 1; }));
    EXPECT_FALSE(two->sdkApp.networkSetting.value());
    EXPECT_FALSE(two->conversations.messenger.messenger.value());
    EXPECT_EQ(two->sdkApp.rtsManager->getActiveCount(), 0U);

    Dialog dialog;
    dialog.id = "d1";
    one->conversations.dialogs.add({dialog});
    one->appState.isBackground.accept(true);
    first->notificationService().clickNotification(
        JsonValue(JsonObject{{"conversation_id", JsonValue("d1")}}));
    testing::testLoop().runPending();
    EXPECT_TRUE(one->screen.isOpen.value());
    EXPECT_EQ(stored("dialogId"), "d1");

    EXPECT_TRUE(two->conversations.dialogs.dialogs.value().empty());
    EXPECT_FALSE(two->appState.isBackground.value());
    EXPECT_FALSE(two->screen.isOpen.value());
    EXPECT_FALSE(two->conversations.currentState.dialogId.value());
    EXPECT_FALSE(two->standardStore->string("dialogId"));
}

TEST_F(FacadeTest, AnsweredEventsAndPropertiesKeepNothing) {
    auto vesk = makeFacade();
    Outcome setup;
    vesk->setup(server->demoApiKey(), setup.onSuccess(), setup.onError());
    ASSERT_TRUE(finished(setup));
    const std::string user = "/v1/users/" + settings()->userId;
    for (int i = 0; i < 20; ++i) {
        vesk->trackEvent("opened", "");
        vesk->setUserProperty({UserProperty("k", "v", UserProperty::Operations::add)});
    }
    EXPECT_EQ(library->facade->requests.size(), 40U);
    ASSERT_TRUE(waitForRequests(user + "/events", 20));
    ASSERT_TRUE(waitForRequests(user + "/props", 20));
    ASSERT_TRUE(runUntil([&] { return library->facade->requests.size() == 0; }));
}

TEST(FacadeValues, VersionAndWebVersion) {
    EXPECT_EQ(Vesk::version(), "1.0.33");
    EXPECT_EQ(Norra::webVersion(), 0);
}

// Counts the windows made, and how often they are shown, on a headless platform.
class CountingPlatform final : public ChatPlatform {
  public:
    explicit CountingPlatform(std::shared_ptr<Executor> executor) : inner_(std::move(executor)) {}
    std::shared_ptr<ChatWindow> createChatWindow() override {
        ++windows;
        return inner_.createChatWindow();
    }
    std::shared_ptr<WebPage> createWebPage(PageMode mode) override {
        return inner_.createWebPage(mode);
    }
    int windows = 0;

  private:
    HeadlessChatPlatform inner_;
};

TEST_F(FacadeTest, OpeningAnOpenChatKeepsItsOneWindowAndClosingReleasesIt) {
    auto options = libraryOptions();
    options.scheduler = scheduler;
    const auto platform = std::make_shared<CountingPlatform>(options.executor);
    options.chatPlatform = platform;
    library = Library::make(options);
    Vesk vesk(library);
    vesk.openChat();
    vesk.openChat();
    runUntil([] { return false; }, 50ms);
    EXPECT_EQ(platform->windows, 1);
    EXPECT_TRUE(library->screen.isOpen.value());
    vesk.closeChat();
    runUntil([&] { return !library->screen.isOpen.value(); });
    vesk.openChat();
    runUntil([&] { return platform->windows == 2; });
    EXPECT_EQ(platform->windows, 2);
}

// Launchers that count how many are in their host view.
class CountingLaunchers final : public ChatPlatform {
  public:
    class Launcher final : public LauncherView {
      public:
        explicit Launcher(int& shown) : shown_(shown) {}
        void setListener(std::weak_ptr<LauncherListener> /*listener*/) override {}
        void show(const LauncherContent& /*content*/) override {
            if (!std::exchange(in_, true)) {
                ++shown_;
            }
        }
        void remove() override {
            if (std::exchange(in_, false)) {
                --shown_;
            }
        }
        void openUrl(const std::string& /*url*/) override {}

      private:
        int& shown_;
        bool in_ = false;
    };

    std::shared_ptr<ChatWindow> createChatWindow() override { return nullptr; }
    std::shared_ptr<WebPage> createWebPage(PageMode /*mode*/) override { return nullptr; }
    std::shared_ptr<LauncherView> createLauncher(const std::shared_ptr<PlatformView>&) override {
        ++made;
        auto launcher = std::make_shared<Launcher>(shown);
        kept.push_back(launcher);  // a leaked button would stay in its view
        return launcher;
    }

    int made = 0;
    int shown = 0;
    std::vector<std::shared_ptr<Launcher>> kept;
};

TEST_F(FacadeTest, EveryInitialisationShowsTheOneLauncherAnew) {
    auto options = libraryOptions();
    options.scheduler = scheduler;
    const auto platform = std::make_shared<CountingLaunchers>();
    options.chatPlatform = platform;
    library = Library::make(options);
    Vesk vesk(library);
    const auto host = std::make_shared<PlatformView>();
    vesk.showButton(host);
    Outcome setup;
    vesk.setup(server->demoApiKey(), setup.onSuccess(), setup.onError());
    ASSERT_TRUE(runUntil([&] { return platform->made == 1; }));
    vesk.logout();
    ASSERT_TRUE(runUntil([&] { return platform->made == 2; }));
    EXPECT_EQ(platform->shown, 1);
    vesk.hideButton();
    runUntil([&] { return platform->shown == 0; });
    EXPECT_EQ(platform->shown, 0);
}

}  // namespace
}  // namespace vesk
