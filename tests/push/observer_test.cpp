// The seen-ids list in the shared store: trimming, the "0" id, unusable stores.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "push/push_notification_observer.hpp"
#include "tests/support/temp_dir.hpp"

namespace vesk {
namespace {

using ::testing::ElementsAre;
using testing::TempDir;

constexpr const char* kDomain = "group.com.example.seen";

std::vector<std::string> ids(int from, int to) {
    std::vector<std::string> out;
    for (int i = from; i < to; ++i) {
        out.push_back("m" + std::to_string(i));
    }
    return out;
}

class ObserverTest : public ::testing::Test {
  protected:
    std::shared_ptr<KeyValueStore> store() const { return stores->suite(kDomain); }
    [[nodiscard]] std::vector<std::string> list() const {
        return store()->stringArray("notificationList").value_or(std::vector<std::string>{});
    }

    TempDir dir;
    std::shared_ptr<KeyValueStoreFactory> stores = makeFileKeyValueStoreFactory(dir.path());
    PushNotificationObserver observer{stores};
};

TEST_F(ObserverTest, FiftyOneStoredIdsPlusOneLeaveTheTwentyOneNewestAndTheNewOne) {
    store()->setStringArray("notificationList", ids(0, 51));
    observer.add("new", kDomain);
    auto expected = ids(30, 51);
    expected.emplace_back("new");
    EXPECT_EQ(list(), expected);
    EXPECT_EQ(list().size(), 22U);
}

TEST_F(ObserverTest, FiftyStoredIdsAreNotTrimmed) {
    store()->setStringArray("notificationList", ids(0, 50));
    observer.add("new", kDomain);
    EXPECT_EQ(list().size(), 51U);
    EXPECT_EQ(list().front(), "m0");
}

TEST_F(ObserverTest, AnIdIsListedOnceAndFoundAfterwards) {
    EXPECT_TRUE(observer.notFound("a", kDomain));
    observer.add("a", kDomain);
    observer.add("a", kDomain);
    EXPECT_THAT(list(), ElementsAre("a"));
    EXPECT_FALSE(observer.notFound("a", kDomain));
    // Without a domain the store opened last is used.
    EXPECT_FALSE(observer.notFound("a", std::nullopt));
    EXPECT_TRUE(observer.notFound("b", std::nullopt));
}

TEST_F(ObserverTest, ListsOfIdsSkipTheZeroId) {
    observer.add(std::vector<std::string>{"0", "x", "y"}, kDomain);
    EXPECT_THAT(list(), ElementsAre("x", "y"));
    EXPECT_TRUE(observer.notFound(std::vector<std::string>{}, kDomain));
    EXPECT_TRUE(observer.notFound(std::vector<std::string>{"0", "z"}, kDomain));
    EXPECT_FALSE(observer.notFound(std::vector<std::string>{"z", "y"}, kDomain));
}

TEST_F(ObserverTest, ClaimTellsWhetherTheIdWasListed) {
    EXPECT_EQ(observer.claim("a", kDomain), false);
    EXPECT_EQ(observer.claim("a", kDomain), true);
    EXPECT_EQ(observer.claim("b", kDomain), false);
    EXPECT_THAT(list(), ElementsAre("a", "b"));
}

TEST_F(ObserverTest, AStoredValueOfAnotherKindCountsAsAnEmptyList) {
    store()->setString("notificationList", "garbage");
    EXPECT_TRUE(observer.notFound("a", kDomain));
    EXPECT_EQ(observer.claim("a", kDomain), false);
    EXPECT_THAT(list(), ElementsAre("a"));
}

TEST_F(ObserverTest, AStoreThatCannotBeOpenedFindsNothingNewAndStoresNothing) {
    PushNotificationObserver fresh{stores};
    for (const std::string& bad : {std::string(), std::string("bad\nname")}) {
        EXPECT_FALSE(fresh.notFound("a", bad)) << bad;
        EXPECT_FALSE(fresh.notFound(std::vector<std::string>{"a"}, bad));
        fresh.add("a", bad);
        EXPECT_EQ(fresh.claim("a", bad), std::nullopt);
    }
    // Never opened one: no domain, no store.
    EXPECT_FALSE(PushNotificationObserver{stores}.notFound("a", std::nullopt));
}

}  // namespace
}  // namespace vesk
