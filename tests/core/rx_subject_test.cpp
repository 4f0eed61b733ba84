#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/rx/rx.hpp"
#include "support/marbles.hpp"

namespace vesk::rx {
namespace {

using test::testError;

TEST(PublishSubject, DeliversOnlyWhatIsEmittedAfterSubscribing) {
    PublishSubject<int> subject;
    subject.onNext(1);
    std::vector<int> seen;
    DisposeBag bag;
    bag.add(subject.asObservable().subscribe([&](int v) { seen.push_back(v); }));
    subject.onNext(2);
    subject.onCompleted();
    subject.onNext(3);
    EXPECT_EQ(seen, (std::vector<int>{2}));
    EXPECT_FALSE(subject.hasObservers());
}

TEST(PublishSubject, LateSubscriberGetsTheEndOnly) {
    PublishSubject<int> subject;
    subject.onNext(1);
    subject.onError(testError("late"));
    std::optional<Error> error;
    subject.asObservable().subscribe([](int) { FAIL(); }, [&](const Error& e) { error = e; });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->description, "late");
}

TEST(BehaviorSubject, ReplaysItsValueThenFollowsChanges) {
    BehaviorSubject<std::string> subject("a");
    subject.onNext("b");
    std::vector<std::string> seen;
    DisposeBag bag;
    bag.add(subject.asObservable().subscribe([&](const std::string& v) { seen.push_back(v); }));
    subject.onNext("c");
    EXPECT_EQ(seen, (std::vector<std::string>{"b", "c"}));
    EXPECT_EQ(subject.value(), "c");
}

TEST(BehaviorSubject, AfterItEndsReplaysOnlyTheEnd) {
    BehaviorSubject<int> subject(1);
    subject.onCompleted();
    std::vector<int> seen;
    bool completed = false;
    subject.asObservable().subscribe([&](int v) { seen.push_back(v); }, {},
                                     [&] { completed = true; });
    EXPECT_TRUE(seen.empty());
    EXPECT_TRUE(completed);
}

TEST(ReplaySubject, ReplaysTheLatestValueIfAnyEvenAfterCompletion) {
    ReplaySubject<int> subject;
    std::vector<int> first;
    DisposeBag bag;
    bag.add(subject.asObservable().subscribe([&](int v) { first.push_back(v); }));
    EXPECT_TRUE(first.empty());
    subject.onNext(1);
    subject.onNext(2);
    subject.onCompleted();
    std::vector<int> late;
    bool completed = false;
    subject.asObservable().subscribe([&](int v) { late.push_back(v); }, {},
                                     [&] { completed = true; });
    EXPECT_EQ(first, (std::vector<int>{1, 2}));
    EXPECT_EQ(late, (std::vector<int>{2}));
    EXPECT_TRUE(completed);
    EXPECT_EQ(subject.latest(), 2);
}

TEST(Relays, HoldAndPublishValues) {
    BehaviorRelay<std::vector<int>> list({});
    PublishRelay<int> events;
    std::vector<std::size_t> sizes;
    std::vector<int> published;
    DisposeBag bag;
    bag.add(list.asObservable().subscribe([&](const auto& l) { sizes.push_back(l.size()); }));
    bag.add(events.asObservable().subscribe([&](int v) { published.push_back(v); }));

    auto next = list.value();
    next.push_back(7);
    list.accept(next);
    events.accept(9);

    EXPECT_EQ(sizes, (std::vector<std::size_t>{0, 1}));
    EXPECT_EQ(published, (std::vector<int>{9}));
    EXPECT_TRUE(list.hasObservers());
}

TEST(Subjects, ReentrantEmissionReachesEverySubscriberInOneOrder) {
    BehaviorSubject<int> subject(0);
    std::vector<std::string> seen;
    DisposeBag bag;
    bag.add(subject.asObservable().subscribe([&](int v) {
        seen.push_back("A" + std::to_string(v));
        if (v == 1) {
            subject.onNext(2);  // emitted while 1 is still being delivered
            seen.push_back("value=" + std::to_string(subject.value()));
        }
    }));
    bag.add(
        subject.asObservable().subscribe([&](int v) { seen.push_back("B" + std::to_string(v)); }));
    seen.clear();

    subject.onNext(1);

    // B sees 1 before 2, as A does; the held value changed at once.
    EXPECT_EQ(seen, (std::vector<std::string>{"A1", "value=2", "B1", "A2", "B2"}));
    EXPECT_EQ(subject.value(), 2);
}

TEST(Subjects, ReadModifyWriteFromACallbackLosesNoUpdate) {
    BehaviorRelay<std::vector<int>> relay({});
    PublishSubject<int> trigger;
    DisposeBag bag;
    bag.add(trigger.asObservable().subscribe([&](int v) {
        auto a = relay.value();
        a.push_back(v);
        relay.accept(a);
        auto b = relay.value();
        b.push_back(v * 10);
        relay.accept(b);
    }));
    // A subscriber of the relay that writes back while being delivered to.
    bag.add(relay.asObservable().subscribe([&](const std::vector<int>& l) {
        if (l.size() == 1) {
            auto c = relay.value();
            c.push_back(-1);
            relay.accept(c);
        }
    }));
    trigger.onNext(1);
    EXPECT_EQ(relay.value(), (std::vector<int>{1, -1, 10}));
}

TEST(Subjects, SubscriberAddedDuringDeliveryGetsTheHeldValueOnceThenLaterValues) {
    BehaviorSubject<int> subject(0);
    std::vector<int> late;
    DisposeBag bag;
    bag.add(subject.asObservable().subscribe([&](int v) {
        if (v == 1) {
            subject.onNext(2);
            bag.add(subject.asObservable().subscribe([&](int x) { late.push_back(x); }));
        }
    }));
    subject.onNext(1);
    subject.onNext(3);
    EXPECT_EQ(late, (std::vector<int>{2, 3}));
}

TEST(Subjects, DisposingAnotherSubscriberDuringDeliveryStopsItAtOnce) {
    PublishSubject<int> subject;
    std::vector<int> second;
    Disposable secondSub;
    DisposeBag bag;
    bag.add(subject.asObservable().subscribe([&](int) { secondSub.dispose(); }));
    secondSub = subject.asObservable().subscribe([&](int v) { second.push_back(v); });
    subject.onNext(1);
    subject.onNext(2);
    EXPECT_TRUE(second.empty());
    EXPECT_TRUE(subject.hasObservers());
}

TEST(Subjects, SubscriberMayDisposeItselfAndTheSubjectMayDieInACallback) {
    auto subject = std::make_unique<PublishSubject<int>>();
    std::vector<int> seen;
    auto self = std::make_shared<Disposable>();
    *self = subject->asObservable().subscribe([&, self](int v) {
        seen.push_back(v);
        self->dispose();
        subject.reset();  // the subject's owner goes away mid-delivery
    });
    subject->onNext(1);
    EXPECT_EQ(seen, (std::vector<int>{1}));
    EXPECT_FALSE(subject);
}

TEST(Subjects, BindingFeedsASubjectFromAStream) {
    PublishSubject<int> target;
    std::vector<int> seen;
    bool completed = false;
    DisposeBag bag;
    bag.add(target.asObservable().subscribe([&](int v) { seen.push_back(v); }, {},
                                            [&] { completed = true; }));
    bag.add(from(std::vector<int>{1, 2}).subscribe(target.asObserver()));
    EXPECT_EQ(seen, (std::vector<int>{1, 2}));
    EXPECT_TRUE(completed);
}

}  // namespace
}  // namespace vesk::rx
