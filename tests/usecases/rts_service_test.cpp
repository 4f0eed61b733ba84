// Dispatch of real-time frames to the repositories.
#include "usecases/rts_service.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "tests/usecases/support/conversation_fixture.hpp"
#include "usecases/conversation_use_cases.hpp"

namespace vesk::testing {
namespace {

using Ids = std::vector<std::string>;

class RtsServiceTest : public ConversationTest {
  protected:
    RtsServiceTest()
        : rts(
              ctx, [this] { return chatOpen; },
              [this](const std::optional<std::string>& id) {
                  reads.push_back(id.value_or("-"));
                  return rx::just(rx::Unit{});
              }) {}

    static JsonValue popupPayload(const std::string& id, const std::string& recipient,
                                  const std::string& type = "block_popup_small") {
        JsonValue payload = dialogJson(id, type);
        payload.append("recipient_type", JsonValue(recipient));
        payload.append("body_json", JsonValue(R"({"blocks":[]})"));
        return payload;
    }

    bool chatOpen = false;
    std::vector<std::string> reads;
    RtsService rts;
};

TEST_F(RtsServiceTest, OperatorReplyIsMergedAnnouncedAndSetsTheShownAdmin) {
    dialogs.add({dialog("c1")});
    currentState.dialogId.onNext("c1");
    Recorded<Message> announced;
    announced.record(rts.newMessage.asObservable());
    Recorded<std::optional<Admin>> admins;
    admins.record(currentState.admin.asObservable());
    Recorded<std::vector<Dialog>> lists;
    lists.record(dialogs.dialogs.asObservable());

    rts.onMessage(frame("conversation_reply.1001.42", messageJson("m1", "c1", "7")));

    EXPECT_EQ(lists.values.size(), 2U);  // the list as it was, then once for the reply
    EXPECT_EQ(messageIds("c1"), (Ids{"m1"}));
    EXPECT_EQ(dialogs.find("c1")->userUnreadCount, 1);
    ASSERT_EQ(announced.values.size(), 1U);
    EXPECT_EQ(announced.values[0].id, "m1");
    ASSERT_EQ(admins.values.size(), 1U);
    EXPECT_EQ(admins.values[0]->id, std::optional<std::string>("7"));
}

TEST_F(RtsServiceTest, ReplyWithoutQualifiersOrResumeKeysIsDispatchedToo) {
    rts.onMessage(frame("conversation_reply", messageJson("m1", "c1", "7")));
    EXPECT_EQ(messageIds("c1"), (Ids{"m1"}));
}

TEST_F(RtsServiceTest, AdminIsKeptForAnotherConversationOrAUserMessage) {
    currentState.dialogId.onNext("c1");
    Recorded<std::optional<Admin>> admins;
    admins.record(currentState.admin.asObservable());
    rts.onMessage(frame("conversation_reply", messageJson("m1", "c2", "7")));
    rts.onMessage(frame("conversation_reply", messageJson("m2", "c1", std::nullopt)));
    EXPECT_TRUE(admins.values.empty());
    EXPECT_EQ(messageIds("c1"), (Ids{"m2"}));
}

TEST_F(RtsServiceTest, TypingPayloadVariants) {
    Recorded<Message> typing;
    typing.record(currentState.typingIndicator.asObservable());

    rts.onMessage(frame(
        "conversation_typing",
        JsonValue(JsonObject{
            {"conversation", JsonValue("c1")},
            {"admin", JsonValue(JsonObject{{"id", JsonValue("7")}, {"name", JsonValue("A")}})}})));
    rts.onMessage(
        frame("conversation_typing", JsonValue(JsonObject{{"conversation", JsonValue("c1")}})));
    rts.onMessage(
        frame("conversation_typing",
              JsonValue(JsonObject{{"conversation", JsonValue(12)},
                                   {"admin", JsonValue(JsonObject{{"id", JsonValue(9)}})}})));

    ASSERT_EQ(typing.values.size(), 3U);
    EXPECT_EQ(typing.values[0].id, "7");
    EXPECT_EQ(typing.values[0].type, "typing_admin");
    EXPECT_EQ(typing.values[0].conversation, std::optional<std::string>("c1"));
    EXPECT_EQ(typing.values[0].from,
              JsonValue(JsonObject{{"id", JsonValue("7")}, {"name", JsonValue("A")}}));
    EXPECT_EQ(typing.values[0].created, nowSeconds());
    EXPECT_EQ(typing.values[1].id, "0");
    EXPECT_EQ(typing.values[1].from, JsonValue("0"));
    EXPECT_EQ(typing.values[2].conversation, std::optional<std::string>("0"));
    EXPECT_EQ(typing.values[2].id, "9");
    // Typing notices are not messages of the conversation.
    EXPECT_TRUE(messages.repository("c1").currentMessages().empty());
}

TEST_F(RtsServiceTest, FramesThatDoNotMakeSenseAreDropped) {
    dialogs.add({dialog("c1")});
    Recorded<Message> typing;
    typing.record(currentState.typingIndicator.asObservable());
    Recorded<std::vector<Dialog>> lists;
    lists.record(dialogs.dialogs.asObservable());
    Recorded<Popup> popupsSeen;
    popupsSeen.record(popups.incomingPopup.asObservable());

    for (const std::string& text : {
             std::string(""),
             std::string("not json"),
             std::string("[]"),
             std::string("{}"),
             std::string(R"({"id":1,"channel":"conversation_reply"})"),
             std::string(R"({"id":"x","channel":"conversation_reply","message":{}})"),
             frame("no_such_channel", messageJson("m1", "c1", "7")),
             frame("conversation_read", messageJson("m1", "c1", "7")),
             frame("conversation_reply", JsonValue("m1")),
             frame("conversation_reply", JsonValue(JsonObject{{"id", JsonValue("m1")}})),
             frame("conversation_typing", JsonValue(JsonArray{})),
             frame("conversation_typing", JsonValue("c1")),
             frame("conversation", JsonValue(5)),
             frame("conversation", JsonValue(JsonObject{{"type", JsonValue("block_popup_small")}})),
             frame("conversation", popupPayload("p1", "web")),
             frame("conversation", JsonValue(JsonObject{{"type", JsonValue("popup_chat")}})),
             std::string(R"({"id":1,"channel":"conversation_reply","message":)") +
                 std::string(5000, '['),
         }) {
        rts.onMessage(text);
    }

    EXPECT_TRUE(messages.existing("c1") == nullptr ||
                messages.existing("c1")->currentMessages().empty());
    EXPECT_TRUE(typing.values.empty());
    EXPECT_EQ(lists.values.size(), 1U);
    EXPECT_TRUE(popupsSeen.values.empty());
    EXPECT_TRUE(reads.empty());
}

TEST_F(RtsServiceTest, PopupWhileChatClosedIsMergedWithNoUnreadAndMarkedRead) {
    Recorded<std::string> announced;
    announced.record(popups.newPopup());
    rts.onMessage(frame("conversation.1001", popupPayload("p1", "sdk")));

    EXPECT_EQ(announced.values, (Ids{"p1"}));
    ASSERT_EQ(popups.activePopups.count("p1"), 1U);
    EXPECT_EQ(popups.activePopups.at("p1").value().bodyJson, R"({"blocks":[]})");
    ASSERT_TRUE(dialogs.find("p1"));
    EXPECT_EQ(dialogs.find("p1")->userUnreadCount, 0);
    EXPECT_EQ(reads, (Ids{"p1"}));
}

TEST_F(RtsServiceTest, PopupWhileChatOpenKeepsTheServersCount) {
    chatOpen = true;
    rts.onMessage(frame("conversation", popupPayload("p1", "sdk_i")));
    rts.onMessage(frame("conversation", popupPayload("p2", "all")));
    EXPECT_EQ(dialogs.find("p1")->userUnreadCount, 2);
    EXPECT_EQ(dialogIds(), (Ids{"p1", "p2"}));
    EXPECT_EQ(reads, (Ids{"p1", "p2"}));
}

TEST_F(RtsServiceTest, PopupWhoseBodyIsNotTextIsDropped) {
    JsonValue payload = popupPayload("p1", "sdk");
    payload.append("body_json", JsonValue(JsonObject{{"blocks", JsonValue(JsonArray{})}}));
    rts.onMessage(frame("conversation", payload));
    EXPECT_TRUE(popups.activePopups.empty());
    EXPECT_TRUE(dialogs.dialogs.value().empty());
}

TEST_F(RtsServiceTest, ChatPopupIsMergedThenAnnounced) {
    std::vector<std::size_t> listedWhenAnnounced;
    rx::DisposeBag bag;
    bag.add(newDialogUseCase(rts).subscribe(
        [&](const Dialog&) { listedWhenAnnounced.push_back(dialogs.dialogs.value().size()); }));
    rts.onMessage(frame("conversation", dialogJson("d1", "popup_chat")));
    EXPECT_EQ(listedWhenAnnounced, (std::vector<std::size_t>{1}));
    EXPECT_EQ(dialogIds(), (Ids{"d1"}));
}

TEST_F(RtsServiceTest, MutatedFramesNeverBreakDispatch) {
    const std::vector<std::string> seeds = {
        frame("conversation_reply.1.2", messageJson("m1", "c1", "7")),
        frame("conversation_typing",
              JsonValue(JsonObject{{"conversation", JsonValue("c1")},
                                   {"admin", JsonValue(JsonObject{{"id", JsonValue(7)}})}})),
        frame("conversation", popupPayload("p1", "sdk")),
        frame("conversation", dialogJson("d1", "popup_chat")),
    };
    std::uint64_t state = 0x9e3779b97f4a7c15ULL;
    auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    for (int round = 0; round < 4000; ++round) {
        std::string text = seeds[next() % seeds.size()];
        const auto edits = 1 + next() % 4;
        for (std::uint64_t e = 0; e < edits && !text.empty(); ++e) {
            const auto at = static_cast<std::size_t>(next() % text.size());
            switch (next() % 3) {
                case 0:
                    text[at] = static_cast<char>(next() % 256);
                    break;
                case 1:
                    text.erase(at, 1 + next() % 8);
                    break;
                default:
                    text.insert(at, text.substr(at, 1 + next() % 8));
                    break;
            }
        }
        chatOpen = round % 2 == 0;
        rts.onMessage(text);
    }
    scheduler->advance(std::chrono::hours(24 * 366 * 11));
    // Still consistent: every listed dialog id is unique and the counters agree.
    auto ids = dialogIds();
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(std::adjacent_find(ids.begin(), ids.end()), ids.end());
    for (const auto& d : dialogs.dialogs.value()) {
        EXPECT_GE(d.userUnreadCount, 0);
    }
}

class PopupExpiryTest : public RtsServiceTest {
  protected:
    // A popup dialog expiring `seconds` after the virtual calendar's now.
    void arrive(const std::string& id, std::int64_t seconds) {
        JsonValue payload = popupPayload(id, "sdk");
        payload.append("expiration_time", JsonValue(nowSeconds() + seconds));
        rts.onMessage(frame("conversation", payload));
    }
};

TEST_F(PopupExpiryTest, NotShownIsRemovedAtItsTimeAndDismissed) {
    Recorded<std::string> dismissed;
    dismissed.record(popups.dissmissPopup.asObservable());
    arrive("p1", 30);
    ASSERT_TRUE(dialogs.find("p1"));

    scheduler->advance(std::chrono::seconds(29));
    EXPECT_TRUE(dialogs.find("p1"));
    EXPECT_TRUE(dismissed.values.empty());

    scheduler->advance(std::chrono::seconds(1));
    EXPECT_FALSE(dialogs.find("p1"));
    EXPECT_EQ(dismissed.values, (Ids{"p1"}));
}

TEST_F(PopupExpiryTest, ShownConversationStays) {
    Recorded<std::string> dismissed;
    dismissed.record(popups.dissmissPopup.asObservable());
    arrive("p1", 30);
    currentState.dialogId.onNext("p1");
    scheduler->advance(std::chrono::seconds(60));
    EXPECT_TRUE(dialogs.find("p1"));
    EXPECT_TRUE(dismissed.values.empty());
}

TEST_F(PopupExpiryTest, PastTimesExpireAtOnceAndFarOnesAreNotScheduled) {
    arrive("past", -100);
    scheduler->advance(std::chrono::seconds(0));
    EXPECT_FALSE(dialogs.find("past"));

    JsonValue payload = popupPayload("far", "sdk");
    payload.append("expiration_time", JsonValue(std::numeric_limits<std::int64_t>::max()));
    rts.onMessage(frame("conversation", payload));
    EXPECT_TRUE(dialogs.find("far"));
    EXPECT_EQ(scheduler->pendingCount(), 0U);
}

}  // namespace
}  // namespace vesk::testing
