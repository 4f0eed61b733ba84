// The popup model and its repository.
#include "usecases/popup_repository.hpp"

#include <gtest/gtest.h>

namespace vesk::testing {
namespace {

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
