// Operators on one stream: map, tryMap, filter, compact, take, skip,
// distinctUntilChanged, startWith, doOnNext, catchError, catchErrorJustReturn.
//
// Threading: single-threaded, like Observable (observable.hpp).
#pragma once

#include <cstddef>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include "core/rx/disposable.hpp"
#include "core/rx/observable.hpp"

namespace vesk::rx {

// Each value v becomes f(v).
template <class F>
auto map(F f) {
    return [f = std::move(f)](const auto& source) {
        using T = ElementOf<decltype(source)>;
        using U = std::decay_t<std::invoke_result_t<const F&, const T&>>;
        return Observable<U>::create([source, f](const Observer<U>& o) {
            return source.subscribeFor(
                o, [o, f](const T& v) { o.onNext(f(v)); }, detail::errorTo(o),
                detail::completedTo(o));
        });
    };
}

// Each value v becomes the value of f(v), an Expected; an error from f ends
// the stream with that error. What map plus flatMap to just/error would do,
// without an inner subscription per value.
template <class F>
auto tryMap(F f) {
    return [f = std::move(f)](const auto& source) {
        using T = ElementOf<decltype(source)>;
        using R = std::decay_t<std::invoke_result_t<const F&, const T&>>;
        using U = std::decay_t<decltype(*std::declval<R&>())>;
        return Observable<U>::create([source, f](const Observer<U>& o) {
            return source.subscribeFor(
                o,
                [o, f](const T& v) {
                    auto mapped = f(v);
                    if (mapped) {
                        o.onNext(*mapped);
                    } else {
                        o.onError(mapped.error());
                    }
                },
                detail::errorTo(o), detail::completedTo(o));
        });
    };
}

// Keeps the values for which `predicate` holds.
template <class P>
auto filter(P predicate) {
    return [predicate = std::move(predicate)](const auto& source) {
        using T = ElementOf<decltype(source)>;
        return Observable<T>::create([source, predicate](const Observer<T>& o) {
            return source.subscribeFor(
                o,
                [o, predicate](const T& v) {
                    if (predicate(v)) {
                        o.onNext(v);
                    }
                },
                detail::errorTo(o), detail::completedTo(o));
        });
    };
}

// Observable<std::optional<T>> -> Observable<T>: absent values are skipped.
inline auto compact() {
    return [](const auto& source) {
        using O = ElementOf<decltype(source)>;
        using T = typename O::value_type;
        return Observable<T>::create([source](const Observer<T>& o) {
            return source.subscribeFor(
                o,
                [o](const O& v) {
                    if (v) {
                        o.onNext(*v);
                    }
                },
                detail::errorTo(o), detail::completedTo(o));
        });
    };
}

// The first `count` values, then completion (at once for 0, without subscribing).
inline auto take(std::size_t count) {
    return [count](const auto& source) {
        using T = ElementOf<decltype(source)>;
        return Observable<T>::create([source, count](const Observer<T>& o) -> Disposable {
            if (count == 0) {
                o.onCompleted();
                return {};
            }
            return source.subscribeFor(
                o,
                [o, remaining = count](const T& v) mutable {
                    if (remaining == 0) {
                        return;
                    }
                    --remaining;  // before delivering: the value may cause another one
                    o.onNext(v);
                    if (remaining == 0) {
                        o.onCompleted();
                    }
                },
                detail::errorTo(o), detail::completedTo(o));
        });
    };
}

// Drops the first `count` values.
inline auto skip(std::size_t count) {
    return [count](const auto& source) {
        using T = ElementOf<decltype(source)>;
        return Observable<T>::create([source, count](const Observer<T>& o) {
            return source.subscribeFor(
                o,
                [o, remaining = count](const T& v) mutable {
                    if (remaining > 0) {
                        --remaining;
                        return;
                    }
                    o.onNext(v);
                },
                detail::errorTo(o), detail::completedTo(o));
        });
    };
}

// Drops a value equal (by `same`) to the one delivered before it.
template <class Eq>
auto distinctUntilChanged(Eq same) {
    return [same = std::move(same)](const auto& source) {
        using T = ElementOf<decltype(source)>;
        return Observable<T>::create([source, same](const Observer<T>& o) {
            return source.subscribeFor(
                o,
                [o, same, last = std::optional<T>()](const T& v) mutable {
                    if (last && same(*last, v)) {
                        return;
                    }
                    last = v;
                    o.onNext(v);
                },
                detail::errorTo(o), detail::completedTo(o));
        });
    };
}

inline auto distinctUntilChanged() {
    return distinctUntilChanged([](const auto& a, const auto& b) { return a == b; });
}

// Delivers `values` first, then subscribes to the source.
template <class... V>
auto startWith(V... values) {
    return [values...](const auto& source) {
        using T = ElementOf<decltype(source)>;
        std::vector<T> first{T(values)...};
        return Observable<T>::create([source, first](const Observer<T>& o) -> Disposable {
            for (const auto& v : first) {
                if (o.isDisposed()) {
                    return {};
                }
                o.onNext(v);
            }
            if (o.isDisposed()) {
                return {};  // ended by a start value: never touch the source
            }
            return source.subscribe(o);
        });
    };
}

// Calls `f(v)` for each value before passing it on.
template <class F>
auto doOnNext(F f) {
    return [f = std::move(f)](const auto& source) {
        using T = ElementOf<decltype(source)>;
        return Observable<T>::create([source, f](const Observer<T>& o) {
            return source.subscribeFor(
                o,
                [o, f](const T& v) {
                    f(v);
                    o.onNext(v);
                },
                detail::errorTo(o), detail::completedTo(o));
        });
    };
}

// On an error, continues with the stream `handler(error)` returns.
template <class F>
auto catchError(F handler) {
    return [handler = std::move(handler)](const auto& source) {
        using T = ElementOf<decltype(source)>;
        return Observable<T>::create([source, handler](const Observer<T>& o) {
            SerialDisposable current;
            auto first = source.subscribeFor(
                o, [o](const T& v) { o.onNext(v); },
                [o, handler, current](const Error& e) {
                    Observable<T> fallback = handler(e);
                    current.set(fallback.subscribe(o));
                },
                detail::completedTo(o));
            // A source that failed at once has already put the fallback in place.
            if (!first.isDisposed()) {
                current.set(std::move(first));
            }
            return current.asDisposable();
        });
    };
}

// On an error, delivers `value` and completes.
template <class V>
auto catchErrorJustReturn(V value) {
    return [value = std::move(value)](const auto& source) {
        using T = ElementOf<decltype(source)>;
        return source | catchError([fallback = T(value)](const Error&) {
                   return Observable<T>::create([fallback](const Observer<T>& o) {
                       o.onNext(fallback);
                       o.onCompleted();
                   });
               });
    };
}

}  // namespace vesk::rx
