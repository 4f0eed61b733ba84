// The unread count and the launcher bubble's candidate.
#include <gtest/gtest.h>

#include "tests/usecases/support/conversation_fixture.hpp"
#include "usecases/conversation_use_cases.hpp"

namespace vesk::testing {
namespace {

class UnreadCounterTest : public ConversationTest {};

TEST_F(UnreadCounterTest, CountsConversationsNotParts) {
    EXPECT_EQ(unreadDialogsCount({}), 0);
    EXPECT_EQ(unreadDialogsCount({dialog("a", 3), dialog("b", 1), dialog("c", 0)}), 2);
}

TEST_F(UnreadCounterTest, CountFollowsEveryChangeOfTheList) {
    Recorded<int> counts;
    counts.record(getDialogsUseCase(ctx) | getUreadDialogsCountUseCase());
    dialogs.add({dialog("a"), dialog("b")});
    addMessage(ctx, message("m1", "a"));
    addMessage(ctx, message("m2", "b"));
    dialogs.markRead("a");
    EXPECT_EQ(counts.values.back(), 1);
    EXPECT_EQ(counts.values.front(), 0);
}

TEST_F(UnreadCounterTest, BubbleCandidate) {
    EXPECT_EQ(bubbleCandidate({}, {}), std::nullopt);
    // Newest lastUpdate wins.
    EXPECT_EQ(bubbleCandidate({dialog("a", 1, 10), dialog("b", 1, 20)}, {})->id, "b");
    // Equal lastUpdate: list order.
    EXPECT_EQ(bubbleCandidate({dialog("a", 1, 20), dialog("b", 1, 20)}, {})->id, "a");
    // Read ones and closed last parts are not candidates.
    EXPECT_EQ(
        bubbleCandidate({dialog("a", 1, 10), dialog("b", 1, 20), dialog("c", 0, 30)}, {"last-b"})
            ->id,
        "a");
    EXPECT_EQ(bubbleCandidate({dialog("b", 2, 20)}, {"last-b"}), std::nullopt);
}

TEST_F(UnreadCounterTest, BubbleWaitsForClosedMessagesAndFollowsBoth) {
    // The repository loaded an (empty) closed list at creation.
    Recorded<std::optional<Dialog>> bubbles;
    bubbles.record(getBubbleLastUnread(ctx));
    ASSERT_EQ(bubbles.values.size(), 1U);
    EXPECT_EQ(bubbles.values.back(), std::nullopt);

    dialogs.add({dialog("a", 1, 10)});
    ASSERT_TRUE(bubbles.values.back().has_value());
    EXPECT_EQ(bubbles.values.back()->id, "a");

    currentState.closeMessage("last-a");
    EXPECT_EQ(bubbles.values.back(), std::nullopt);

    currentState.closedMessages.onNext(std::nullopt);  // skipped
    EXPECT_EQ(bubbles.values.size(), 3U);
}

}  // namespace
}  // namespace vesk::testing
