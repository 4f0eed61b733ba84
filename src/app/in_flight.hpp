// The subscriptions of requests started for a caller who does not keep them
// (a public call with a handler, a fire-and-forget event): each is kept until
// its request has answered, then released.
// Threading: main executor.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "core/rx/rx.hpp"
#include "vesk/executor.hpp"

namespace vesk {

class InFlight {
  public:
    // Called once the request has answered; later calls do nothing.
    using Done = std::function<void()>;

    // Requires: `executor` outlives this.
    explicit InFlight(Executor& executor);
    // Ends the requests still in flight; their callers hear nothing more.
    ~InFlight();
    InFlight(const InFlight&) = delete;
    InFlight& operator=(const InFlight&) = delete;

    // Keeps the subscription `start(done)` returns until `done` is called,
    // which may happen while `start` runs.
    void add(const std::function<rx::Disposable(Done done)>& start);

    // Subscribes to a request whose answer nobody waits for.
    template <class T>
    void add(const rx::Observable<T>& request) {
        add([&request](const Done& done) {
            return request.subscribe([done](const T&) { done(); }, [done](const Error&) { done(); },
                                     done);
        });
    }

    [[nodiscard]] std::size_t size() const { return state_->pending.size(); }

  private:
    struct State {
        std::map<std::uint64_t, rx::Disposable> pending;
        std::uint64_t next = 0;
    };

    Executor& executor_;
    // Shared with the deferred releases, which must not outlive it.
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace vesk
