// Operators over several streams: combineLatest, withLatestFrom, merge.
//
// Threading: single-threaded, like Observable (observable.hpp).
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

#include "core/rx/disposable.hpp"
#include "core/rx/observable.hpp"

namespace vesk::rx {
namespace detail {

template <class... Ts>
struct CombineLatestState {
    explicit CombineLatestState(Observer<std::tuple<Ts...>> o) : out(std::move(o)) {}

    template <std::size_t I, class V>
    void next(const V& v) {
        auto& slot = std::get<I>(latest);
        if (!slot) {
            ++withValue;
        }
        slot = v;
        if (withValue == sizeof...(Ts)) {
            out.onNext(std::apply([](const auto&... x) { return std::tuple<Ts...>(*x...); }, latest));
        }
    }

    template <std::size_t I>
    void completed() {
        ++done;
        // A source that ended without a value means nothing can ever be combined.
        if (!std::get<I>(latest) || done == sizeof...(Ts)) {
            out.onCompleted();
        }
    }

    Observer<std::tuple<Ts...>> out;
    std::tuple<std::optional<Ts>...> latest;
    std::size_t withValue = 0;
    std::size_t done = 0;
};

}  // namespace detail

// Emits a tuple of every source's latest value each time any of them emits,
// once all have emitted. Errors with the first error; completes when all
// sources have completed, or when one completes without having emitted.
template <class... Ts>
    requires(sizeof...(Ts) >= 2)
Observable<std::tuple<Ts...>> combineLatest(const Observable<Ts>&... sources) {
    using Out = std::tuple<Ts...>;
    return Observable<Out>::create([sources = std::make_tuple(sources...)](const Observer<Out>& o) {
        auto state = std::make_shared<detail::CombineLatestState<Ts...>>(o);
        CompositeDisposable group;
        [&]<std::size_t... I>(std::index_sequence<I...>) {
            // Sources after one that ended the result are not subscribed at all.
            ((o.isDisposed() ? void() : group.add(std::get<I>(sources).subscribeFor(
                 o, [state](const Ts& v) { state->template next<I>(v); }, detail::errorTo(o),
                 [state] { state->template completed<I>(); }))),
             ...);
        }(std::index_sequence_for<Ts...>{});
        return group.asDisposable();
    });
}

// For each source value v, once `other` has emitted: f(v, latest of other).
// Errors of either side end the stream; completion of `other` does not.
template <class U, class F>
auto withLatestFrom(Observable<U> other, F combine) {
    return [other = std::move(other), combine = std::move(combine)](const auto& source) {
        using T = ElementOf<decltype(source)>;
        using R = std::decay_t<std::invoke_result_t<const F&, const T&, const U&>>;
        return Observable<R>::create([source, other, combine](const Observer<R>& o) {
            auto latest = std::make_shared<std::optional<U>>();
            CompositeDisposable group;
            // `other` first, so a value it holds (a relay's) counts for the first source value.
            group.add(other.subscribeFor(o, [latest](const U& u) { *latest = u; }, detail::errorTo(o)));
            group.add(source.subscribeFor(
                o, [o, latest, combine](const T& v) {
                    if (*latest) {
                        o.onNext(combine(v, **latest));
                    }
                },
                detail::errorTo(o), detail::completedTo(o)));
            return group.asDisposable();
        });
    };
}

// For each source value v, once `other` has emitted: the tuple (v, latest of other).
template <class U>
auto withLatestFrom(Observable<U> other) {
    return withLatestFrom(std::move(other),
                          [](const auto& v, const U& u) { return std::tuple(v, u); });
}

// Values of all sources as they come; completes when all have completed.
template <class T>
Observable<T> merge(std::vector<Observable<T>> sources) {
    return Observable<T>::create([sources = std::move(sources)](const Observer<T>& o) -> Disposable {
        if (sources.empty()) {
            o.onCompleted();
            return {};
        }
        auto remaining = std::make_shared<std::size_t>(sources.size());
        CompositeDisposable group;
        for (const auto& source : sources) {
            if (o.isDisposed()) {
                break;
            }
            group.add(source.subscribeFor(o, [o](const T& v) { o.onNext(v); }, detail::errorTo(o),
                                       [o, remaining] {
                                           if (--*remaining == 0) {
                                               o.onCompleted();
                                           }
                                       }));
        }
        return group.asDisposable();
    });
}

}  // namespace vesk::rx
