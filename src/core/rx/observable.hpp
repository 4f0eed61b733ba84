// Cold streams: an Observable<T> describes how to produce events; each
// subscription runs that description afresh and gets its own Disposable.
//
// Threading: single-threaded. Create, subscribe, emit and dispose on the main
// executor only; other threads post to it. Nothing here locks.
//
// Contract (as in ReactiveX): values, then at most one error or completion;
// nothing after that, and nothing after dispose, even when dispose happens
// inside a callback of the same subscription. A terminated subscription ends
// what it holds upstream.
//
// Operators are applied with `|`:
//     source | map(f) | filter(p) | take(1)
// and live in operators.hpp, combine.hpp, flat_map.hpp, time.hpp, share.hpp.
#pragma once

#include <concepts>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

#include "core/error.hpp"
#include "core/rx/disposable.hpp"
#include "core/rx/event.hpp"

namespace vesk::rx {

template <class T>
class Observable;

namespace detail {

struct Ignore {
    template <class... A>
    void operator()(A&&...) const {}
};

template <class T>
struct Callbacks {
    std::function<void(const T&)> next;
    std::function<void(const Error&)> error;
    std::function<void()> completed;
};

template <class T, class N, class E, class C>
std::shared_ptr<const Callbacks<T>> makeCallbacks(N&& onNext, E&& onError, C&& onCompleted) {
    auto cb = std::make_shared<Callbacks<T>>();
    if constexpr (!std::is_same_v<std::decay_t<N>, Ignore>) {
        cb->next = std::forward<N>(onNext);
    }
    if constexpr (!std::is_same_v<std::decay_t<E>, Ignore>) {
        cb->error = std::forward<E>(onError);
    }
    if constexpr (!std::is_same_v<std::decay_t<C>, Ignore>) {
        cb->completed = std::forward<C>(onCompleted);
    }
    return cb;
}

// One subscription: the subscriber's callbacks and what it must end upstream.
// Each delivery copies the callbacks pointer, so a callback may dispose its own
// subscription (dropping the callbacks) while it runs.
template <class T>
class ObserverState final : public DisposableState {
public:
    explicit ObserverState(std::shared_ptr<const Callbacks<T>> cb) : cb_(std::move(cb)) {}

    // `parent`: the downstream subscription this one serves, if any. Once that
    // one has ended, this one counts as disposed too, so a producer looping
    // inside a synchronous subscribe stops even before the Disposables are
    // wired up.
    ObserverState(std::shared_ptr<const Callbacks<T>> cb, std::weak_ptr<DisposableState> parent)
        : cb_(std::move(cb)), parent_(std::move(parent)) {}

    void onNext(const T& value) {
        if (auto cb = cb_; cb && cb->next) {
            cb->next(value);
        }
    }

    void onError(const Error& e) {
        auto cb = std::exchange(cb_, nullptr);
        if (!cb) {
            return;
        }
        if (cb->error) {
            cb->error(e);
        }
        endUpstream();
    }

    void onCompleted() {
        auto cb = std::exchange(cb_, nullptr);
        if (!cb) {
            return;
        }
        if (cb->completed) {
            cb->completed();
        }
        endUpstream();
    }

    // The producer's Disposable arrives after it may already have terminated
    // or been disposed (synchronous sources); then it is ended at once.
    void setUpstream(Disposable upstream) {
        if (isDisposed()) {
            upstream.dispose();
            return;
        }
        upstream_ = std::move(upstream);
    }

    void dispose() override {
        cb_.reset();
        endUpstream();
    }
    [[nodiscard]] bool isDisposed() const override {
        if (!cb_) {
            return true;
        }
        if (parent_.expired()) {
            return false;  // no parent, or one nobody holds any more
        }
        const auto parent = parent_.lock();
        return parent && parent->isDisposed();
    }

private:
    void endUpstream() { std::exchange(upstream_, {}).dispose(); }

    std::shared_ptr<const Callbacks<T>> cb_;
    std::weak_ptr<DisposableState> parent_;
    Disposable upstream_;
};

}  // namespace detail

// The producer's side of one subscription. Copies share it.
template <class T>
class Observer {
public:
    Observer() = default;

    // A free-standing observer, not tied to any upstream: the sink of a binding.
    template <class N, class E = detail::Ignore, class C = detail::Ignore>
    static Observer make(N onNext, E onError = {}, C onCompleted = {}) {
        return Observer(std::make_shared<detail::ObserverState<T>>(detail::makeCallbacks<T>(
            std::move(onNext), std::move(onError), std::move(onCompleted))));
    }

    void onNext(const T& value) const {
        if (state_) {
            state_->onNext(value);
        }
    }
    void onError(const Error& e) const {
        if (state_) {
            state_->onError(e);
        }
    }
    void onCompleted() const {
        if (state_) {
            state_->onCompleted();
        }
    }
    void on(const Event<T>& event) const {
        if (const T* value = event.element()) {
            onNext(*value);
        } else if (const Error* e = event.failure()) {
            onError(*e);
        } else {
            onCompleted();
        }
    }

    // True once the subscription has terminated or been disposed: a producer
    // that loops should stop.
    [[nodiscard]] bool isDisposed() const { return !state_ || state_->isDisposed(); }

    // Ends the subscription from the producer's side, delivering nothing.
    void dispose() const {
        if (state_) {
            state_->dispose();
        }
    }

private:
    template <class>
    friend class Observable;
    template <class>
    friend class Observer;

    explicit Observer(std::shared_ptr<detail::ObserverState<T>> state) : state_(std::move(state)) {}

    std::shared_ptr<detail::ObserverState<T>> state_;
};

template <class T>
class Observable {
public:
    using Element = T;
    // Starts producing for one observer; returns what ends the production.
    using SubscribeFn = std::function<Disposable(const Observer<T>&)>;

    // Never emits.
    Observable() = default;

    // `subscribe` takes `const Observer<T>&` and returns a Disposable, or nothing
    // when there is nothing to end.
    template <class F>
    static Observable create(F subscribe) {
        if constexpr (std::is_void_v<std::invoke_result_t<F&, const Observer<T>&>>) {
            return Observable([f = std::move(subscribe)](const Observer<T>& o) {
                f(o);
                return Disposable{};
            });
        } else {
            return Observable(SubscribeFn(std::move(subscribe)));
        }
    }

    // Forwards every event to `downstream`; disposing the result detaches
    // `downstream` without terminating it.
    Disposable subscribe(const Observer<T>& downstream) const {
        return run(detail::makeCallbacks<T>([downstream](const T& v) { downstream.onNext(v); },
                                            [downstream](const Error& e) { downstream.onError(e); },
                                            [downstream] { downstream.onCompleted(); }),
                   downstream.state_);
    }

    // For operators: subscribes on behalf of `downstream`, whose end makes this
    // subscription count as disposed at once (see ObserverState).
    template <class U, class N, class E = detail::Ignore, class C = detail::Ignore>
    Disposable subscribeFor(const Observer<U>& downstream, N onNext, E onError = {},
                            C onCompleted = {}) const {
        return run(detail::makeCallbacks<T>(std::move(onNext), std::move(onError),
                                            std::move(onCompleted)),
                   downstream.state_);
    }

    template <class N = detail::Ignore, class E = detail::Ignore, class C = detail::Ignore>
        requires(!std::is_same_v<std::decay_t<N>, Observer<T>>)
    Disposable subscribe(N onNext = {}, E onError = {}, C onCompleted = {}) const {
        return run(detail::makeCallbacks<T>(std::move(onNext), std::move(onError),
                                            std::move(onCompleted)));
    }

    // Every event as an Event<T>.
    template <class F>
    Disposable subscribeEvents(F onEvent) const {
        return subscribe([onEvent](const T& v) { onEvent(Event<T>::next(v)); },
                         [onEvent](const Error& e) { onEvent(Event<T>::error(e)); },
                         [onEvent] { onEvent(Event<T>::completed()); });
    }

    // Feeds values into anything with `accept(const T&)` (a relay); errors and
    // completion are dropped, since a relay never ends.
    template <class R>
    Disposable bind(const R& relay) const {
        return subscribe([relay](const T& v) { relay.accept(v); });
    }

private:
    explicit Observable(SubscribeFn fn) : fn_(std::make_shared<const SubscribeFn>(std::move(fn))) {}

    Disposable run(std::shared_ptr<const detail::Callbacks<T>> cb,
                   std::weak_ptr<DisposableState> parent = {}) const {
        auto state = std::make_shared<detail::ObserverState<T>>(std::move(cb), std::move(parent));
        if (fn_) {
            state->setUpstream((*fn_)(Observer<T>(state)));
        }
        return Disposable(state);
    }

    std::shared_ptr<const SubscribeFn> fn_;
};

template <class O>
using ElementOf = typename std::remove_cvref_t<O>::Element;

// source | op  ==  op(source)
template <class T, class Op>
    requires std::invocable<Op, const Observable<T>&>
auto operator|(const Observable<T>& source, Op&& op) {
    return std::forward<Op>(op)(source);
}

// ---- creation ----

template <class T, class F>
Observable<T> create(F subscribe) {
    return Observable<T>::create(std::move(subscribe));
}

template <class T>
Observable<std::decay_t<T>> just(T&& value) {
    using V = std::decay_t<T>;
    return Observable<V>::create([value = V(std::forward<T>(value))](const Observer<V>& o) {
        o.onNext(value);
        o.onCompleted();
    });
}

template <class T>
Observable<T> from(std::vector<T> values) {
    return Observable<T>::create([values = std::move(values)](const Observer<T>& o) {
        for (const auto& v : values) {
            if (o.isDisposed()) {
                return;
            }
            o.onNext(v);
        }
        o.onCompleted();
    });
}

template <class T>
Observable<T> empty() {
    return Observable<T>::create([](const Observer<T>& o) { o.onCompleted(); });
}

template <class T>
Observable<T> error(Error e) {
    return Observable<T>::create([e = std::move(e)](const Observer<T>& o) { o.onError(e); });
}

template <class T>
Observable<T> never() {
    return Observable<T>();
}

// Calls `factory` (returning an Observable) anew for each subscriber.
template <class F>
auto deferred(F factory) {
    using O = std::invoke_result_t<F&>;
    using T = ElementOf<O>;
    return Observable<T>::create(
        [factory = std::move(factory)](const Observer<T>& o) { return factory().subscribe(o); });
}

namespace detail {

template <class T>
auto errorTo(const Observer<T>& o) {
    return [o](const Error& e) { o.onError(e); };
}

template <class T>
auto completedTo(const Observer<T>& o) {
    return [o] { o.onCompleted(); };
}

}  // namespace detail

}  // namespace vesk::rx
