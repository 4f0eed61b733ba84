#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
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
using Span = Cold<int>::Span;
using namespace std::chrono_literals;

// Outer values 1, 2 at 10 and 25; each inner stream is v*10, v*10+1 at +10
// and +20 ms after it starts, then completes at +20.
struct Fixture {
    VirtualScheduler s;
    Observable<int> outer = hot<int>(s, {onNext(10, 1), onNext(25, 2), onCompleted(60)});
    std::map<int, std::unique_ptr<Cold<int>>> inners;

    std::function<Observable<int>(int)> innerFor() {
        return [this](int v) {
            auto& inner = inners[v];
            if (!inner) {
                inner = std::make_unique<Cold<int>>(
                    s, Marbles<int>{onNext(10, v * 10), onNext(20, v * 10 + 1), onCompleted(20)});
            }
            return inner->observable();
        };
    }
};

TEST(FlatMap, MergesEveryInnerStreamAndCompletesAfterTheLast) {
    Fixture f;
    Recorder<int> rec(f.s, f.outer | flatMap(f.innerFor()));
    f.s.advance(1s);
    EXPECT_EQ(rec.events(), (Marbles<int>{onNext(20, 10), onNext(30, 11), onNext(35, 20),
                                          onNext(45, 21), onCompleted(60)}));
}

TEST(FlatMap, WaitsForInnerStreamsThatOutliveTheOuter) {
    VirtualScheduler s;
    Cold<int> inner(s, {onNext(50, 5), onCompleted(60)});
    Recorder<int> rec(s, hot<int>(s, {onNext(10, 1), onCompleted(20)}) |
                             flatMap([&](int) { return inner.observable(); }));
    s.advance(1s);
    EXPECT_EQ(rec.events(), (Marbles<int>{onNext(60, 5), onCompleted(70)}));
}

TEST(FlatMap, AnInnerErrorEndsEverythingAndDisposesTheOtherInners) {
    VirtualScheduler s;
    Cold<int> slow(s, {onNext(100, 1)});
    Cold<int> failing(s, {onError(5)});
    Recorder<int> rec(
        s, hot<int>(s, {onNext(10, 0), onNext(20, 1), onNext(40, 2)}) |
               flatMap([&](int v) { return v == 1 ? failing.observable() : slow.observable(); }));
    s.advance(1s);
    EXPECT_EQ(rec.events(), (Marbles<int>{onError(25)}));
    EXPECT_EQ(slow.subscriptions(), (std::vector<Span>{{10, 25}}));
}

TEST(FlatMap, AnOuterErrorEndsEverything) {
    VirtualScheduler s;
    Cold<int> inner(s, {onNext(100, 1)});
    Recorder<int> rec(s, hot<int>(s, {onNext(10, 0), onError(20)}) |
                             flatMap([&](int) { return inner.observable(); }));
    s.advance(1s);
    EXPECT_EQ(rec.events(), (Marbles<int>{onError(20)}));
    EXPECT_EQ(inner.subscriptions(), (std::vector<Span>{{10, 20}}));
}

TEST(FlatMap, SynchronousInnerStreamsLeaveNothingBehind) {
    VirtualScheduler s;
    PublishSubject<int> outer;
    Recorder<int> rec(s, outer.asObservable() | flatMap([](int v) { return just(v); }));
    for (int i = 0; i < 3; ++i) {
        outer.onNext(i);
    }
    outer.onCompleted();
    EXPECT_EQ(rec.events(),
              (Marbles<int>{onNext(0, 0), onNext(0, 1), onNext(0, 2), onCompleted(0)}));
}

TEST(FlatMapFirst, IgnoresOuterValuesWhileAnInnerRuns) {
    Fixture f;
    Recorder<int> rec(
        f.s, hot<int>(f.s, {onNext(10, 1), onNext(25, 2), onNext(35, 3), onCompleted(70)}) |
                 flatMapFirst(f.innerFor()));
    f.s.advance(1s);
    // 2 arrives while the inner of 1 runs (10..30) and is dropped; 3 starts anew.
    EXPECT_EQ(rec.events(), (Marbles<int>{onNext(20, 10), onNext(30, 11), onNext(45, 30),
                                          onNext(55, 31), onCompleted(70)}));
    EXPECT_EQ(f.inners.count(2), 0u);
}

TEST(FlatMapLatest, DisposesThePreviousInnerWhenANewValueArrives) {
    Fixture f;
    Recorder<int> rec(f.s, f.outer | flatMapLatest(f.innerFor()));
    f.s.advance(1s);
    EXPECT_EQ(rec.events(),
              (Marbles<int>{onNext(20, 10), onNext(35, 20), onNext(45, 21), onCompleted(60)}));
    EXPECT_EQ(f.inners[1]->subscriptions(), (std::vector<Span>{{10, 25}}));
    EXPECT_EQ(f.inners[2]->subscriptions(), (std::vector<Span>{{25, 45}}));
}

TEST(FlatMapLatest, CompletesOnlyWhenTheCurrentInnerHas) {
    VirtualScheduler s;
    Cold<int> inner(s, {onNext(30, 1), onCompleted(40)});
    Recorder<int> rec(s, hot<int>(s, {onNext(10, 0), onCompleted(20)}) |
                             flatMapLatest([&](int) { return inner.observable(); }));
    s.advance(1s);
    EXPECT_EQ(rec.events(), (Marbles<int>{onNext(40, 1), onCompleted(50)}));
}

TEST(FlatMapLatest, ErrorOfTheInnerReachesTheSubscriber) {
    VirtualScheduler s;
    Recorder<int> rec(s, hot<int>(s, {onNext(10, 0)}) | flatMapLatest([](int) {
                             return error<int>(test::testError("inner"));
                         }));
    s.advance(1s);
    EXPECT_EQ(rec.events(), (Marbles<int>{onError(10, test::testError("inner"))}));
}

TEST(ConcatMap, RunsInnerStreamsOneAfterAnotherInOrder) {
    Fixture f;
    Recorder<int> rec(f.s, f.outer | concatMap(f.innerFor()));
    f.s.advance(1s);
    // 2 waits until the inner of 1 completes at 30.
    EXPECT_EQ(rec.events(), (Marbles<int>{onNext(20, 10), onNext(30, 11), onNext(40, 20),
                                          onNext(50, 21), onCompleted(60)}));
    EXPECT_EQ(f.inners[2]->subscriptions(), (std::vector<Span>{{30, 50}}));
}

TEST(Concat, ManySynchronousSourcesDoNotRecurse) {
    std::vector<Observable<int>> sources;
    for (int i = 0; i < 10000; ++i) {
        sources.push_back(just(i));
    }
    int count = 0;
    bool completed = false;
    concat(std::move(sources)).subscribe([&](int) { ++count; }, {}, [&] { completed = true; });
    EXPECT_EQ(count, 10000);
    EXPECT_TRUE(completed);
}

TEST(Concat, SecondSourceStartsWhenTheFirstCompletes) {
    VirtualScheduler s;
    Cold<int> a(s, {onNext(10, 1), onCompleted(20)});
    Cold<int> b(s, {onNext(5, 2), onCompleted(10)});
    Recorder<int> rec(s, concat(std::vector{a.observable(), b.observable()}));
    s.advance(1s);
    EXPECT_EQ(rec.events(), (Marbles<int>{onNext(10, 1), onNext(25, 2), onCompleted(30)}));
}

}  // namespace
}  // namespace vesk::rx
