// Token registration and removal, and the facade's foreground decision, against
// the development server.
#include <gtest/gtest.h>

#include "push/push_notification_service.hpp"
#include "tests/app/support/session_fixture.hpp"
#include "tests/push/support/push_fixture.hpp"
#include "tests/support/capturing_console_sink.hpp"
#include "tests/support/virtual_scheduler.hpp"
#include "vesk/device_information.hpp"
#include "vesk/notification_service.hpp"
#include "vesk/vesk.hpp"

namespace vesk {
namespace {

using namespace std::chrono_literals;

constexpr const char* kVendorId = "A1B2C3D4-E5F6-4000-8000-00000000ABCD";

class RegistrationTest : public testing::DevServerTest {
  protected:
    void SetUp() override {
        DevServerTest::SetUp();
        makeFacade(libraryOptions());
    }
    void makeFacade(LibraryOptions options) {
        options.scheduler = scheduler;
        options.deviceInformation = std::make_shared<testing::FixedDevice>(kVendorId);
        options.notificationCenter = center;
        library = Library::make(std::move(options));
        vesk = std::make_unique<Vesk>(library);
    }

    void setUp() {
        bool done = false;
        std::string error;
        vesk->setup(
            server->demoApiKey(), [&] { done = true; },
            [&](const std::string& e) {
                error = e;
                done = true;
            });
        ASSERT_TRUE(runUntil([&] { return done; }));
        ASSERT_EQ(error, "");
    }
    [[nodiscard]] std::string userPath(const char* endpoint) const {
        return "/v1/users/" + library->sdkApp.networkSetting.value()->userId + "/" + endpoint;
    }
    // Lets every request already made reach the server.
    void settle() {
        runUntil([] { return false; }, 200ms);
    }

    std::shared_ptr<VirtualScheduler> scheduler = std::make_shared<VirtualScheduler>();
    std::shared_ptr<InMemoryNotificationCenter> center =
        std::make_shared<InMemoryNotificationCenter>();
    std::shared_ptr<Library> library;
    std::unique_ptr<Vesk> vesk;
};

TEST_F(RegistrationTest, ATokenIsSubscribedAfterEachSetupButNotWhenUnchangedOrEmpty) {
    // Before setup nothing can be sent; the token waits for it.
    vesk->setPushToken("token-1");
    setUp();
    const auto subscribe = userPath("pushes_subscribe");
    ASSERT_TRUE(waitForRequests(subscribe, 1));
    settle();
    ASSERT_EQ(requestsTo(subscribe).size(), 1U);
    const auto first = requestsTo(subscribe).at(0);
    EXPECT_EQ(first.formField("token"), "token-1");
    EXPECT_EQ(first.formField("device_guid"), "a1b2c3d4-e5f6-4000-8000-00000000abcd");
    EXPECT_EQ(first.formField("type"), "mobile");
    EXPECT_TRUE(first.hasFormField("user_agent"));
    EXPECT_EQ(first.formField("user_agent"), "");

    vesk->setPushToken("token-1");  // unchanged
    vesk->setPushToken("");         // empty
    settle();
    EXPECT_EQ(requestsTo(subscribe).size(), 1U);

    vesk->setPushToken("token-2");
    ASSERT_TRUE(waitForRequests(subscribe, 2));
    EXPECT_EQ(requestsTo(subscribe).at(1).formField("token"), "token-2");

    // A new setup subscribes again.
    setUp();
    ASSERT_TRUE(waitForRequests(subscribe, 3));
    EXPECT_EQ(requestsTo(subscribe).at(2).formField("token"), "token-2");

    // Removal: the vendor id as the device gives it; the token is forgotten.
    vesk->deletePushToken();
    const auto unsubscribe = userPath("pushes_unsubscribe");
    ASSERT_TRUE(waitForRequests(unsubscribe, 1));
    EXPECT_EQ(requestsTo(unsubscribe).at(0).formField("device_guid"), kVendorId);
    EXPECT_EQ(requestsTo(unsubscribe).at(0).formField("type"), "mobile");
    setUp();
    settle();
    EXPECT_EQ(requestsTo(subscribe).size(), 3U);
}

TEST_F(RegistrationTest, NoVendorIdOrNoConnectionSendsNothing) {
    PushEnvironment env;
    env.api = api();
    env.networkSettings = [] { return NetworkSettingsPtr(); };
    env.isInit = rx::just(true);
    env.device = [] { return std::make_shared<testing::FixedDevice>(std::nullopt); };
    auto service = PushNotificationService::make(env);
    service->setToken("t");
    service->deleteToken();
    // With an id but no connection made yet.
    env.device = [] { return std::make_shared<testing::FixedDevice>(kVendorId); };
    auto second = PushNotificationService::make(env);
    second->setToken("t");
    second->deleteToken();
    settle();
    EXPECT_TRUE(server->requests().empty());
}

TEST_F(RegistrationTest, TheFacadePresentsAUserPushOnceAndLogsEachStep) {
    testing::ScopedConsoleCapture console;
    int presented = 0;
    PresentationOptions options;
    const auto show = [&](const JsonValue& p, std::optional<std::string> domain) {
        vesk->show(p, domain, [&](PresentationOptions o) {
            ++presented;
            options = o;
        });
        testing::testLoop().runPending();
    };
    const auto push = testing::payload({{"id", JsonValue("p-1")}, {"is_vesk", JsonValue("true")}});
    // The library's stores outlive the test: a fresh suite per run.
    const std::string domain = "group.facade." + dir.path().filename().string();

    show(push, domain);  // not set up: the messenger is not loaded
    EXPECT_EQ(presented, 0);

    setUp();
    show(testing::payload({{"id", JsonValue("p-0")}, {"notification_type", JsonValue("admin")}}),
         domain);
    EXPECT_EQ(presented, 0);
    show(push, domain);
    EXPECT_EQ(presented, 1);
    EXPECT_EQ(options.rawValue, 6U);
    show(push, domain);  // the same id again
    EXPECT_EQ(presented, 1);
    show(JsonValue(JsonArray{JsonValue("p-1")}), domain);  // not a dictionary
    EXPECT_EQ(presented, 1);
    show(testing::payload({{"id", JsonValue(17)}}), domain);  // id of another type: presented
    show(testing::payload({{"id", JsonValue(17)}}), domain);
    EXPECT_EQ(presented, 3);
    show(testing::payload({{"id", JsonValue("p-2")}}), std::string("bad\nname"));
    EXPECT_EQ(presented, 3);

    std::vector<std::string> texts;
    for (const auto& line : console.lines("VeskPush")) {
        texts.push_back(line.text);
    }
    ASSERT_GE(texts.size(), 6U);
    const std::string bar = "--------------------";
    // The two refused by the foreground rule log only the call.
    EXPECT_EQ(texts[0], bar + "Вызван show push" + bar);
    EXPECT_EQ(texts[1], bar + "Вызван show push" + bar);
    EXPECT_EQ(texts[2], bar + "Вызван show push" + bar);
    EXPECT_EQ(texts[3], bar + "пуш будет показан: true" + bar);
    EXPECT_EQ(texts[4], bar + "Уведомление показано" + bar);
    EXPECT_EQ(texts[5], bar + "Вызван show push" + bar);
    EXPECT_EQ(texts[6], bar + "пуш будет показан: false" + bar);
}

TEST_F(RegistrationTest, TheExtensionEntryRemovesTheDuplicateThroughTheLibrarysStores) {
    // The application shares the host's stores and centre with its extension.
    auto options = libraryOptions();
    options.stores = keyValueStoreFactory();
    makeFacade(options);
    setNotificationCenter(center);
    const std::string domain = "group.com.example.extension";
    const auto store = keyValueStoreFactory()->suite(domain);
    ASSERT_TRUE(store);
    Notification local;
    local.request.identifier = "local-9";
    local.request.content.userInfo.set("id", JsonValue("m-9"));
    center->deliver(local);
    NotificationContent push;
    push.userInfo.set("id", JsonValue("m-9"));

    store->setBool("isBackground", true);
    VeskNotificationService::deleteDuplicateNotification(push, domain);
    EXPECT_TRUE(center->delivered().empty());
    // The application, in front again, does not present the push a second time.
    std::optional<bool> shown;
    Notification remote;
    remote.request.content = push;
    vesk->notificationService().isShownEarlier(remote, domain, [&](bool s) { shown = s; });
    ASSERT_TRUE(runUntil([&] { return shown.has_value(); }));
    EXPECT_EQ(shown, true);
    // Unusable domain: nothing happens, nothing throws.
    VeskNotificationService::deleteDuplicateNotification(push, std::string("bad\nname"));
    store->remove("isBackground");
    store->remove("notificationList");
    setNotificationCenter(nullptr);
}

TEST_F(RegistrationTest, ThePublicServiceForwardsOwnershipAndTaps) {
    NotificationResponse response;
    response.notification.request.content.userInfo.set("is_vesk", JsonValue(true));
    response.notification.request.content.userInfo.set("localPushType", JsonValue("sdk"));
    EXPECT_TRUE(VeskNotificationService::canHandle(response));
    EXPECT_TRUE(NorraNotificationService::canHandle(response.notification));
    EXPECT_FALSE(VeskNotificationService::canHandle(JsonValue("x")));

    // A tap goes through the opening of its conversation: the previous one's
    // paging position does not leak into it, and the instance's store keeps it.
    auto& state = library->conversations.currentState;
    state.paginatePosition = "older-page";
    response.notification.request.content.userInfo.set("conversation_id", JsonValue("c-5"));
    vesk->notificationService().clickNotification(response);
    testing::testLoop().runPending();
    EXPECT_TRUE(library->screen.isOpen.value());  // the chat opened
    EXPECT_EQ(state.dialogId.value(), std::optional<std::string>("c-5"));
    EXPECT_FALSE(state.paginatePosition);
    EXPECT_EQ(openStore()->string("dialogId"), "c-5");

    // Without a conversation the chat opens as the facade's openChat does: on
    // the newest chat popup.
    vesk->closeChat();
    testing::testLoop().runPending();
    EXPECT_FALSE(library->screen.isOpen.value());
    EXPECT_FALSE(state.dialogId.value());  // closing forgets what was shown
    Dialog older;
    older.id = "p-1";
    older.type = "popup_chat";
    older.lastUpdate = 10;
    Dialog newer = older;
    newer.id = "p-2";
    newer.lastUpdate = 20;
    library->conversations.dialogs.add({older, newer});
    response.notification.request.content.userInfo.erase("conversation_id");
    vesk->notificationService().clickNotification(response);
    testing::testLoop().runPending();
    EXPECT_TRUE(library->screen.isOpen.value());
    EXPECT_EQ(state.dialogId.value(), std::optional<std::string>("p-2"));
}

}  // namespace
}  // namespace vesk
