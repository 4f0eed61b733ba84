#include "vesk/clock.hpp"

#include <atomic>
#include <cassert>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

namespace vesk {

TimerHandle Scheduler::schedule(Duration delay, Task task) {
    return scheduleAt(now() + delay, std::move(task));
}

namespace {

// Re-arms itself one period after each due time. Owned only by the pending
// one-shot task, so cancelling that task (or dropping the scheduler) frees it.
class Periodic final : public Cancellable, public std::enable_shared_from_this<Periodic> {
public:
    Periodic(Scheduler& scheduler, Scheduler::Duration period, Scheduler::Task task)
        : scheduler_(scheduler), period_(period), task_(std::move(task)) {}

    void arm(Scheduler::TimePoint due) {
        due_ = due;
        current_ = scheduler_.scheduleAt(due, [self = shared_from_this()] { self->fire(); });
    }

    void cancel() override { current_.cancel(); }

private:
    void fire() {
        auto next = due_ + period_;
        const auto now = scheduler_.now();
        if (next <= now) {
            next += ((now - next) / period_ + 1) * period_;
        }
        // Armed before running, so a task that cancels the timer also cancels its next tick.
        arm(next);
        task_();
    }

    Scheduler& scheduler_;
    Scheduler::Duration period_;
    Scheduler::Task task_;
    Scheduler::TimePoint due_{};
    TimerHandle current_;
};

}  // namespace

TimerHandle Scheduler::schedulePeriodic(Duration initialDelay, Duration period, Task task) {
    assert(period > Duration::zero());
    if (period <= Duration::zero()) {
        period = Duration(1);
    }
    auto periodic = std::make_shared<Periodic>(*this, period, std::move(task));
    periodic->arm(now() + initialDelay);
    return TimerHandle(periodic);
}

namespace {

// `task` is touched only on the executor's thread; the timer thread reads `cancelled` alone.
struct SteadyEntry final : Cancellable {
    std::atomic<bool> cancelled{false};
    Scheduler::Task task;

    void cancel() override {
        cancelled.store(true, std::memory_order_relaxed);
        task = nullptr;
    }
};

}  // namespace

struct SteadyScheduler::Impl {
    explicit Impl(Executor& ex) : executor(ex) {}

    void loop() {
        std::unique_lock lock(mutex);
        while (!stopping) {
            if (queue.empty()) {
                wake.wait(lock);
                continue;
            }
            auto first = queue.begin();
            if (first->first.first > clock.now()) {
                wake.wait_until(lock, first->first.first);
                continue;
            }
            auto entry = std::move(first->second);
            queue.erase(first);
            if (entry->cancelled.load(std::memory_order_relaxed)) {
                continue;
            }
            lock.unlock();
            // The entry moves into the posted task, so the timer thread keeps no reference.
            executor.post([entry = std::move(entry), alive = alive] {
                if (!alive->load() || !entry->task) {
                    return;
                }
                auto task = std::move(entry->task);
                entry->task = nullptr;
                task();
            });
            lock.lock();
        }
    }

    Executor& executor;
    SteadyClock clock;
    std::mutex mutex;
    std::condition_variable wake;
    // Keyed by (due, sequence) so equal due times keep scheduling order.
    std::map<std::pair<TimePoint, std::uint64_t>, std::shared_ptr<SteadyEntry>> queue;
    std::uint64_t sequence = 0;
    bool stopping = false;
    // Cleared on destruction: tasks already posted then find their scheduler gone.
    std::shared_ptr<std::atomic<bool>> alive = std::make_shared<std::atomic<bool>>(true);
    std::thread thread;
};

SteadyScheduler::SteadyScheduler(Executor& executor) : impl_(std::make_unique<Impl>(executor)) {
    impl_->thread = std::thread([impl = impl_.get()] { impl->loop(); });
}

SteadyScheduler::~SteadyScheduler() {
    impl_->alive->store(false);
    {
        std::lock_guard lock(impl_->mutex);
        impl_->stopping = true;
    }
    impl_->wake.notify_all();
    impl_->thread.join();
    impl_->queue.clear();
}

const Clock& SteadyScheduler::clock() const { return impl_->clock; }

TimerHandle SteadyScheduler::scheduleAt(TimePoint due, Task task) {
    auto entry = std::make_shared<SteadyEntry>();
    entry->task = std::move(task);
    bool earliest = false;
    {
        std::lock_guard lock(impl_->mutex);
        auto it = impl_->queue.emplace(std::pair(due, impl_->sequence++), entry).first;
        earliest = it == impl_->queue.begin();
    }
    if (earliest) {
        impl_->wake.notify_one();
    }
    return TimerHandle(entry);
}

}  // namespace vesk
