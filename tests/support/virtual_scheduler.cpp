#include "tests/support/virtual_scheduler.hpp"

#include <algorithm>
#include <cassert>

namespace vesk {

TimerHandle VirtualScheduler::scheduleAt(TimePoint due, Task task) {
    auto entry = std::make_shared<Entry>();
    entry->task = std::move(task);
    queue_.emplace(std::pair(std::max(due, clock_.now()), sequence_++), entry);
    return TimerHandle(entry);
}

void VirtualScheduler::advance(Duration by) {
    advanceTo(clock_.now() + by);
}

void VirtualScheduler::advanceTo(TimePoint target) {
    assert(!advancing_);
    assert(target >= clock_.now());
    advancing_ = true;
    while (!queue_.empty() && queue_.begin()->first.first <= target) {
        auto first = queue_.begin();
        auto entry = std::move(first->second);
        clock_.now_ = first->first.first;
        queue_.erase(first);
        if (!entry->task) {
            continue;  // cancelled
        }
        auto task = std::move(entry->task);
        entry->task = nullptr;
        task();
    }
    clock_.now_ = std::max(target, clock_.now_);
    advancing_ = false;
}

std::size_t VirtualScheduler::pendingCount() const {
    return static_cast<std::size_t>(
        std::count_if(queue_.begin(), queue_.end(),
                      [](const auto& item) { return item.second->task != nullptr; }));
}

}  // namespace vesk
