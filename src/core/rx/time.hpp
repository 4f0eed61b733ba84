// Operators in time: timer, interval, debounce, delay, and observeOn.
//
// Threading: single-threaded. The Scheduler runs its tasks on the main
// executor and observeOn posts to the main executor, so every event still
// arrives there. Requires: the Scheduler (or Executor) outlives every
// subscription that uses it. Disposing a subscription cancels its timers at
// once; nothing scheduled by it is delivered afterwards.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <utility>

#include "core/rx/disposable.hpp"
#include "core/rx/observable.hpp"
#include "vesk/clock.hpp"
#include "vesk/executor.hpp"

namespace vesk::rx {

// 0 once `dueTime` has passed, then completion.
inline Observable<std::int64_t> timer(Scheduler::Duration dueTime, Scheduler& scheduler) {
    return Observable<std::int64_t>::create([dueTime, &scheduler](const Observer<std::int64_t>& o) {
        return Disposable::fromTimer(scheduler.schedule(dueTime, [o] {
            o.onNext(0);
            o.onCompleted();
        }));
    });
}

// 0 once `dueTime` has passed, then 1, 2, ... every `period`; never completes.
// timer(0s, 30s, s) fires at once and then every 30 seconds.
// Requires: period > 0.
inline Observable<std::int64_t> timer(Scheduler::Duration dueTime, Scheduler::Duration period,
                                      Scheduler& scheduler) {
    return Observable<std::int64_t>::create(
        [dueTime, period, &scheduler](const Observer<std::int64_t>& o) {
            return Disposable::fromTimer(scheduler.schedulePeriodic(
                dueTime, period, [o, tick = std::int64_t{0}]() mutable { o.onNext(tick++); }));
        });
}

// 0, 1, 2, ... every `period`, the first after one period.
inline Observable<std::int64_t> interval(Scheduler::Duration period, Scheduler& scheduler) {
    return timer(period, period, scheduler);
}

// A value passes once `dueTime` has gone by without a newer one; each value
// restarts the wait. Completion delivers the waiting value first; an error
// drops it.
inline auto debounce(Scheduler::Duration dueTime, Scheduler& scheduler) {
    return [dueTime, &scheduler](const auto& source) {
        using T = ElementOf<decltype(source)>;
        struct State {
            explicit State(Observer<T> o) : out(std::move(o)) {}

            void flush() {
                timer.cancel();
                if (pending) {
                    auto value = std::move(*pending);
                    pending.reset();
                    out.onNext(value);
                }
            }

            Observer<T> out;
            std::optional<T> pending;
            TimerHandle timer;
        };
        return Observable<T>::create([source, dueTime, &scheduler](const Observer<T>& o) {
            auto st = std::make_shared<State>(o);
            CompositeDisposable group;
            group.add(Disposable::create([st] {
                st->timer.cancel();
                st->pending.reset();
            }));
            group.add(source.subscribeFor(
                o, [st, dueTime, &scheduler](const T& v) {
                    st->timer.cancel();
                    st->pending = v;
                    st->timer = scheduler.schedule(dueTime, [st] { st->flush(); });
                },
                [st](const Error& e) {
                    st->timer.cancel();
                    st->pending.reset();
                    st->out.onError(e);
                },
                [st] {
                    st->flush();
                    st->out.onCompleted();
                }));
            return group.asDisposable();
        });
    };
}

// Values and completion arrive `dueTime` later, in order; an error arrives at
// once and drops what was still waiting.
inline auto delay(Scheduler::Duration dueTime, Scheduler& scheduler) {
    return [dueTime, &scheduler](const auto& source) {
        using T = ElementOf<decltype(source)>;
        struct State {
            State(Observer<T> o, Scheduler& s) : out(std::move(o)), scheduler(s) {}

            void push(const std::shared_ptr<State>& self, Scheduler::TimePoint due, Event<T> event) {
                waiting.emplace_back(due, std::move(event));
                if (!armed) {
                    arm(self);
                }
            }
            // One timer at a time, for the earliest waiting event.
            void arm(const std::shared_ptr<State>& self) {
                armed = true;
                timer = scheduler.scheduleAt(waiting.front().first, [self] { self->fire(self); });
            }
            void fire(const std::shared_ptr<State>& self) {
                armed = false;
                // Re-checked each turn: a delivery may dispose (clearing `waiting`) or add.
                while (!waiting.empty() && waiting.front().first <= scheduler.now()) {
                    auto event = std::move(waiting.front().second);
                    waiting.pop_front();
                    out.on(event);
                }
                if (!waiting.empty() && !armed) {
                    arm(self);
                }
            }
            void clear() {
                timer.cancel();
                waiting.clear();
            }

            Observer<T> out;
            Scheduler& scheduler;
            std::deque<std::pair<Scheduler::TimePoint, Event<T>>> waiting;
            TimerHandle timer;
            bool armed = false;
        };
        return Observable<T>::create([source, dueTime, &scheduler](const Observer<T>& o) {
            auto st = std::make_shared<State>(o, scheduler);
            CompositeDisposable group;
            group.add(Disposable::create([st] { st->clear(); }));
            group.add(source.subscribeFor(
                o, [st, dueTime](const T& v) {
                    st->push(st, st->scheduler.now() + dueTime, Event<T>::next(v));
                },
                [st](const Error& e) {
                    st->clear();
                    st->out.onError(e);
                },
                [st, dueTime] {
                    st->push(st, st->scheduler.now() + dueTime, Event<T>::completed());
                }));
            return group.asDisposable();
        });
    };
}

// Delivers every event as a task posted to `executor`, after the work already
// queued there. Disposing drops events still queued.
inline auto observeOn(Executor& executor) {
    return [&executor](const auto& source) {
        using T = ElementOf<decltype(source)>;
        return Observable<T>::create([source, &executor](const Observer<T>& o) {
            return source.subscribeFor(
                o, [o, &executor](const T& v) { executor.post([o, v] { o.onNext(v); }); },
                [o, &executor](const Error& e) { executor.post([o, e] { o.onError(e); }); },
                [o, &executor] { executor.post([o] { o.onCompleted(); }); });
        });
    };
}

}  // namespace vesk::rx
