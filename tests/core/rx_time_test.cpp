#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/rx/rx.hpp"
#include "support/marbles.hpp"
#include "vesk/executor.hpp"

namespace vesk::rx {
namespace {

using test::Cold;
using test::hot;
using test::Marbles;
using test::onCompleted;
using test::onError;
using test::onNext;
using test::Recorder;
using Tick = std::int64_t;
using namespace std::chrono_literals;

TEST(Timer, FiresOnceAtItsDueTimeThenCompletes) {
    VirtualScheduler s;
    Recorder<Tick> rec(s, timer(30ms, s));
    s.advance(1s);
    EXPECT_EQ(rec.events(), (Marbles<Tick>{onNext(30, 0), onCompleted(30)}));
}

TEST(Timer, PeriodicFiresAtOnceAndThenEveryPeriod) {
    // The presence heartbeat: at once, then every 30 seconds.
    VirtualScheduler s;
    Recorder<Tick> rec(s, timer(0s, 30s, s));
    s.advance(0s);
    EXPECT_EQ(rec.events(), (Marbles<Tick>{onNext(0, 0)}));
    s.advance(90s);
    EXPECT_EQ(rec.events(),
              (Marbles<Tick>{onNext(0, 0), onNext(30000, 1), onNext(60000, 2), onNext(90000, 3)}));
}

TEST(Interval, FirstTickAfterOnePeriod) {
    VirtualScheduler s;
    Recorder<Tick> rec(s, interval(10ms, s) | take(3));
    s.advance(1s);
    EXPECT_EQ(rec.events(),
              (Marbles<Tick>{onNext(10, 0), onNext(20, 1), onNext(30, 2), onCompleted(30)}));
    EXPECT_EQ(s.pendingCount(), 0u) << "take must cancel the periodic timer";
}

TEST(TimersAreCancelledWhenTheSubscriptionIsDisposed, AndNothingIsDeliveredAfterwards) {
    VirtualScheduler s;
    auto token = std::make_shared<int>(0);
    std::weak_ptr<int> watch = token;
    Recorder<Tick> periodic(s, timer(0s, 10ms, s) | doOnNext([token](Tick) {}));
    Recorder<Tick> once(s, timer(50ms, s));
    token.reset();
    s.advance(25ms);
    EXPECT_EQ(s.pendingCount(), 2u);
    periodic.dispose();
    once.dispose();
    EXPECT_EQ(s.pendingCount(), 0u);
    EXPECT_TRUE(watch.expired()) << "a disposed timer must release what its subscription holds";
    s.advance(1s);
    EXPECT_EQ(periodic.events().size(), 3u);
    EXPECT_TRUE(once.events().empty());
}

TEST(Debounce, EachValueRestartsTheWait) {
    VirtualScheduler s;
    auto source = hot<int>(s, {onNext(10, 1), onNext(100, 2), onNext(250, 3), onNext(300, 4),
                               onNext(700, 5), onCompleted(1000)});
    Recorder<int> rec(s, source | debounce(200ms, s));
    s.advance(2s);
    EXPECT_EQ(rec.events(), (Marbles<int>{onNext(500, 4), onNext(900, 5), onCompleted(1000)}));
}

TEST(Debounce, CompletionFlushesTheWaitingValueAndAnErrorDropsIt) {
    VirtualScheduler s;
    Recorder<int> flushed(s, hot<int>(s, {onNext(10, 1), onCompleted(50)}) | debounce(200ms, s));
    Recorder<int> dropped(s, hot<int>(s, {onNext(10, 1), onError(50)}) | debounce(200ms, s));
    s.advance(1s);
    EXPECT_EQ(flushed.events(), (Marbles<int>{onNext(50, 1), onCompleted(50)}));
    EXPECT_EQ(dropped.events(), (Marbles<int>{onError(50)}));
    EXPECT_EQ(s.pendingCount(), 0u);
}

TEST(Debounce, FlushesNothingAfterDispose) {
    VirtualScheduler s;
    Recorder<int> rec(s, hot<int>(s, {onNext(10, 1), onNext(20, 2)}) | debounce(200ms, s));
    s.advance(100ms);
    rec.dispose();
    EXPECT_EQ(s.pendingCount(), 0u);
    s.advance(1s);
    EXPECT_TRUE(rec.events().empty());
}

TEST(Delay, ShiftsValuesAndCompletionButNotErrors) {
    VirtualScheduler s;
    Recorder<int> rec(
        s, hot<int>(s, {onNext(10, 1), onNext(15, 2), onCompleted(20)}) | delay(100ms, s));
    Recorder<int> failing(s, hot<int>(s, {onNext(10, 1), onError(20)}) | delay(100ms, s));
    s.advance(1s);
    EXPECT_EQ(rec.events(), (Marbles<int>{onNext(110, 1), onNext(115, 2), onCompleted(120)}));
    EXPECT_EQ(failing.events(), (Marbles<int>{onError(20)}));
}

TEST(Delay, DisposeDropsWhatIsStillWaiting) {
    VirtualScheduler s;
    Recorder<int> rec(s, hot<int>(s, {onNext(10, 1), onNext(50, 2)}) | delay(100ms, s));
    s.advance(115ms);
    rec.dispose();
    s.advance(1s);
    EXPECT_EQ(rec.events(), (Marbles<int>{onNext(110, 1)}));
    EXPECT_EQ(s.pendingCount(), 0u);
}

TEST(ObserveOn, DeliversLaterOnTheExecutorInOrder) {
    RunLoop loop;
    PublishSubject<int> subject;
    std::vector<std::string> seen;
    DisposeBag bag;
    bag.add((subject.asObservable() | observeOn(loop))
                .subscribe([&](int v) { seen.push_back(std::to_string(v)); }, {},
                           [&] { seen.emplace_back("done"); }));
    subject.onNext(1);
    subject.onNext(2);
    subject.onCompleted();
    EXPECT_TRUE(seen.empty()) << "delivery must wait for the executor";
    loop.runPending();
    EXPECT_EQ(seen, (std::vector<std::string>{"1", "2", "done"}));
}

TEST(ObserveOn, DisposeDropsEventsStillQueued) {
    RunLoop loop;
    PublishSubject<int> subject;
    std::vector<int> seen;
    auto d =
        (subject.asObservable() | observeOn(loop)).subscribe([&](int v) { seen.push_back(v); });
    subject.onNext(1);
    d.dispose();
    loop.runPending();
    EXPECT_TRUE(seen.empty());
}

TEST(SteadySchedulerWithRx, DebounceFiresThroughARealRunLoop) {
    RunLoop loop;
    SteadyScheduler scheduler(loop);
    PublishSubject<int> subject;
    std::vector<int> seen;
    DisposeBag bag;
    bag.add((subject.asObservable() | debounce(5ms, scheduler)).subscribe([&](int v) {
        seen.push_back(v);
    }));
    subject.onNext(1);
    subject.onNext(2);
    EXPECT_TRUE(loop.runUntil([&] { return !seen.empty(); }, std::chrono::seconds(10)));
    EXPECT_EQ(seen, (std::vector<int>{2}));
}

}  // namespace
}  // namespace vesk::rx
