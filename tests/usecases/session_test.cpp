// The session's repositories on real SQLite files, and its use cases against
// the development server.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/temp_dir.hpp"
#include "tests/usecases/support/conversation_fixture.hpp"
#include "usecases/current_state_repository.hpp"
#include "usecases/session_use_cases.hpp"
#include "usecases/user_repository.hpp"

namespace vesk {
namespace {

// ---- repositories (real SQLite files) -------------------------------------------

TEST(UserRepositoryStore, SurvivesReopeningAndForgetsAUserWithoutToken) {
    testing::TempDir dir;
    {
        UserRepository repository(makeFileKeyValueStoreFactory(dir.path())->standard());
        EXPECT_FALSE(repository.user.value());
        User user;
        user.id = "u1";
        user.token = "t1";
        user.isBanned = true;
        repository.saveUser(user);
        EXPECT_EQ(repository.user.value(), user);
    }
    {
        auto store = makeFileKeyValueStoreFactory(dir.path())->standard();
        UserRepository repository(store);
        ASSERT_TRUE(repository.user.value());
        EXPECT_EQ(repository.user.value()->id, "u1");
        EXPECT_EQ(repository.user.value()->token, "t1");
        EXPECT_FALSE(repository.user.value()->isBanned);  // only id and token are kept
        User tokenless;
        tokenless.id = "u2";
        repository.saveUser(tokenless);
        EXPECT_FALSE(store->string(UserRepository::token).has_value());
    }
    UserRepository reopened(makeFileKeyValueStoreFactory(dir.path())->standard());
    EXPECT_FALSE(reopened.user.value());
    reopened.clearUser();
    EXPECT_FALSE(makeFileKeyValueStoreFactory(dir.path())->standard()->string("VeskUserId"));
}

TEST(CurrentState, LoadsClosedMessagesAtCreationAndAddsEachOnce) {
    testing::TempDir dir;
    auto store = makeFileKeyValueStoreFactory(dir.path())->standard();
    store->setStringArray("closedMessages", {"m1"});
    CurrentStateRepository state(store);
    EXPECT_EQ(state.closedMessages.value(), std::vector<std::string>{"m1"});
    state.closeMessage("m2");
    state.closeMessage("m1");
    EXPECT_EQ(state.closedMessages.value(), (std::vector<std::string>{"m1", "m2"}));
    store->setString("closedMessages", "damaged");
    EXPECT_TRUE(getClosedMessages(*store).empty());
}

// ---- use cases against the development server ---------------------------------

class SessionUseCases : public testing::ServerUnderTest, public ::testing::Test {
  protected:
    void TearDown() override { testing::testLoop().runPending(); }
    bool runUntil(const std::function<bool()>& done) {
        return testing::testLoop().runUntil(done, std::chrono::seconds(20));
    }
    std::vector<dev::RecordedRequest> requestsTo(const std::string& path) const {
        std::vector<dev::RecordedRequest> out;
        for (auto& r : server->requests()) {
            if (r.path == path) {
                out.push_back(std::move(r));
            }
        }
        return out;
    }
    NetworkSettingsPtr connected() { return connectAnonymous(); }
};

TEST_F(SessionUseCases, PresenceUseCaseSendsOncePerTickAndNothingWithoutSettings) {
    const auto settings = connected();
    rx::PublishSubject<std::int64_t> ticks;
    int replies = 0;
    rx::DisposeBag bag;
    bag.insert((ticks.asObservable() | setPresenceUseCase(api, [settings] {
                    return settings;
                })).subscribe([&](long) { ++replies; }));
    bool completed = false;
    bag.insert((ticks.asObservable() | setPresenceUseCase(api, [] {
                    return NetworkSettingsPtr{};
                })).subscribe([](long) {}, [](const Error&) {}, [&] { completed = true; }));
    EXPECT_TRUE(completed);
    ticks.onNext(0);
    ticks.onNext(1);
    EXPECT_TRUE(runUntil([&] { return replies == 2; }));
    EXPECT_EQ(requestsTo("/v1/users/" + settings->userId + "/setpresence").size(), 2U);
}

TEST_F(SessionUseCases, PropertyUseCaseDropsPairsWhileARequestIsInFlight) {
    const auto settings = connected();
    rx::PublishSubject<std::pair<std::string, std::string>> pairs;
    int results = 0;
    rx::DisposeBag bag;
    bag.insert((pairs.asObservable() | sendUserPropertyUseCase(api, [settings] {
                    return settings;
                })).subscribe([&](const Result<Response<JsonValue>>&) { ++results; }));
    pairs.onNext({"email", "a@b.c"});
    pairs.onNext({"phone", "1"});  // the first is still in flight
    EXPECT_TRUE(runUntil([&] { return results == 1; }));
    pairs.onNext({"name", "Ann"});
    EXPECT_TRUE(runUntil([&] { return results == 2; }));
    const auto sent = requestsTo("/v1/users/" + settings->userId + "/props");
    ASSERT_EQ(sent.size(), 2U);
    EXPECT_EQ(sent[0].formField("operations"),
              R"([{"op":"update_or_create","key":"email","value":"a@b.c"}])");
}

}  // namespace
}  // namespace vesk
