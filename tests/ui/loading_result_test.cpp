#include "ui/loading_result.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "core/rx/rx.hpp"
#include "tests/core/support/marbles.hpp"

namespace vesk {
namespace {

using rx::Event;

TEST(LoadingResult, FromAFlagOrFromAnEvent) {
    LoadingResult<int> loading(true);
    EXPECT_TRUE(loading.loading());
    EXPECT_FALSE(loading.data());

    LoadingResult<int> idle(false);
    EXPECT_FALSE(idle.loading());
    EXPECT_FALSE(idle.data());

    LoadingResult<int> value(Event<int>::next(3));
    EXPECT_FALSE(value.loading());
    ASSERT_TRUE(value.data());
    EXPECT_EQ(*value.data()->element(), 3);

    LoadingResult<int> failed(Event<int>::error(test::testError()));
    EXPECT_TRUE(failed.data()->isError());
    LoadingResult<int> done(Event<int>::completed());
    EXPECT_TRUE(done.data()->isCompleted());
    EXPECT_FALSE(done.loading());
}

TEST(LoadingResult, WrapsAStreamAsLoadingThenItsEvents) {
    std::vector<LoadingResult<int>> states{LoadingResult<int>(true)};
    rx::just(5).subscribeEvents([&](const Event<int>& e) { states.emplace_back(e); });
    EXPECT_EQ(states, (std::vector<LoadingResult<int>>{
                          LoadingResult<int>(true), LoadingResult<int>(Event<int>::next(5)),
                          LoadingResult<int>(Event<int>::completed())}));
}

}  // namespace
}  // namespace vesk
