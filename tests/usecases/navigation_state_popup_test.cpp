// The overlay states' texts and the popup model.
#include <gtest/gtest.h>

#include "usecases/navigation_view_state.hpp"
#include "usecases/popup_repository.hpp"

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

TEST(PopupTest, DecodesOnlyTextBodies) {
    auto popup = json::decodeText<Popup>(R"({"id":"p1","body_json":"{\"a\":1}","images":["x"]})");
    ASSERT_TRUE(popup);
    EXPECT_EQ(popup->id, "p1");
    EXPECT_EQ(popup->json, R"({"a":1})");
    EXPECT_TRUE(popup->images.empty());
    EXPECT_FALSE(json::decodeText<Popup>(R"({"id":"p1","body_json":{"a":1}})"));
    EXPECT_FALSE(json::decodeText<Popup>(R"({"id":5,"body_json":"{}"})"));
    EXPECT_FALSE(json::decodeText<Popup>(R"({"body_json":"{}"})"));
}

TEST(PopupTest, AddingReplacesTheHolderThenAnnounces) {
    PopupRepository repo;
    std::vector<std::string> order;
    rx::DisposeBag bag;
    bag.add(repo.newPopup().subscribe([&](const std::string& id) {
        order.push_back(id + (repo.activePopups.count(id) ? " stored" : " missing"));
    }));
    repo.addNewPopup({"p1", "{}", {}});
    auto first = repo.activePopups.at("p1");
    repo.addNewPopup({"p1", R"({"v":2})", {}});
    EXPECT_EQ(order, (std::vector<std::string>{"p1 stored", "p1 stored"}));
    EXPECT_EQ(first.value().bodyJson, "{}");  // a card watching the old holder keeps it
    EXPECT_EQ(repo.activePopups.at("p1").value().bodyJson, R"({"v":2})");
    EXPECT_EQ(repo.activePopups.at("p1").value().height, 0);
}

}  // namespace
}  // namespace vesk::testing
