#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/rx/rx.hpp"
#include "support/marbles.hpp"

namespace vesk::rx {
namespace {

using test::Cold;
using test::Marbles;
using test::onCompleted;
using test::onNext;
using test::Recorder;
using Span = Cold<int>::Span;
using namespace std::chrono_literals;

TEST(ShareReplay, OneSourceSubscriptionAndLatecomersGetTheLatestValue) {
    VirtualScheduler s;
    Cold<int> source(s, {onNext(10, 1), onNext(20, 2), onNext(30, 3)});
    auto shared = source.observable() | shareReplay();
    Recorder<int> first(s, shared);
    s.advance(25ms);
    Recorder<int> late(s, shared);
    s.advance(10ms);
    EXPECT_EQ(first.values(), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(late.events(), (Marbles<int>{onNext(25, 2), onNext(30, 3)}));
    EXPECT_EQ(source.subscriptions().size(), 1u);
}

TEST(ShareReplay, LastSubscriberLeavingDisposesTheSourceAndTheNextStartsAfresh) {
    VirtualScheduler s;
    Cold<int> source(s, {onNext(10, 1), onNext(20, 2)});
    auto shared = source.observable() | shareReplay();
    {
        Recorder<int> a(s, shared);
        Recorder<int> b(s, shared);
        s.advance(15ms);
        a.dispose();
        s.advance(1ms);
    }
    EXPECT_EQ(source.subscriptions(), (std::vector<Span>{{0, 16}}));
    Recorder<int> again(s, shared);
    EXPECT_TRUE(again.events().empty()) << "nothing stale may be replayed";
    s.advance(10ms);
    EXPECT_EQ(again.values(), (std::vector<int>{1}));
    EXPECT_EQ(source.subscriptions().size(), 2u);
}

TEST(ShareReplay, AfterTheSourceCompletesTheNextSubscriberResubscribes) {
    int runs = 0;
    auto shared = deferred([&] { return just(++runs); }) | shareReplay();
    std::vector<int> seen;
    shared.subscribe([&](int v) { seen.push_back(v); });
    shared.subscribe([&](int v) { seen.push_back(v); });
    EXPECT_EQ(seen, (std::vector<int>{1, 2}));
}

TEST(Share, DoesNotReplay) {
    PublishSubject<int> subject;
    int subscriptions = 0;
    auto shared = deferred([&] {
                      ++subscriptions;
                      return subject.asObservable();
                  }) |
                  share();
    std::vector<int> a;
    std::vector<int> b;
    DisposeBag bag;
    bag.add(shared.subscribe([&](int v) { a.push_back(v); }));
    subject.onNext(1);
    bag.add(shared.subscribe([&](int v) { b.push_back(v); }));
    subject.onNext(2);
    EXPECT_EQ(a, (std::vector<int>{1, 2}));
    EXPECT_EQ(b, (std::vector<int>{2}));
    EXPECT_EQ(subscriptions, 1);
}

// Every operator's subscription graph must free itself once disposed: what the
// subscriber captured dies with it, although the sources live on.
struct LifetimeCase {
    std::string name;
    std::function<Observable<int>(const Observable<int>&, Scheduler&)> apply;
};

void PrintTo(const LifetimeCase& c, std::ostream* os) {
    *os << c.name;
}

class DisposedGraphIsFreed : public ::testing::TestWithParam<LifetimeCase> {};

TEST_P(DisposedGraphIsFreed, ForOperator) {
    VirtualScheduler s;
    BehaviorRelay<int> relay(1);
    auto token = std::make_shared<int>(0);
    std::weak_ptr<int> watch = token;
    auto d = GetParam().apply(relay.asObservable(), s).subscribe([token](int) {});
    token.reset();
    relay.accept(2);
    s.advance(1ms);
    ASSERT_FALSE(watch.expired());
    d.dispose();
    EXPECT_TRUE(watch.expired());
    EXPECT_FALSE(relay.hasObservers());
    EXPECT_EQ(s.pendingCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Rx, DisposedGraphIsFreed,
    ::testing::Values(
        LifetimeCase{"map", [](auto o, auto&) { return o | map([](int v) { return v; }); }},
        LifetimeCase{
            "filterTakeSkip",
            [](auto o, auto&) { return o | filter([](int) { return true; }) | skip(1) | take(5); }},
        LifetimeCase{"distinctStartWithDo",
                     [](auto o, auto&) {
                         return o | distinctUntilChanged() | startWith(0) | doOnNext([](int) {});
                     }},
        LifetimeCase{"catchError", [](auto o, auto&) { return o | catchErrorJustReturn(0); }},
        LifetimeCase{"combineLatest",
                     [](auto o, auto&) {
                         return combineLatest(o, o) |
                                map([](const auto& pair) { return std::get<0>(pair); });
                     }},
        LifetimeCase{
            "withLatestFrom",
            [](auto o, auto&) { return o | withLatestFrom(o, [](int a, int) { return a; }); }},
        LifetimeCase{"merge",
                     [](auto o, auto&) {
                         return merge(std::vector{o, o});
                     }},
        LifetimeCase{"flatMap", [](auto o, auto&) { return o | flatMap([o](int) { return o; }); }},
        LifetimeCase{"flatMapFirst",
                     [](auto o, auto&) { return o | flatMapFirst([o](int) { return o; }); }},
        LifetimeCase{"flatMapLatest",
                     [](auto o, auto&) { return o | flatMapLatest([o](int) { return o; }); }},
        LifetimeCase{"concatMap",
                     [](auto o, auto&) { return o | concatMap([o](int) { return o; }); }},
        LifetimeCase{"debounce", [](auto o, auto& s) { return o | debounce(10ms, s); }},
        LifetimeCase{"delay", [](auto o, auto& s) { return o | delay(10ms, s); }},
        LifetimeCase{"timerFlatMap",
                     [](auto o, auto& s) {
                         return o | flatMapLatest([&s](int) {
                                    return timer(0ms, 10ms, s) | map([](std::int64_t tick) {
                                               return static_cast<int>(tick);
                                           });
                                });
                     }},
        LifetimeCase{"shareReplay", [](auto o, auto&) { return o | shareReplay(); }}),
    [](const auto& p) { return p.param.name; });

}  // namespace
}  // namespace vesk::rx
