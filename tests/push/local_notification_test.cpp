// Local notifications for real-time replies: when one is made and what it says.
#include <gtest/gtest.h>

#include "push/push_notification_service.hpp"
#include "push/push_use_cases.hpp"
#include "tests/push/support/push_fixture.hpp"
#include "usecases/messenger_repository.hpp"

namespace vesk {
namespace {

using testing::ChatScreen;

using testing::reply;

const std::string kImage = "\xF0\x9F\x96\xBC\xEF\xB8\x8F";
const std::string kFile = "\xF0\x9F\x93\x8E";

JsonValue attachment(const char* mimeType, const char* filename) {
    return JsonValue(JsonArray{JsonValue(
        JsonObject{{"mime_type", JsonValue(mimeType)}, {"filename", JsonValue(filename)}})});
}

class LocalNotificationTest : public testing::PushTest {
  protected:
    void SetUp() override {
        PushTest::SetUp();
        loadMessenger();
    }
    [[nodiscard]] std::vector<NotificationRequest> scheduled() const { return center->scheduled(); }

    std::shared_ptr<PushNotificationService> service = PushNotificationService::make(environment());
};

TEST_F(LocalNotificationTest, AReplyMakesOneNotificationForItsConversation) {
    service->addNotification(reply("m1", "c1", "Hi <b>there</b>"));
    ASSERT_EQ(scheduled().size(), 1U);
    const auto request = scheduled()[0];
    EXPECT_EQ(request.identifier.size(), 36U);
    EXPECT_EQ(request.content.title, "Olga");
    EXPECT_EQ(request.content.body, "Hi there");
    EXPECT_EQ(request.content.sound, "default");
    EXPECT_EQ(request.content.threadIdentifier, "c1");
    EXPECT_EQ(request.content.summaryArgument, "Olga");
    EXPECT_EQ(request.content.summaryArgumentCount, 1);
    EXPECT_EQ(
        JsonValue(request.content.userInfo).encode(),
        R"({"conversation_id":"c1","body":"Hi there","localPushType":"sdk","is_vesk":true,"id":"m1"})");
    ASSERT_TRUE(request.trigger);
    EXPECT_EQ(request.trigger->timeInterval.count(), 1.0);
    EXPECT_FALSE(request.trigger->repeats);
    // What it schedules is the library's own.
    EXPECT_TRUE(PushNotificationChecker::isVesk(JsonValue(request.content.userInfo)));
    // Each request has a fresh identifier.
    service->addNotification(reply("m2", "c1"));
    ASSERT_EQ(scheduled().size(), 2U);
    EXPECT_NE(scheduled()[1].identifier, request.identifier);
}

TEST_F(LocalNotificationTest, TheUsersOwnReplyNeverNotifies) {
    auto own = reply("m1", "c1");
    own.type = "reply_user";
    service->addNotification(own);
    showChat(ChatScreen::dialogList, "c9");
    service->addNotification(own);
    EXPECT_TRUE(scheduled().empty());
}

TEST_F(LocalNotificationTest, NothingBeforeTheMessengerIsLoaded) {
    messengerLoaded = false;
    service->addNotification(reply("m1", "c1"));
    EXPECT_TRUE(scheduled().empty());
}

TEST_F(LocalNotificationTest, NotWhileTheUserLooksAtThatConversation) {
    showChat(ChatScreen::messageList, "c1");
    service->addNotification(reply("m1", "c1"));
    EXPECT_TRUE(scheduled().empty());
    service->addNotification(reply("m2", "c2"));
    showChat(ChatScreen::dialogList, "c1");
    service->addNotification(reply("m3", "c1"));
    showChat(ChatScreen::messageList, "c1", false);
    service->addNotification(reply("m4", "c1"));
    ASSERT_EQ(scheduled().size(), 3U);
    EXPECT_EQ(scheduled()[0].content.userInfo.find("id")->value(), JsonValue("m2"));
    EXPECT_EQ(scheduled()[1].content.userInfo.find("id")->value(), JsonValue("m3"));
    EXPECT_EQ(scheduled()[2].content.userInfo.find("id")->value(), JsonValue("m4"));
}

TEST_F(LocalNotificationTest, AMessageWithoutConversationHasNoThreadAndNoConversationId) {
    showChat(ChatScreen::messageList, "c1");
    service->addNotification(reply("m1", std::nullopt));
    ASSERT_EQ(scheduled().size(), 1U);
    EXPECT_EQ(scheduled()[0].content.threadIdentifier, "");
    EXPECT_FALSE(scheduled()[0].content.userInfo.contains("conversation_id"));
}

struct BodyCase {
    const char* name;
    std::string body;
    std::optional<JsonValue> bodyJson;
    std::string expected;
};

class NotificationBody : public ::testing::TestWithParam<BodyCase> {};

TEST_P(NotificationBody, MarksAttachmentsAndStripsTags) {
    auto message = reply("m", "c", GetParam().body);
    message.bodyJson = GetParam().bodyJson;
    EXPECT_EQ(pushNotificationData(message).body, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, NotificationBody,
    ::testing::Values(
        BodyCase{"ImageWithEmptyBodyTakesTheFileName", "", attachment("image/png", "a.png"),
                 kImage + " a.png"},
        BodyCase{"FileMarkerForOtherTypes", "", attachment("application/pdf", "a.pdf"),
                 kFile + " a.pdf"},
        BodyCase{"BodyWinsOverTheFileName", "see this", attachment("image/jpeg", "b.jpg"),
                 kImage + " see this"},
        BodyCase{"MimeTypeWithoutSlashLeavesTheBody", "text", attachment("png", "a.png"), "text"},
        BodyCase{"NoFileNameLeavesTheBody", "text",
                 JsonValue(JsonArray{JsonValue(JsonObject{{"mime_type", JsonValue("image/png")}})}),
                 "text"},
        BodyCase{"FirstItemNotAnObject", "text", JsonValue(JsonArray{JsonValue(1)}), "text"},
        BodyCase{"BodyJsonNotAnArray", "text",
                 JsonValue(JsonObject{{"mime_type", JsonValue("image/png")}}), "text"},
        BodyCase{"BoldTagsGoTheWordStays", "a <b>bold</b> word", std::nullopt, "a bold word"},
        BodyCase{"TagsInsideTheMarkedBody", "<p>x</p>", attachment("image/png", "a.png"),
                 kImage + " x"},
        BodyCase{"LoneAngleBracketsStay", "1 < 2 > 0 <>", std::nullopt, "1  0 <>"}),
    [](const auto& c) { return std::string(c.param.name); });

TEST(NotificationTitle, ComesFromTheSenderDecodedAsAnOperator) {
    auto message = testing::reply("m", "c");
    EXPECT_EQ(pushNotificationData(message).title, "Olga");
    message.from = JsonValue(JsonObject{{"type", JsonValue("admin")}});
    EXPECT_EQ(pushNotificationData(message).title, "Unknown admin name");
    message.from = JsonValue(JsonObject{{"type", JsonValue("admin")}, {"name", JsonValue(5)}});
    EXPECT_EQ(pushNotificationData(message).title, "Unknown admin name");
    message.from = JsonValue(JsonObject{{"name", JsonValue("Olga")}});  // no type: does not decode
    EXPECT_EQ(pushNotificationData(message).title, "");
    message.from = JsonValue("Olga");
    EXPECT_EQ(pushNotificationData(message).title, "");
    message.conversation.reset();
    EXPECT_EQ(pushNotificationData(message).conversationId, "0");
}

TEST_F(LocalNotificationTest, AnUndecodableSenderStillNotifiesWithAnEmptyTitle) {
    auto message = reply("m1", "c1");
    message.from = JsonValue(JsonArray{});
    service->addNotification(message);
    ASSERT_EQ(scheduled().size(), 1U);
    EXPECT_EQ(scheduled()[0].content.title, "");
}

TEST_F(LocalNotificationTest, ATapOpensItsConversationOrTheChat) {
    service->clickNotification(testing::payload({{"conversation_id", JsonValue("c7")}}));
    service->clickNotification(testing::payload({{"conversation_id", JsonValue(7)}}));
    service->clickNotification(JsonValue(JsonArray{}));
    EXPECT_EQ(opened, (std::vector<std::string>{"c7", "", ""}));
}

}  // namespace
}  // namespace vesk
