// Marble-style testing on the virtual clock: sources that emit at given
// virtual times, and a recorder of (time, event) pairs to compare against.
//
//     VirtualScheduler s;
//     auto src = hot<int>(s, {onNext(10, 1), onNext(20, 2), onCompleted(30)});
//     Recorder<int> rec(s, src | map(...));
//     s.advance(100ms);
//     EXPECT_EQ(rec.events(), (Marbles<int>{onNext(10, 2), ..., onCompleted(30)}));
//
// Times are whole milliseconds of virtual time since the clock started.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "core/rx/rx.hpp"
#include "tests/support/virtual_scheduler.hpp"

namespace vesk::test {

using namespace std::chrono_literals;

inline Error testError(std::string description = "boom") {
    return Error::make(Error::Kind::invalid, std::move(description));
}

template <class T>
struct Recorded {
    std::int64_t ms;
    rx::Event<T> event;
    friend bool operator==(const Recorded&, const Recorded&) = default;
};

template <class T>
using Marbles = std::vector<Recorded<T>>;

template <class T>
void PrintTo(const Recorded<T>& r, std::ostream* os) {
    *os << r.ms << ":";
    if (const T* v = r.event.element()) {
        *os << "next(" << ::testing::PrintToString(*v) << ")";
    } else if (const Error* e = r.event.failure()) {
        *os << "error(" << e->description << ")";
    } else {
        *os << "completed";
    }
}

// Typeless marbles that become a Recorded<T> of whatever element type is expected.
template <class V>
struct NextAt {
    std::int64_t ms;
    V value;
    template <class T>
    operator Recorded<T>() const {  // NOLINT(google-explicit-constructor)
        return {ms, rx::Event<T>::next(T(value))};
    }
};
struct ErrorAt {
    std::int64_t ms;
    Error error;
    template <class T>
    operator Recorded<T>() const {  // NOLINT(google-explicit-constructor)
        return {ms, rx::Event<T>::error(error)};
    }
};
struct CompletedAt {
    std::int64_t ms;
    template <class T>
    operator Recorded<T>() const {  // NOLINT(google-explicit-constructor)
        return {ms, rx::Event<T>::completed()};
    }
};

template <class V>
NextAt<V> onNext(std::int64_t ms, V value) {
    return {ms, std::move(value)};
}
inline NextAt<std::string> onNext(std::int64_t ms, const char* value) {
    return {ms, value};
}
inline ErrorAt onError(std::int64_t ms, Error e = testError()) {
    return {ms, std::move(e)};
}
inline CompletedAt onCompleted(std::int64_t ms) {
    return {ms};
}

inline std::int64_t elapsedMs(const VirtualScheduler& s) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(s.elapsed()).count();
}

// Subscribes on construction, records every event with its virtual time, and
// disposes on destruction (so a test cannot leak its subscription).
template <class T>
class Recorder {
  public:
    Recorder(const VirtualScheduler& s, const rx::Observable<T>& source)
        : events_(std::make_shared<Marbles<T>>()) {
        auto events = events_;
        const auto* scheduler = &s;
        subscription_ = source.subscribeEvents([events, scheduler](const rx::Event<T>& e) {
            events->push_back({elapsedMs(*scheduler), e});
        });
    }
    ~Recorder() { subscription_.dispose(); }
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    [[nodiscard]] const Marbles<T>& events() const { return *events_; }
    [[nodiscard]] std::vector<T> values() const {
        std::vector<T> out;
        for (const auto& r : *events_) {
            if (const T* v = r.event.element()) {
                out.push_back(*v);
            }
        }
        return out;
    }
    void dispose() const { subscription_.dispose(); }
    [[nodiscard]] const rx::Disposable& subscription() const { return subscription_; }

  private:
    std::shared_ptr<Marbles<T>> events_;
    rx::Disposable subscription_;
};

// A hot source: the marbles are emitted at their absolute times, whoever listens.
template <class T>
rx::Observable<T> hot(VirtualScheduler& s, const Marbles<T>& marbles) {
    rx::PublishSubject<T> subject;
    for (const auto& m : marbles) {
        s.scheduleAt(VirtualScheduler::TimePoint(std::chrono::milliseconds(m.ms)),
                     [subject, event = m.event] {
                         if (const T* v = event.element()) {
                             subject.onNext(*v);
                         } else if (const Error* e = event.failure()) {
                             subject.onError(*e);
                         } else {
                             subject.onCompleted();
                         }
                     });
    }
    return subject.asObservable();
}

// A cold source: each subscriber gets the marbles at times relative to its
// subscription. Records when each subscription started and ended, so tests
// can check that operators subscribe and dispose when they should.
template <class T>
class Cold {
  public:
    struct Span {
        std::int64_t subscribed;
        std::int64_t disposed = -1;  // -1 while live
        friend bool operator==(const Span&, const Span&) = default;
        friend std::ostream& operator<<(std::ostream& os, const Span& span) {
            return os << "[" << span.subscribed << "," << span.disposed << "]";
        }
    };

    Cold(VirtualScheduler& s, Marbles<T> marbles)
        : scheduler_(&s),
          marbles_(std::move(marbles)),
          spans_(std::make_shared<std::vector<Span>>()) {}

    [[nodiscard]] rx::Observable<T> observable() const {
        return rx::Observable<T>::create(
            [s = scheduler_, marbles = marbles_, spans = spans_](const rx::Observer<T>& o) {
                const auto index = spans->size();
                spans->push_back({elapsedMs(*s)});
                rx::CompositeDisposable timers;
                for (const auto& m : marbles) {
                    timers.add(rx::Disposable::fromTimer(s->schedule(
                        std::chrono::milliseconds(m.ms), [o, event = m.event] { o.on(event); })));
                }
                timers.add(rx::Disposable::create(
                    [s, spans, index] { (*spans)[index].disposed = elapsedMs(*s); }));
                return timers.asDisposable();
            });
    }

    [[nodiscard]] const std::vector<Span>& subscriptions() const { return *spans_; }

  private:
    VirtualScheduler* scheduler_;
    Marbles<T> marbles_;
    std::shared_ptr<std::vector<Span>> spans_;
};

}  // namespace vesk::test
