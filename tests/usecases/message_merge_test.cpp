// Merging inbound messages into the conversation repositories.
#include <gtest/gtest.h>

#include "tests/usecases/support/conversation_fixture.hpp"
#include "usecases/conversation_use_cases.hpp"

namespace vesk::testing {
namespace {

using Ids = std::vector<std::string>;

std::vector<std::string> idsOf(const MessageList& list) {
    std::vector<std::string> ids;
    for (const auto& m : list) {
        ids.push_back(m.id);
    }
    return ids;
}

TEST(MessageStoreTest, SnapshotsKeepWhatTheySawWhileTheStoreChanges) {
    MessageStore store;
    for (int i = 0; i < 5; ++i) {
        Message m;
        m.id = std::to_string(i);
        store.append(m);
    }
    const MessageList before = store.snapshot();
    ASSERT_TRUE(store.removeId("1"));
    ASSERT_TRUE(store.removeId("3"));
    Message five;
    five.id = "5";
    store.append(five);
    EXPECT_EQ(idsOf(before), (Ids{"0", "1", "2", "3", "4"}));
    EXPECT_EQ(before.size(), 5U);
    EXPECT_EQ(idsOf(store.snapshot()), (Ids{"0", "2", "4", "5"}));
    EXPECT_EQ(store.snapshot().back()->id, "5");
    EXPECT_FALSE(store.removeId("1"));
}

TEST(MessageStoreTest, CompactionKeepsOrderAndOldSnapshots) {
    MessageStore store;
    for (int i = 0; i < 300; ++i) {
        Message m;
        m.id = std::to_string(i);
        m.randomId = i + 1;
        m.type = "reply_user";
        store.append(m);
    }
    const MessageList full = store.snapshot();
    for (int i = 0; i < 300; i += 3) {
        ASSERT_TRUE(store.removeId(std::to_string(i)));
    }
    for (int i = 1; i < 300; i += 3) {
        ASSERT_TRUE(store.removeId(std::to_string(i)));  // now removed outnumber live: rebuilt
    }
    const MessageList left = store.snapshot();
    ASSERT_EQ(left.size(), 100U);
    Ids expected;
    for (int i = 2; i < 300; i += 3) {
        expected.push_back(std::to_string(i));
    }
    EXPECT_EQ(idsOf(left), expected);
    EXPECT_EQ(full.size(), 300U);
    EXPECT_EQ(idsOf(full).size(), 300U);
    // The indexes survived the rebuild.
    Message echo;
    echo.id = "server-5";
    echo.randomId = 6;
    echo.type = "reply_user";
    ASSERT_NE(store.firstMatch(echo), nullptr);
    EXPECT_EQ(store.firstMatch(echo)->id, "5");
    EXPECT_NE(store.findById("299"), nullptr);
    EXPECT_EQ(store.findById("0"), nullptr);
}

class MessageMergeTest : public ConversationTest {};

TEST_F(MessageMergeTest, UserMessageAndItsEchoShowOnceAndCountOnce) {
    dialogs.add({dialog("c1")});
    Message local = message("1700000000", "c1", "reply_user", 77);
    addMessage(ctx, local);
    Message echo = message("server-9", "c1", "reply_user", 77);
    addMessage(ctx, echo);

    EXPECT_EQ(messageIds("c1"), (Ids{"server-9"}));
    const Dialog d = *dialogs.find("c1");
    EXPECT_EQ(d.partsCount, 2);  // 1 before, + 1 for the message and its echo together
    EXPECT_EQ(d.partLast.id, "server-9");
    EXPECT_EQ(d.userUnreadCount, 0);  // the user's own messages are not unread
}

TEST_F(MessageMergeTest, SameRandomIdOfAnotherTypeIsAnotherMessage) {
    addMessage(ctx, message("a", "c1", "reply_user", 5));
    addMessage(ctx, message("b", "c1", "reply_admin", 5));
    EXPECT_EQ(messageIds("c1"), (Ids{"a", "b"}));
}

TEST_F(MessageMergeTest, SameIdReplacesAndMovesToTheEnd) {
    messages.repository("c1").add({message("a", "c1"), message("b", "c1")});
    Message changed = message("a", "c1");
    changed.body = "edited";
    addMessage(ctx, changed);
    EXPECT_EQ(messageIds("c1"), (Ids{"b", "a"}));
    EXPECT_EQ(messages.repository("c1").find("a")->body, "edited");
}

TEST_F(MessageMergeTest, OperatorReplyRaisesUnreadCountsAndMovesTheDialogToTheEnd) {
    dialogs.add({dialog("c1"), dialog("c2")});
    Recorded<std::vector<Dialog>> lists;
    lists.record(dialogs.dialogs.asObservable());

    addMessage(ctx, message("m1", "c1", "reply_admin", 0, 500));

    EXPECT_EQ(dialogIds(), (Ids{"c2", "c1"}));
    const Dialog d = *dialogs.find("c1");
    EXPECT_EQ(d.userUnreadCount, 1);
    EXPECT_EQ(d.unreadPartsCount, 1);
    EXPECT_EQ(d.partsCount, 2);
    EXPECT_EQ(d.lastUpdate, 500);
    EXPECT_EQ(d.lastAdmin.id, std::optional<std::string>("7"));
    EXPECT_EQ(d.lastAdmin.name, std::optional<std::string>("Anna"));
    // Replayed list, then once for the reply: unread count and new part together.
    EXPECT_EQ(lists.values.size(), 2U);
}

TEST_F(MessageMergeTest, MessageWithoutConversationGoesToZeroAndChangesNoDialog) {
    dialogs.add({dialog("c1", 0, 10)});
    const auto before = dialogs.dialogs.value();
    addMessage(ctx, message("m1", std::nullopt));
    EXPECT_EQ(messageIds("0"), (Ids{"m1"}));
    EXPECT_EQ(dialogs.dialogs.value().front().partsCount, before.front().partsCount);
    EXPECT_EQ(dialogs.dialogs.value().front().userUnreadCount, 0);
}

TEST_F(MessageMergeTest, TheDialogsOwnLastPartIsNotCountedAgain) {
    dialogs.add({dialog("c1")});
    Message last = dialogs.find("c1")->partLast;
    last.type = "reply_user";
    addMessage(ctx, last);
    EXPECT_EQ(dialogs.find("c1")->partsCount, 1);
}

TEST_F(MessageMergeTest, AddDialogsKeepsTheListedOne) {
    dialogs.add({dialog("c1", 3)});
    Dialog later = dialog("c1", 0);
    later.partsCount = 40;
    AddDialogs{{later, dialog("c2")}}.execute(ctx);
    EXPECT_EQ(dialogIds(), (Ids{"c1", "c2"}));
    EXPECT_EQ(dialogs.find("c1")->userUnreadCount, 3);
    EXPECT_EQ(dialogs.find("c1")->partsCount, 1);
}

TEST_F(MessageMergeTest, MarkReadClearsCountsThenAnnounces) {
    dialogs.add({dialog("c1", 4, 10), dialog("c2")});
    std::vector<std::string> order;
    rx::DisposeBag bag;
    bag.add(
        dialogs.dialogs.asObservable().subscribe([&](const auto&) { order.push_back("list"); }));
    bag.add(
        dialogs.dialogReaded.asObservable().subscribe([&](const std::optional<std::string>& id) {
            order.push_back("read " + id.value_or("-"));
        }));
    order.clear();

    dialogs.markRead("c1");

    EXPECT_EQ(order, (Ids{"list", "read c1"}));
    EXPECT_EQ(dialogIds(), (Ids{"c2", "c1"}));
    const Dialog d = *dialogs.find("c1");
    EXPECT_EQ(d.userUnreadCount, 0);
    EXPECT_EQ(d.unreadPartsCount, 0);
    EXPECT_EQ(d.lastUpdate, 11);
}

TEST_F(MessageMergeTest, MarkReadOfAnUnknownIdEmitsNothing) {
    dialogs.add({dialog("c1", 4)});
    Recorded<std::vector<Dialog>> lists;
    lists.record(dialogs.dialogs.asObservable());
    Recorded<std::optional<std::string>> reads;
    reads.record(dialogs.dialogReaded.asObservable());

    dialogs.markRead("nope");
    dialogs.markRead(std::nullopt);
    dialogs.unRead("nope");

    EXPECT_EQ(lists.values.size(), 1U);  // the replayed list only
    EXPECT_TRUE(reads.values.empty());
    EXPECT_EQ(dialogs.find("c1")->userUnreadCount, 4);
}

TEST_F(MessageMergeTest, AddMessagesSkipsListedIdsAndClearEmpties) {
    auto& repo = messages.repository("c1");
    Recorded<MessageList> lists;
    lists.record(repo.messages());
    repo.add({message("a", "c1"), message("b", "c1")});
    repo.add({message("b", "c1"), message("c", "c1"), message("c", "c1")});
    EXPECT_EQ(messageIds("c1"), (Ids{"a", "b", "c"}));
    messages.clearMessages("c1");
    EXPECT_TRUE(repo.currentMessages().empty());
    ASSERT_EQ(lists.values.size(), 4U);
    EXPECT_EQ(idsOf(lists.values[1]), (Ids{"a", "b"}));  // earlier snapshots unchanged
    EXPECT_EQ(idsOf(lists.values[2]), (Ids{"a", "b", "c"}));
}

TEST_F(MessageMergeTest, AConversationOffScreenKeepsItsNewestMessagesAndCountsThemAll) {
    dialogs.add({dialog("c1"), dialog("c2")});
    currentState.dialogId.onNext("c2");
    // Past a rebuild of the log, and a user message whose echo comes last.
    addMessage(ctx, message("mine", "c1", "reply_user", 42));
    for (int i = 0; i < 400; ++i) {
        addMessage(ctx, message("a" + std::to_string(i), "c1", "reply_admin"));
        addMessage(ctx, message("b" + std::to_string(i), "c2", "reply_admin"));
    }
    addMessage(ctx, message("server-mine", "c1", "reply_user", 42));

    const auto held = messageIds("c1");
    ASSERT_EQ(held.size(), 100U);
    EXPECT_EQ(held.front(), "a301");
    EXPECT_EQ(held.back(), "server-mine");
    EXPECT_EQ(messages.repository("c2").currentMessages().size(), 400U);
    EXPECT_EQ(dialogs.find("c1")->userUnreadCount, 400);
    // What was dropped is not a match any more; what is held still is.
    EXPECT_EQ(messages.repository("c1").find("a0"), nullptr);
    addMessage(ctx, message("a399", "c1", "reply_admin"));
    EXPECT_EQ(messageIds("c1").size(), 100U);
}

TEST_F(MessageMergeTest, OpenDialogMakesItCurrentInOrder) {
    dialogs.add({dialog("c1")});
    messages.repository("c1").add({message("a", "c1")});
    currentState.paginatePosition = "12.5";
    std::vector<std::string> events;
    rx::DisposeBag bag;
    bag.add(currentState.dialogId.asObservable().subscribe(
        [&](const std::optional<std::string>& id) { events.push_back("id " + id.value_or("-")); }));
    bag.add(currentState.admin.asObservable().subscribe([&](const std::optional<Admin>& a) {
        events.push_back("admin " + a.value_or(Admin{}).type);
    }));
    events.clear();

    int yielded = 0;
    bag.add(openDialog(ctx, "c1").subscribe([&](rx::Unit) { ++yielded; }));

    EXPECT_EQ(events, (Ids{"id c1", "admin admin"}));
    EXPECT_EQ(yielded, 1);
    EXPECT_TRUE(messages.repository("c1").currentMessages().empty());
    EXPECT_FALSE(currentState.paginatePosition.has_value());
    EXPECT_EQ(store->string("dialogId"), std::optional<std::string>("c1"));
}

TEST_F(MessageMergeTest, OpenDialogsPicksTheNewestChatPopup) {
    EXPECT_EQ(dialogToOpen({}), std::nullopt);
    EXPECT_EQ(dialogToOpen({dialog("a", 0, 50), dialog("b", 0, 10, "popup_chat"),
                            dialog("c", 0, 30, "popup_chat")}),
              std::optional<std::string>("c"));
    int yielded = 0;
    rx::DisposeBag bag;
    bag.add(
        (rx::just(rx::Unit{}) | openDialogsUseCase(ctx)).subscribe([&](rx::Unit) { ++yielded; }));
    EXPECT_EQ(yielded, 1);
    EXPECT_EQ(currentState.dialogId.value(), std::nullopt);
    EXPECT_FALSE(store->string("dialogId").has_value());
}

TEST_F(MessageMergeTest, CreatedMessagesCarryTheirTimeValue) {
    const Message empty = createEmptyMessage();
    EXPECT_EQ(empty.id, "0");
    EXPECT_EQ(empty.conversation, std::optional<std::string>("0"));
    User user;
    user.id = "u-1";
    const Message m = createUserMessage(ctx, "hi", user, std::nullopt);
    EXPECT_EQ(m.randomId, nowSeconds());
    EXPECT_EQ(m.id, std::to_string(nowSeconds()));
    EXPECT_EQ(m.direction, "u2a");
    EXPECT_EQ(m.from, JsonValue("u-1"));
    EXPECT_EQ(m.conversation, std::optional<std::string>("0"));
    EXPECT_EQ(createMessage(ctx, "x", JsonValue(), "c1", 5, "reply_admin").direction, "a2u");
}

}  // namespace
}  // namespace vesk::testing
