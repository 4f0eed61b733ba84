// Ownership, the foreground decision and de-duplication against the shared store.
#include <gtest/gtest.h>

#include "push/push_notification_checker.hpp"
#include "tests/push/support/push_fixture.hpp"

namespace vesk {
namespace {

using testing::ChatScreen;

using testing::payload;

struct OwnershipCase {
    const char* name;
    JsonValue payload;
    bool owned;
};

class Ownership : public ::testing::TestWithParam<OwnershipCase> {};

TEST_P(Ownership, FollowsIsVeskThenLocalTypeThenNotificationType) {
    EXPECT_EQ(PushNotificationChecker::isVesk(GetParam().payload), GetParam().owned);
}

INSTANTIATE_TEST_SUITE_P(
    Payloads, Ownership,
    ::testing::Values(
        OwnershipCase{
            "StringFalse",
            payload({{"is_vesk", JsonValue("false")}, {"notification_type", JsonValue("user")}}),
            false},
        OwnershipCase{"TrueLocalSdk",
                      payload({{"is_vesk", JsonValue(true)}, {"localPushType", JsonValue("sdk")}}),
                      true},
        OwnershipCase{"LocalWebBeatsUser",
                      payload({{"is_vesk", JsonValue(true)},
                               {"localPushType", JsonValue("web")},
                               {"notification_type", JsonValue("user")}}),
                      false},
        OwnershipCase{
            "StringTrueUser",
            payload({{"is_vesk", JsonValue("true")}, {"notification_type", JsonValue("user")}}),
            true},
        OwnershipCase{
            "StringTrueAdmin",
            payload({{"is_vesk", JsonValue("true")}, {"notification_type", JsonValue("admin")}}),
            false},
        OwnershipCase{"NoNotificationType", payload({{"is_vesk", JsonValue(true)}}), false},
        OwnershipCase{
            "NumberIsVesk",
            payload({{"is_vesk", JsonValue(1)}, {"notification_type", JsonValue("user")}}), false},
        OwnershipCase{
            "NullIsVesk",
            payload({{"is_vesk", std::nullopt}, {"notification_type", JsonValue("user")}}), false},
        OwnershipCase{"NoIsVesk", payload({{"notification_type", JsonValue("user")}}), false},
        OwnershipCase{"LocalTypeNotString",
                      payload({{"is_vesk", JsonValue(true)},
                               {"localPushType", JsonValue(5)},
                               {"notification_type", JsonValue("user")}}),
                      true},
        OwnershipCase{"ArrayPayload", JsonValue(JsonArray{JsonValue("is_vesk")}), false},
        OwnershipCase{"StringPayload", JsonValue("is_vesk"), false}),
    [](const auto& c) { return std::string(c.param.name); });

class CheckerTest : public testing::PushTest {
  protected:
    // What isShownEarlier answered (absent: the completion was not called).
    std::optional<bool> shownEarlier(const JsonValue& p,
                                     std::optional<std::string> domain = kDomain) {
        std::optional<bool> answer;
        checker.isShownEarlier(p, domain, [&](bool value) { answer = value; });
        return answer;
    }

    PushNotificationChecker checker{environment()};
};

TEST_F(CheckerTest, NothingIsReadyBeforeTheMessengerIsLoaded) {
    EXPECT_FALSE(checker.isSdkReady(payload({{"id", JsonValue("1")}})));
    loadMessenger();
    EXPECT_TRUE(checker.isSdkReady(payload({{"id", JsonValue("1")}})));
}

TEST_F(CheckerTest, OnlyUserNotificationsArePresented) {
    loadMessenger();
    EXPECT_FALSE(checker.isSdkReady(payload({{"notification_type", JsonValue("admin")}})));
    EXPECT_TRUE(checker.isSdkReady(payload({{"notification_type", JsonValue("user")}})));
    EXPECT_TRUE(checker.isSdkReady(payload({{"notification_type", JsonValue(3)}})));
    EXPECT_TRUE(checker.isSdkReady(payload({})));
}

TEST_F(CheckerTest, APayloadThatIsNotAnObjectIsNeverReady) {
    loadMessenger();
    EXPECT_FALSE(checker.isSdkReady(JsonValue(JsonArray{})));
    EXPECT_FALSE(checker.isSdkReady(JsonValue("text")));
    EXPECT_FALSE(checker.isSdkReady(JsonValue()));
}

TEST_F(CheckerTest, APushForTheConversationOnScreenIsNotPresented) {
    loadMessenger();
    const auto push = payload({{"conversation", JsonValue("c1")}, {"id", JsonValue("7")}});
    showChat(ChatScreen::messageList, "c1");
    EXPECT_FALSE(checker.isSdkReady(push));
    // The same push while the conversation list is on top.
    showChat(ChatScreen::dialogList, "c1");
    EXPECT_TRUE(checker.isSdkReady(push));
    // Another conversation on screen, the chat closed, no window, no current conversation.
    showChat(ChatScreen::messageList, "c2");
    EXPECT_TRUE(checker.isSdkReady(push));
    showChat(ChatScreen::messageList, "c1", false);
    EXPECT_TRUE(checker.isSdkReady(push));
    showChat(std::nullopt, "c1");
    EXPECT_TRUE(checker.isSdkReady(push));
    showChat(ChatScreen::messageList, std::nullopt);
    EXPECT_TRUE(checker.isSdkReady(push));
    // A conversation that is not a string cannot be the one on screen.
    showChat(ChatScreen::messageList, "c1");
    EXPECT_TRUE(checker.isSdkReady(payload({{"conversation", JsonValue(1)}})));
}

TEST_F(CheckerTest, TheSameIdIsShownOnce) {
    EXPECT_EQ(shownEarlier(payload({{"id", JsonValue("42")}})), false);
    EXPECT_EQ(shownEarlier(payload({{"id", JsonValue("42")}})), true);
    EXPECT_EQ(shownEarlier(payload({{"id", JsonValue("43")}})), false);
}

TEST_F(CheckerTest, WithoutAStringIdOrADomainNothingCountsAsShown) {
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(shownEarlier(payload({{"id", JsonValue(42)}})), false);
        EXPECT_EQ(shownEarlier(payload({})), false);
        EXPECT_EQ(shownEarlier(JsonValue(JsonArray{JsonValue("42")})), false);
        EXPECT_EQ(shownEarlier(payload({{"id", JsonValue("42")}}), std::nullopt), false);
    }
    EXPECT_FALSE(groupStore()->stringArray("notificationList"));
}

TEST_F(CheckerTest, AStoreThatCannotBeOpenedTakesEveryPushAsShown) {
    EXPECT_EQ(shownEarlier(payload({{"id", JsonValue("1")}}), std::string("bad\x01name")), true);
    EXPECT_EQ(shownEarlier(payload({{"id", JsonValue("1")}}), std::string()), true);
}

TEST_F(CheckerTest, ANotificationAlreadyDeliveredCountsAsShown) {
    Notification delivered;
    delivered.request.identifier = "local-1";
    delivered.request.content.userInfo.set("id", JsonValue("99"));
    center->deliver(delivered);
    EXPECT_EQ(shownEarlier(payload({{"id", JsonValue("99")}})), true);
    EXPECT_EQ(shownEarlier(payload({{"id", JsonValue("100")}})), false);
}

TEST_F(CheckerTest, TheExtensionRemovesTheDuplicateOnlyInTheBackground) {
    Notification local;
    local.request.identifier = "local-1";
    local.request.content.userInfo.set("id", JsonValue("5"));
    center->deliver(local);
    NotificationContent push;
    push.userInfo.set("id", JsonValue("5"));

    groupStore()->setBool("isBackground", false);
    checker.deleteDuplicateNotification(push, kDomain);
    EXPECT_EQ(center->delivered().size(), 1U);
    EXPECT_FALSE(groupStore()->stringArray("notificationList"));

    groupStore()->setBool("isBackground", true);
    checker.deleteDuplicateNotification(push, kDomain);
    EXPECT_TRUE(center->delivered().empty());
    EXPECT_EQ(groupStore()->stringArray("notificationList"), std::vector<std::string>{"5"});
}

TEST_F(CheckerTest, TheExtensionIgnoresAnUnusableStoreAndAnIdOfAnotherType) {
    Notification local;
    local.request.identifier = "local-1";
    local.request.content.userInfo.set("id", JsonValue("5"));
    center->deliver(local);
    NotificationContent push;
    push.userInfo.set("id", JsonValue("5"));
    checker.deleteDuplicateNotification(push, "");
    groupStore()->setBool("isBackground", true);
    NotificationContent numeric;
    numeric.userInfo.set("id", JsonValue(5));
    checker.deleteDuplicateNotification(numeric, kDomain);
    EXPECT_EQ(center->delivered().size(), 1U);
    EXPECT_FALSE(groupStore()->stringArray("notificationList"));
}

}  // namespace
}  // namespace vesk
