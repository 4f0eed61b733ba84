#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "core/rx/rx.hpp"
#include "support/marbles.hpp"

namespace vesk::rx {
namespace {

using test::Cold;
using test::hot;
using test::Marbles;
using test::onCompleted;
using test::onError;
using test::onNext;
using test::Recorder;
using namespace std::chrono_literals;

using Pair = std::tuple<int, std::string>;

TEST(CombineLatest, WaitsForAllThenEmitsOnEveryChange) {
    VirtualScheduler s;
    auto a = hot<int>(s, {onNext(10, 1), onNext(20, 2), onNext(40, 3), onCompleted(50)});
    auto b = hot<std::string>(s, {onNext(30, "x"), onNext(45, "y"), onCompleted(60)});
    Recorder<Pair> rec(s, combineLatest(a, b));
    s.advance(1s);
    EXPECT_EQ(rec.events(), (Marbles<Pair>{onNext(30, Pair{2, "x"}), onNext(40, Pair{3, "x"}),
                                           onNext(45, Pair{3, "y"}), onCompleted(60)}));
}

TEST(CombineLatest, ThreeSourcesIncludingRelaysThatHoldValues) {
    VirtualScheduler s;
    BehaviorRelay<int> first(1);
    BehaviorRelay<std::string> second("a");
    PublishSubject<bool> third;
    using Triple = std::tuple<int, std::string, bool>;
    Recorder<Triple> rec(
        s, combineLatest(first.asObservable(), second.asObservable(), third.asObservable()));
    EXPECT_TRUE(rec.events().empty());
    third.onNext(true);
    first.accept(2);
    EXPECT_EQ(rec.values(), (std::vector<Triple>{{1, "a", true}, {2, "a", true}}));
}

TEST(CombineLatest, CompletesAtOnceWhenASourceEndsWithoutAValue) {
    VirtualScheduler s;
    auto a = hot<int>(s, {onNext(10, 1)});
    auto b = hot<int>(s, {onCompleted(20)});
    Recorder<std::tuple<int, int>> rec(s, combineLatest(a, b));
    s.advance(1s);
    EXPECT_EQ(rec.events(), (Marbles<std::tuple<int, int>>{onCompleted(20)}));
}

TEST(CombineLatest, FailsWithTheFirstErrorAndDisposesTheOtherSources) {
    VirtualScheduler s;
    Cold<int> a(s, {onNext(10, 1), onNext(50, 2)});
    auto b = hot<int>(s, {onNext(15, 7), onError(30)});
    Recorder<std::tuple<int, int>> rec(s, combineLatest(a.observable(), b));
    s.advance(1s);
    EXPECT_EQ(rec.events(),
              (Marbles<std::tuple<int, int>>{onNext(15, std::tuple(1, 7)), onError(30)}));
    EXPECT_EQ(a.subscriptions()[0].disposed, 30);
}

TEST(CombineLatest, TakeOneOfHeldValuesLeavesNoSubscriptionBehind) {
    VirtualScheduler s;
    BehaviorRelay<int> a(1);
    BehaviorRelay<int> b(2);
    Recorder<std::tuple<int, int>> rec(s,
                                       combineLatest(a.asObservable(), b.asObservable()) | take(1));
    EXPECT_EQ(rec.events(),
              (Marbles<std::tuple<int, int>>{onNext(0, std::tuple(1, 2)), onCompleted(0)}));
    EXPECT_FALSE(a.hasObservers());
    EXPECT_FALSE(b.hasObservers());
}

TEST(CombineLatest, SourcesAfterOneThatFailedAtOnceAreNeverSubscribed) {
    VirtualScheduler s;
    BehaviorRelay<int> a(1);
    Cold<int> c(s, {onNext(10, 3)});
    Recorder<std::tuple<int, int, int>> rec(
        s, combineLatest(a.asObservable(), error<int>(test::testError()), c.observable()));
    EXPECT_EQ(rec.events(), (Marbles<std::tuple<int, int, int>>{onError(0)}));
    EXPECT_TRUE(c.subscriptions().empty());
    EXPECT_FALSE(a.hasObservers());
}

TEST(WithLatestFrom, PairsSourceValuesWithTheOthersLatestOnceItHasOne) {
    VirtualScheduler s;
    auto source = hot<int>(s, {onNext(10, 1), onNext(30, 2), onNext(50, 3), onCompleted(60)});
    auto other = hot<std::string>(s, {onNext(20, "a"), onNext(40, "b"), onCompleted(45)});
    Recorder<Pair> rec(s, source | withLatestFrom(other));
    s.advance(1s);
    EXPECT_EQ(rec.events(),
              (Marbles<Pair>{onNext(30, Pair{2, "a"}), onNext(50, Pair{3, "b"}), onCompleted(60)}));
}

TEST(WithLatestFrom, SeesARelaysHeldValueAndCombinesWithAFunction) {
    VirtualScheduler s;
    BehaviorRelay<int> factor(10);
    auto source = hot<int>(s, {onNext(10, 1), onNext(20, 2)});
    Recorder<int> rec(
        s, source | withLatestFrom(factor.asObservable(), [](int v, int f) { return v * f; }));
    s.advance(15ms);
    factor.accept(100);
    s.advance(1s);
    EXPECT_EQ(rec.events(), (Marbles<int>{onNext(10, 10), onNext(20, 200)}));
}

TEST(WithLatestFrom, ErrorOfTheOtherEndsTheStream) {
    VirtualScheduler s;
    auto source = hot<int>(s, {onNext(10, 1), onNext(30, 2)});
    auto other = hot<int>(s, {onNext(5, 0), onError(20)});
    Recorder<std::tuple<int, int>> rec(s, source | withLatestFrom(other));
    s.advance(1s);
    EXPECT_EQ(rec.events(),
              (Marbles<std::tuple<int, int>>{onNext(10, std::tuple(1, 0)), onError(20)}));
}

TEST(Merge, InterleavesAndCompletesWhenAllHave) {
    VirtualScheduler s;
    auto a = hot<int>(s, {onNext(10, 1), onNext(30, 3), onCompleted(40)});
    auto b = hot<int>(s, {onNext(20, 2), onCompleted(50)});
    Recorder<int> rec(s, merge(std::vector{a, b}));
    s.advance(1s);
    EXPECT_EQ(rec.events(),
              (Marbles<int>{onNext(10, 1), onNext(20, 2), onNext(30, 3), onCompleted(50)}));
}

}  // namespace
}  // namespace vesk::rx
