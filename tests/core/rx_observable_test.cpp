#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/rx/rx.hpp"
#include "support/marbles.hpp"

namespace vesk::rx {
namespace {

using test::Marbles;
using test::onCompleted;
using test::onError;
using test::onNext;
using test::Recorder;
using test::testError;

TEST(Observable, CreationFunctionsDeliverTheirEvents) {
    VirtualScheduler s;
    Recorder<int> justRec(s, just(7));
    Recorder<int> fromRec(s, from(std::vector<int>{1, 2}));
    Recorder<int> emptyRec(s, empty<int>());
    Recorder<int> errorRec(s, error<int>(testError()));
    Recorder<int> neverRec(s, never<int>());

    EXPECT_EQ(justRec.events(), (Marbles<int>{onNext(0, 7), onCompleted(0)}));
    EXPECT_EQ(fromRec.events(), (Marbles<int>{onNext(0, 1), onNext(0, 2), onCompleted(0)}));
    EXPECT_EQ(emptyRec.events(), (Marbles<int>{onCompleted(0)}));
    EXPECT_EQ(errorRec.events(), (Marbles<int>{onError(0)}));
    EXPECT_TRUE(neverRec.events().empty());
}

TEST(Observable, IsColdEachSubscriptionRunsTheProducerAgain) {
    int subscriptions = 0;
    auto source = create<int>([&](const Observer<int>& o) {
        o.onNext(++subscriptions);
        o.onCompleted();
    });
    std::vector<int> seen;
    source.subscribe([&](int v) { seen.push_back(v); });
    source.subscribe([&](int v) { seen.push_back(v); });
    EXPECT_EQ(seen, (std::vector<int>{1, 2}));
}

TEST(Observable, DeferredCallsItsFactoryPerSubscriber) {
    int calls = 0;
    auto source = deferred([&] { return just(++calls); });
    EXPECT_EQ(calls, 0);
    std::vector<int> seen;
    source.subscribe([&](int v) { seen.push_back(v); });
    source.subscribe([&](int v) { seen.push_back(v); });
    EXPECT_EQ(seen, (std::vector<int>{1, 2}));
}

TEST(Observable, NothingIsDeliveredAfterATerminalEvent) {
    auto source = create<int>([](const Observer<int>& o) {
        o.onNext(1);
        o.onCompleted();
        o.onNext(2);
        o.onError(testError());
        o.onCompleted();
    });
    VirtualScheduler s;
    Recorder<int> rec(s, source);
    EXPECT_EQ(rec.events(), (Marbles<int>{onNext(0, 1), onCompleted(0)}));
}

TEST(Observable, TerminationEndsTheProducersResources) {
    bool released = false;
    auto source = create<int>([&](const Observer<int>& o) {
        o.onCompleted();
        return Disposable::create([&] { released = true; });
    });
    source.subscribe();
    EXPECT_TRUE(released) << "a producer that completes at once must still be disposed";
}

TEST(Observable, DisposingFromInsideOnNextStopsDeliveryAtOnce) {
    PublishSubject<int> subject;
    std::vector<int> seen;
    bool completed = false;
    auto self = std::make_shared<Disposable>();
    *self = (subject.asObservable() | map([](int v) { return v; }))
                .subscribe(
                    [&, self](int v) {
                        seen.push_back(v);
                        self->dispose();
                        seen.push_back(-v);  // the running callback itself is still intact
                    },
                    {}, [&] { completed = true; });
    subject.onNext(1);
    subject.onNext(2);
    subject.onCompleted();
    EXPECT_EQ(seen, (std::vector<int>{1, -1}));
    EXPECT_FALSE(completed);
}

TEST(Observable, DisposingStopsALoopingProducer) {
    int produced = 0;
    auto source = create<int>([&](const Observer<int>& o) {
        for (int i = 0; i < 1000 && !o.isDisposed(); ++i) {
            ++produced;
            o.onNext(i);
        }
    });
    std::vector<int> seen;
    (source | take(3)).subscribe([&](int v) { seen.push_back(v); });
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(produced, 3);
}

TEST(Observable, SubscribeEventsAndBind) {
    std::vector<Event<int>> events;
    just(1).subscribeEvents([&](const Event<int>& e) { events.push_back(e); });
    EXPECT_EQ(events, (std::vector<Event<int>>{Event<int>::next(1), Event<int>::completed()}));

    BehaviorRelay<int> relay(0);
    auto d = error<int>(testError()).bind(relay);
    from(std::vector<int>{4, 5}).bind(relay);
    EXPECT_EQ(relay.value(), 5);
}

TEST(Disposable, DisposeRunsItsActionOnce) {
    int runs = 0;
    auto d = Disposable::create([&] { ++runs; });
    auto copy = d;
    EXPECT_FALSE(d.isDisposed());
    d.dispose();
    copy.dispose();
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(copy.isDisposed());
    EXPECT_TRUE(Disposable().isDisposed());
}

TEST(Disposable, CompositeAndSerialDisposeLateMembersAtOnce) {
    int runs = 0;
    CompositeDisposable group;
    group.add(Disposable::create([&] { ++runs; }));
    const auto key = group.nextKey();
    group.add(key, Disposable::create([&] { runs += 10; }));
    group.remove(key);
    EXPECT_EQ(runs, 10);
    group.dispose();
    EXPECT_EQ(runs, 11);
    group.add(Disposable::create([&] { runs += 100; }));
    EXPECT_EQ(runs, 111);

    SerialDisposable serial;
    serial.set(Disposable::create([&] { runs = 1; }));
    serial.set(Disposable::create([&] { runs = 2; }));
    EXPECT_EQ(runs, 1);
    serial.dispose();
    EXPECT_EQ(runs, 2);
    serial.set(Disposable::create([&] { runs = 3; }));
    EXPECT_EQ(runs, 3);
}

TEST(DisposeBag, EndsItsSubscriptionsWhenDestroyedOrReplaced) {
    PublishSubject<int> subject;
    std::vector<int> seen;
    {
        DisposeBag bag;
        bag.add(subject.asObservable().subscribe([&](int v) { seen.push_back(v); }));
        subject.onNext(1);
    }
    subject.onNext(2);
    EXPECT_EQ(seen, (std::vector<int>{1}));

    DisposeBag bag;
    bag.insert(subject.asObservable().subscribe([&](int v) { seen.push_back(v * 10); }));
    bag = DisposeBag();
    subject.onNext(3);
    EXPECT_EQ(seen, (std::vector<int>{1}));
    EXPECT_FALSE(subject.hasObservers());
}

TEST(DisposeBag, DropsFinishedSubscriptionsAsItGrows) {
    DisposeBag bag;
    for (int i = 0; i < 1000; ++i) {
        bag.add(just(i).subscribe());
    }
    EXPECT_LT(bag.size(), 100u);
}

TEST(Lifetime, DisposingFreesTheSubscriptionGraph) {
    // What a subscriber captures must be freed once its subscription is disposed,
    // even though the subject that feeds it lives on.
    PublishSubject<int> subject;
    auto token = std::make_shared<int>(0);
    std::weak_ptr<int> watch = token;
    auto d = (subject.asObservable() | map([](int v) { return v + 1; }) | filter([](int) {
                  return true;
              })).subscribe([token](int) {});
    token.reset();
    EXPECT_FALSE(watch.expired());
    d.dispose();
    EXPECT_TRUE(watch.expired());
}

TEST(Lifetime, ADyingSubjectFreesSubscriptionsNobodyDisposed) {
    auto token = std::make_shared<int>(0);
    std::weak_ptr<int> watch = token;
    {
        BehaviorRelay<int> relay(1);
        (relay.asObservable() | map([](int v) { return v; })).subscribe([token](int) {});
        token.reset();
        EXPECT_FALSE(watch.expired());
    }
    EXPECT_TRUE(watch.expired());
}

}  // namespace
}  // namespace vesk::rx
