// Sharing one subscription of a cold source among many subscribers:
// share() and shareReplay() (which replays the latest value to latecomers).
//
// Threading: single-threaded, like Observable (observable.hpp).
//
// The source is subscribed when the first subscriber arrives and disposed when
// the last one leaves; after that, or after the source ends, the next
// subscriber starts a fresh subscription (and nothing stale is replayed).
#pragma once

#include <cstddef>
#include <memory>

#include "core/rx/disposable.hpp"
#include "core/rx/observable.hpp"
#include "core/rx/subjects.hpp"

namespace vesk::rx {
namespace detail {

template <template <class> class Subject>
auto shareThrough() {
    return [](const auto& source) {
        using T = ElementOf<decltype(source)>;
        struct Connection {
            Subject<T> subject;
            Disposable upstream;
            std::size_t refs = 0;
        };
        struct Shared {
            std::shared_ptr<Connection> current;
        };
        auto shared = std::make_shared<Shared>();
        return Observable<T>::create([source, shared](const Observer<T>& o) {
            auto conn = shared->current;
            const bool connect = !conn;
            if (connect) {
                conn = std::make_shared<Connection>();
                shared->current = conn;
            }
            ++conn->refs;
            auto inner = conn->subject.asObservable().subscribe(o);
            if (connect) {
                // Forgotten before the end is passed on, so a subscriber that
                // subscribes again from its completion handler starts afresh.
                auto forget = [weakShared = std::weak_ptr<Shared>(shared),
                               weakConn = std::weak_ptr<Connection>(conn)] {
                    auto s = weakShared.lock();
                    if (s && s->current == weakConn.lock()) {
                        s->current.reset();
                    }
                };
                const auto& subject = conn->subject;
                conn->upstream = source.subscribe([subject](const T& v) { subject.onNext(v); },
                                                  [subject, forget](const Error& e) {
                                                      forget();
                                                      subject.onError(e);
                                                  },
                                                  [subject, forget] {
                                                      forget();
                                                      subject.onCompleted();
                                                  });
            }
            return Disposable::create([shared, conn, inner] {
                inner.dispose();
                if (--conn->refs == 0) {
                    if (shared->current == conn) {
                        shared->current.reset();
                    }
                    std::exchange(conn->upstream, {}).dispose();
                }
            });
        });
    };
}

}  // namespace detail

inline auto share() { return detail::shareThrough<PublishSubject>(); }

// share() that also replays the latest value to each new subscriber while the
// source subscription lives.
inline auto shareReplay() { return detail::shareThrough<ReplaySubject>(); }

}  // namespace vesk::rx
