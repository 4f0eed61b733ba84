// Operators that turn each value into a stream and flatten the results:
// flatMap (merge all), flatMapFirst (ignore values while one inner stream
// runs), flatMapLatest (switch to the newest), concatMap (one after another).
//
// Threading: single-threaded, like Observable (observable.hpp).
//
// All of them: an error of the outer stream or of any inner stream ends the
// result with that error and disposes everything; the result completes once
// the outer stream and every inner stream it still waits for have completed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

#include "core/rx/disposable.hpp"
#include "core/rx/observable.hpp"

namespace vesk::rx {
namespace detail {

template <class F, class T>
using InnerOf = std::decay_t<std::invoke_result_t<const F&, const T&>>;

enum class FlattenMode { merge, first, latest };

template <class U>
struct FlattenState {
    explicit FlattenState(Observer<U> o) : out(std::move(o)) {}

    void maybeComplete() {
        if (outerDone && active == 0) {
            out.onCompleted();
        }
    }

    Observer<U> out;
    CompositeDisposable group;   // the outer subscription and every inner one
    SerialDisposable latest;     // flatMapLatest: the current inner (also in group)
    std::size_t active = 0;      // inner streams not yet completed
    std::uint64_t generation = 0;  // flatMapLatest: which inner is current
    bool outerDone = false;
};

template <FlattenMode Mode, class F>
auto flatten(F f) {
    return [f = std::move(f)](const auto& source) {
        using T = ElementOf<decltype(source)>;
        using U = ElementOf<InnerOf<F, T>>;
        return Observable<U>::create([source, f](const Observer<U>& o) {
            auto st = std::make_shared<FlattenState<U>>(o);
            if constexpr (Mode == FlattenMode::latest) {
                st->group.add(st->latest.asDisposable());
            }
            auto outer = source.subscribeFor(
                o, [st, f](const T& v) {
                    if (st->out.isDisposed()) {
                        return;
                    }
                    if constexpr (Mode == FlattenMode::first) {
                        if (st->active > 0) {
                            return;
                        }
                    }
                    auto inner = f(v);
                    ++st->active;
                    if constexpr (Mode == FlattenMode::latest) {
                        if (st->active > 1) {
                            --st->active;  // the previous inner stops counting: it is replaced
                        }
                        const auto gen = ++st->generation;
                        st->latest.set(Disposable());  // end the previous inner before the next starts
                        auto d = inner.subscribeFor(
                            st->out, [st, gen](const U& u) {
                                if (gen == st->generation) {
                                    st->out.onNext(u);
                                }
                            },
                            [st](const Error& e) { st->out.onError(e); },
                            [st, gen] {
                                if (gen == st->generation) {
                                    --st->active;
                                    st->maybeComplete();
                                }
                            });
                        if (gen != st->generation) {
                            d.dispose();  // a newer value arrived while this one subscribed
                        } else if (!d.isDisposed()) {
                            st->latest.set(std::move(d));
                        }
                    } else {
                        const auto key = st->group.nextKey();
                        auto d = inner.subscribeFor(st->out, [st](const U& u) { st->out.onNext(u); },
                                                 [st](const Error& e) { st->out.onError(e); },
                                                 [st, key] {
                                                     --st->active;
                                                     st->group.remove(key);
                                                     st->maybeComplete();
                                                 });
                        // An inner stream that already completed has nothing left to end.
                        if (!d.isDisposed()) {
                            st->group.add(key, std::move(d));
                        }
                    }
                },
                [st](const Error& e) { st->out.onError(e); },
                [st] {
                    st->outerDone = true;
                    st->maybeComplete();
                });
            st->group.add(std::move(outer));
            return st->group.asDisposable();
        });
    };
}

}  // namespace detail

// Subscribes to f(v) for every value and merges all inner streams.
template <class F>
auto flatMap(F f) {
    return detail::flatten<detail::FlattenMode::merge>(std::move(f));
}

// Subscribes to f(v) only when no inner stream is running; values that arrive
// meanwhile are dropped.
template <class F>
auto flatMapFirst(F f) {
    return detail::flatten<detail::FlattenMode::first>(std::move(f));
}

// Subscribes to f(v) for every value, disposing the previous inner stream first.
template <class F>
auto flatMapLatest(F f) {
    return detail::flatten<detail::FlattenMode::latest>(std::move(f));
}

// Subscribes to f(v) for each value in turn: the next inner stream starts when
// the previous one completes; values wait in order meanwhile.
template <class F>
auto concatMap(F f) {
    return [f = std::move(f)](const auto& source) {
        using T = ElementOf<decltype(source)>;
        using U = ElementOf<detail::InnerOf<F, T>>;
        struct State {
            explicit State(Observer<U> o, F fn) : out(std::move(o)), f(std::move(fn)) {}

            // A loop, not recursion: inner streams that complete at once would otherwise nest.
            void drain(const std::shared_ptr<State>& self) {
                if (draining) {
                    return;
                }
                draining = true;
                while (!running && !waiting.empty() && !out.isDisposed()) {
                    running = true;
                    auto inner = f(waiting.front());
                    waiting.pop_front();
                    auto d = inner.subscribeFor(out, [self](const U& u) { self->out.onNext(u); },
                                             [self](const Error& e) { self->out.onError(e); },
                                             [self] {
                                                 self->running = false;
                                                 self->drain(self);
                                             });
                    if (!d.isDisposed()) {
                        current.set(std::move(d));
                    }
                }
                draining = false;
                if (!running && waiting.empty() && outerDone) {
                    out.onCompleted();
                }
            }

            Observer<U> out;
            F f;
            std::deque<T> waiting;
            SerialDisposable current;
            bool running = false;
            bool draining = false;
            bool outerDone = false;
        };
        return Observable<U>::create([source, f](const Observer<U>& o) {
            auto st = std::make_shared<State>(o, f);
            CompositeDisposable group;
            group.add(st->current.asDisposable());
            group.add(source.subscribeFor(
                o, [st](const T& v) {
                    st->waiting.push_back(v);
                    st->drain(st);
                },
                [st](const Error& e) { st->out.onError(e); },
                [st] {
                    st->outerDone = true;
                    st->drain(st);
                }));
            return group.asDisposable();
        });
    };
}

// The sources one after another.
template <class T>
Observable<T> concat(std::vector<Observable<T>> sources) {
    return from(std::move(sources)) | concatMap([](const Observable<T>& s) { return s; });
}

}  // namespace vesk::rx
