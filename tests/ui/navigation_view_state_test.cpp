#include "ui/navigation_view_state.hpp"

#include <gtest/gtest.h>

namespace vesk::testing {
namespace {

TEST(NavigationViewStateTest, TextsAndButton) {
    const auto zero = NavigationViewState::zeroData("Empty", "Nothing here");
    EXPECT_EQ(zero.getTitle(), "Empty");
    EXPECT_EQ(zero.getDesc(), "Nothing here");
    EXPECT_TRUE(zero.isButtonHidden());

    const auto offline = NavigationViewState::connectError();
    EXPECT_EQ(offline.getTitle(), "No internet connection");
    EXPECT_EQ(offline.getDesc(), "Check your connection and try again.");
    EXPECT_FALSE(offline.isButtonHidden());

    for (const auto& state :
         {NavigationViewState::serverError(), NavigationViewState::hide(),
          NavigationViewState::contentLoading(), NavigationViewState::frameLoading({1, 2, 3, 4})}) {
        EXPECT_EQ(state.getTitle(), "Something went wrong");
        EXPECT_EQ(state.getDesc(), "We could not load the data. Please try again.");
        EXPECT_FALSE(state.isButtonHidden());
    }
}

TEST(NavigationViewStateTest, EqualityComparesPayloads) {
    EXPECT_EQ(NavigationViewState::frameLoading({1, 2, 3, 4}),
              NavigationViewState::frameLoading({1, 2, 3, 4}));
    EXPECT_NE(NavigationViewState::frameLoading({1, 2, 3, 4}),
              NavigationViewState::frameLoading({1, 2, 3, 5}));
    EXPECT_NE(NavigationViewState::zeroData("a", "b"), NavigationViewState::zeroData("a", "c"));
    EXPECT_NE(NavigationViewState::hide(), NavigationViewState::contentLoading());
    ASSERT_NE(NavigationViewState::frameLoading({1, 2, 3, 4}).rect(), nullptr);
    EXPECT_EQ(NavigationViewState::frameLoading({1, 2, 3, 4}).rect()->height, 4);
}

}  // namespace
}  // namespace vesk::testing
