#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/expected.hpp"
#include "core/rx/rx.hpp"
#include "support/marbles.hpp"

namespace vesk::rx {
namespace {

using test::Cold;
using test::Marbles;
using test::onCompleted;
using test::onError;
using test::onNext;
using test::Recorder;
using test::testError;
using namespace std::chrono_literals;

// One operator on a hot int source: what goes in, what must come out.
struct OperatorCase {
    std::string name;
    std::function<Observable<int>(const Observable<int>&)> apply;
    Marbles<int> input;
    Marbles<int> expected;
};

void PrintTo(const OperatorCase& c, std::ostream* os) {
    *os << c.name;
}

class SingleStreamOperator : public ::testing::TestWithParam<OperatorCase> {};

TEST_P(SingleStreamOperator, MatchesItsMarbles) {
    const auto& c = GetParam();
    VirtualScheduler s;
    Recorder<int> rec(s, c.apply(test::hot(s, c.input)));
    s.advance(1s);
    EXPECT_EQ(rec.events(), c.expected);
}

const Marbles<int> kOneToFour = {onNext(10, 1), onNext(20, 2), onNext(30, 3), onNext(40, 4),
                                 onCompleted(50)};

INSTANTIATE_TEST_SUITE_P(
    Marbles, SingleStreamOperator,
    ::testing::Values(
        OperatorCase{
            "map",
            [](auto s) { return s | map([](int v) { return v * 10; }); },
            kOneToFour,
            {onNext(10, 10), onNext(20, 20), onNext(30, 30), onNext(40, 40), onCompleted(50)}},
        OperatorCase{"filter",
                     [](auto s) { return s | filter([](int v) { return v % 2 == 0; }); },
                     kOneToFour,
                     {onNext(20, 2), onNext(40, 4), onCompleted(50)}},
        OperatorCase{"takeCompletesWithTheLastTakenValue",
                     [](auto s) { return s | take(2); },
                     kOneToFour,
                     {onNext(10, 1), onNext(20, 2), onCompleted(20)}},
        OperatorCase{"takeZeroCompletesAtOnce",
                     [](auto s) { return s | take(0); },
                     kOneToFour,
                     {onCompleted(0)}},
        OperatorCase{"takeMoreThanThereAre", [](auto s) { return s | take(9); }, kOneToFour,
                     kOneToFour},
        OperatorCase{"skip",
                     [](auto s) { return s | skip(3); },
                     kOneToFour,
                     {onNext(40, 4), onCompleted(50)}},
        OperatorCase{"distinctUntilChanged",
                     [](auto s) { return s | distinctUntilChanged(); },
                     {onNext(10, 1), onNext(20, 1), onNext(30, 2), onNext(40, 1), onNext(50, 1),
                      onCompleted(60)},
                     {onNext(10, 1), onNext(30, 2), onNext(40, 1), onCompleted(60)}},
        OperatorCase{"distinctUntilChangedWithComparator",
                     [](auto s) {
                         return s |
                                distinctUntilChanged([](int a, int b) { return a / 10 == b / 10; });
                     },
                     {onNext(10, 11), onNext(20, 15), onNext(30, 21), onCompleted(40)},
                     {onNext(10, 11), onNext(30, 21), onCompleted(40)}},
        OperatorCase{"startWith",
                     [](auto s) { return s | startWith(-2, -1); },
                     {onNext(10, 1), onCompleted(20)},
                     {onNext(0, -2), onNext(0, -1), onNext(10, 1), onCompleted(20)}},
        OperatorCase{"catchErrorSwitchesToTheFallback",
                     [](auto s) {
                         return s | catchError([](const Error&) {
                                    return from(std::vector<int>{8, 9});
                                });
                     },
                     {onNext(10, 1), onError(20)},
                     {onNext(10, 1), onNext(20, 8), onNext(20, 9), onCompleted(20)}},
        OperatorCase{"catchErrorJustReturn",
                     [](auto s) { return s | catchErrorJustReturn(0); },
                     {onNext(10, 1), onError(20)},
                     {onNext(10, 1), onNext(20, 0), onCompleted(20)}},
        OperatorCase{"errorsPassThroughMap",
                     [](auto s) { return s | map([](int v) { return -v; }); },
                     {onNext(10, 1), onError(20), onNext(30, 2)},
                     {onNext(10, -1), onError(20)}}),
    [](const auto& p) { return p.param.name; });

TEST(Operators, CompactSkipsAbsentValues) {
    VirtualScheduler s;
    auto source = test::hot<std::optional<int>>(
        s, {onNext(10, std::optional<int>(1)), onNext(20, std::optional<int>()),
            onNext(30, std::optional<int>(3)), onCompleted(40)});
    Recorder<int> rec(s, source | compact());
    s.advance(1s);
    EXPECT_EQ(rec.events(), (Marbles<int>{onNext(10, 1), onNext(30, 3), onCompleted(40)}));
}

TEST(Operators, DoOnNextSeesEachValueBeforeTheSubscriber) {
    std::vector<std::string> order;
    (from(std::vector<int>{1, 2}) | doOnNext([&](int v) {
         order.push_back("do" + std::to_string(v));
     })).subscribe([&](int v) { order.push_back("sub" + std::to_string(v)); });
    EXPECT_EQ(order, (std::vector<std::string>{"do1", "sub1", "do2", "sub2"}));
}

TEST(Operators, TakeDisposesItsSourceOnceSatisfied) {
    VirtualScheduler s;
    Cold<int> source(s, {onNext(10, 1), onNext(20, 2), onNext(30, 3)});
    Recorder<int> rec(s, source.observable() | take(2));
    s.advance(1s);
    EXPECT_EQ(rec.events(), (Marbles<int>{onNext(10, 1), onNext(20, 2), onCompleted(20)}));
    ASSERT_EQ(source.subscriptions().size(), 1u);
    EXPECT_EQ(source.subscriptions()[0].disposed, 20);
}

TEST(Operators, TryMapEndsWithTheFirstFailedMappingAndDisposesItsSource) {
    VirtualScheduler s;
    Cold<int> source(s, {onNext(10, 1), onNext(20, 2), onNext(30, 3), onCompleted(40)});
    const auto tenfold = [](int v) -> Expected<int> {
        if (v == 2) {
            return unexpected(testError("two"));
        }
        return v * 10;
    };
    Recorder<int> rec(s, source.observable() | tryMap(tenfold));
    s.advance(1s);
    EXPECT_EQ(rec.events(), (Marbles<int>{onNext(10, 10), onError(20, testError("two"))}));
    ASSERT_EQ(source.subscriptions().size(), 1u);
    EXPECT_EQ(source.subscriptions()[0].disposed, 20);
}

TEST(Operators, TakeOfAValueThatCausesAnotherDeliversExactlyN) {
    BehaviorSubject<int> subject(0);
    std::vector<int> seen;
    (subject.asObservable() | take(2)).subscribe([&](int v) {
        seen.push_back(v);
        subject.onNext(v + 1);  // re-entrant: must not sneak past the count
    });
    EXPECT_EQ(seen, (std::vector<int>{0, 1}));
}

TEST(Operators, StartWithEndedByTakeNeverSubscribesTheSource) {
    VirtualScheduler s;
    Cold<int> source(s, {onNext(10, 1)});
    Recorder<int> rec(s, source.observable() | startWith(5) | take(1));
    EXPECT_EQ(rec.events(), (Marbles<int>{onNext(0, 5), onCompleted(0)}));
    EXPECT_TRUE(source.subscriptions().empty());
}

TEST(Operators, CatchErrorFromASourceThatFailsAtOnce) {
    std::vector<int> seen;
    bool completed = false;
    auto d = (error<int>(testError()) | catchErrorJustReturn(4))
                 .subscribe([&](int v) { seen.push_back(v); }, {}, [&] { completed = true; });
    EXPECT_EQ(seen, (std::vector<int>{4}));
    EXPECT_TRUE(completed);
}

TEST(Operators, CatchErrorDisposalReachesTheFallback) {
    VirtualScheduler s;
    Cold<int> fallback(s, {onNext(10, 1), onNext(20, 2)});
    Recorder<int> rec(s, test::hot<int>(s, {onError(5)}) |
                             catchError([&](const Error&) { return fallback.observable(); }));
    s.advance(16ms);
    rec.dispose();
    s.advance(1s);
    EXPECT_EQ(rec.events(), (Marbles<int>{onNext(15, 1)}));
    ASSERT_EQ(fallback.subscriptions().size(), 1u);
    EXPECT_EQ(fallback.subscriptions()[0], (Cold<int>::Span{5, 16}));
}

}  // namespace
}  // namespace vesk::rx
