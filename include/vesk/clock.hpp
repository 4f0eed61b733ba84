// Time for the library: a clock to read, and a scheduler that runs tasks later
// on the main executor. Every timer of the library (heartbeat, debounces,
// expiries, delays) goes through a Scheduler, so tests can drive time by hand.
//
// Threading: a Scheduler is bound to one Executor and runs every task there,
// one at a time. `schedule*` may be called from any thread on SteadyScheduler;
// `TimerHandle::cancel` is called on the executor's thread (a cancelled task is
// destroyed there, never on a timer thread). Clock reads are thread-safe.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include "vesk/executor.hpp"

namespace vesk {

class Clock {
public:
    using Duration = std::chrono::steady_clock::duration;
    using TimePoint = std::chrono::steady_clock::time_point;
    using WallTime = std::chrono::system_clock::time_point;

    virtual ~Clock() = default;

    // Monotonic time: the base of every delay.
    [[nodiscard]] virtual TimePoint now() const = 0;
    // Calendar time, for deadlines the service states in seconds since 1970.
    [[nodiscard]] virtual WallTime wallNow() const = 0;
};

class SteadyClock final : public Clock {
public:
    [[nodiscard]] TimePoint now() const override { return std::chrono::steady_clock::now(); }
    [[nodiscard]] WallTime wallNow() const override { return std::chrono::system_clock::now(); }
};

// What a TimerHandle cancels; a Scheduler implementation hands one out per task.
class Cancellable {
public:
    virtual ~Cancellable() = default;
    virtual void cancel() = 0;
};

// Refers to a scheduled task without owning it: dropping a handle does not
// cancel, and a handle never keeps its task (or what the task captures) alive.
class TimerHandle {
public:
    TimerHandle() = default;
    explicit TimerHandle(std::weak_ptr<Cancellable> target) noexcept : target_(std::move(target)) {}

    // Idempotent; a no-op once the task has run or its scheduler is gone.
    // A cancelled task never runs and is released at once.
    void cancel() {
        if (auto target = target_.lock()) {
            target->cancel();
        }
        target_.reset();
    }

private:
    std::weak_ptr<Cancellable> target_;
};

class Scheduler {
public:
    using Task = std::function<void()>;
    using Duration = Clock::Duration;
    using TimePoint = Clock::TimePoint;

    virtual ~Scheduler() = default;

    [[nodiscard]] virtual const Clock& clock() const = 0;

    // Runs `task` once the clock reaches `due` (as soon as possible for a past
    // `due`). Tasks run in due-time order; equal due times in scheduling order.
    virtual TimerHandle scheduleAt(TimePoint due, Task task) = 0;

    [[nodiscard]] TimePoint now() const { return clock().now(); }

    TimerHandle schedule(Duration delay, Task task);

    // Runs `task` after `initialDelay`, then every `period` counted from the
    // previous due time, so the rhythm does not drift; ticks missed while the
    // executor was busy are skipped, not run in a burst.
    // Requires: period > 0.
    TimerHandle schedulePeriodic(Duration initialDelay, Duration period, Task task);
};

// Real time: one timer thread waits for the earliest due time and posts the
// task to the executor, where it runs. Nothing else runs on the timer thread.
class SteadyScheduler final : public Scheduler {
public:
    // Requires: `executor` outlives this scheduler and keeps running tasks it was given.
    explicit SteadyScheduler(Executor& executor);
    // Stops the timer thread; tasks not yet posted never run.
    ~SteadyScheduler() override;
    SteadyScheduler(const SteadyScheduler&) = delete;
    SteadyScheduler& operator=(const SteadyScheduler&) = delete;

    [[nodiscard]] const Clock& clock() const override;
    TimerHandle scheduleAt(TimePoint due, Task task) override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace vesk
