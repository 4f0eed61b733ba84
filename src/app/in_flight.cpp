#include "app/in_flight.hpp"

#include <utility>

namespace vesk {

InFlight::InFlight(Executor& executor) : executor_(executor) {}

InFlight::~InFlight() {
    for (const auto& [id, subscription] : std::exchange(state_->pending, {})) {
        subscription.dispose();
    }
}

void InFlight::add(const std::function<rx::Disposable(Done done)>& start) {
    const auto id = state_->next++;
    std::weak_ptr<State> weak = state_;
    auto finished = std::make_shared<bool>(false);
    // Released on a later turn: the subscription being ended may be the one calling.
    Done done = [&executor = executor_, weak, id, finished] {
        if (std::exchange(*finished, true)) {
            return;
        }
        executor.post([weak, id] {
            if (auto state = weak.lock()) {
                state->pending.erase(id);
            }
        });
    };
    state_->pending.emplace(id, start(done));
}

}  // namespace vesk
