// How the screens show what the use cases answer.
#include "ui/presentation.hpp"

#include <gtest/gtest.h>

#include "core/in_memory_key_value_store.hpp"
#include "core/result.hpp"
#include "tests/support/api_endpoint.hpp"
#include "tests/support/virtual_scheduler.hpp"

namespace vesk {
namespace {

TEST(Presentation, AServiceRefusalIsAServerErrorAndEverythingElseAConnectionError) {
    EXPECT_EQ(failureState(Error::api("Error (status: 404) not_found: ")),
              NavigationViewState::serverError());
    for (const auto kind : {Error::Kind::transport, Error::Kind::timeout, Error::Kind::cancelled,
                            Error::Kind::decoding, Error::Kind::invalid}) {
        EXPECT_EQ(failureState(Error::make(kind, "x")), NavigationViewState::connectError());
    }
    EXPECT_EQ(failureState(Error::from(UIRepresentableError::noInternet())),
              NavigationViewState::connectError());
    EXPECT_EQ(failureState(Error::from(UIRepresentableError::custom("down"))),
              NavigationViewState::serverError());
}

TEST(Presentation, ASentMessageWarnsOnFailureAndSettlesWhenItStartedAConversation) {
    EXPECT_EQ(sentStatus({1, unexpected(Error::api("no"))}), "warning");
    EXPECT_EQ(sentStatus({1, std::optional<std::string>("c1")}), "");
    EXPECT_EQ(sentStatus({1, std::optional<std::string>()}), std::nullopt);  // its echo settles it
}

TEST(Presentation, AKeptMessageLoadsOnItsWayWarnsWhenItFailedAndSettlesWhenItStartedOne) {
    using State = Outbox::State;
    EXPECT_EQ(outboxStatus({1, State::sending, std::nullopt}), "loading");
    EXPECT_EQ(outboxStatus({1, State::failed, std::nullopt}), "warning");
    EXPECT_EQ(outboxStatus({1, State::sent, "c1"}), "");
    EXPECT_EQ(outboxStatus({1, State::sent, std::nullopt}), std::nullopt);  // its echo settles it
}

TEST(Presentation, OpeningAConversationShowsTheLoadingStateBeforeItBecomesCurrent) {
    VirtualScheduler scheduler;
    ConversationContext ctx({std::make_shared<InMemoryKeyValueStore>(), &scheduler,
                             testing::endpointWithoutClient(), nullptr, std::nullopt});
    ScreenState screen;
    std::vector<std::string> events;
    rx::DisposeBag bag;
    bag.add(screen.state.asObservable().subscribe([&](const NavigationViewState& s) {
        events.push_back(s == NavigationViewState::contentLoading() ? "loading" : "other");
    }));
    bag.add((ctx.currentState.dialogId.asObservable() | rx::skip(1))
                .subscribe([&](const std::optional<std::string>& id) {
                    events.push_back("id " + id.value_or("-"));
                }));
    int yielded = 0;
    bag.add(openConversation(screen, ctx, "c1").subscribe([&](rx::Unit) { ++yielded; }));
    EXPECT_EQ(events, (std::vector<std::string>{"loading", "id c1"}));
    EXPECT_EQ(yielded, 1);
}

}  // namespace
}  // namespace vesk
