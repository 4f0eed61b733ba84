// Hand-driven time for tests: nothing happens until the test advances the clock.
//
// Threading: single-threaded. `advance` runs the due tasks inline on the
// calling thread, which stands in for the main executor; schedule and cancel
// from that thread (tasks may schedule and cancel freely while they run).
#pragma once

#include <cstdint>
#include <map>
#include <memory>

#include "vesk/clock.hpp"

namespace vesk {

class VirtualClock final : public Clock {
  public:
    // Monotonic time starts at the epoch of TimePoint (zero), so elapsed time
    // reads directly off now(); calendar time starts at `wallStart`.
    explicit VirtualClock(WallTime wallStart) : wallStart_(wallStart) {}

    [[nodiscard]] TimePoint now() const override { return now_; }
    [[nodiscard]] WallTime wallNow() const override {
        return wallStart_ + std::chrono::duration_cast<WallTime::duration>(now_.time_since_epoch());
    }

  private:
    friend class VirtualScheduler;

    TimePoint now_{};
    WallTime wallStart_;
};

class VirtualScheduler final : public Scheduler {
  public:
    using WallTime = Clock::WallTime;

    // 2024-01-01T00:00:00Z: a fixed calendar start keeps tests reproducible.
    static constexpr WallTime kDefaultWallStart = WallTime(std::chrono::seconds(1704067200));

    explicit VirtualScheduler(WallTime wallStart = kDefaultWallStart) : clock_(wallStart) {}
    VirtualScheduler(const VirtualScheduler&) = delete;
    VirtualScheduler& operator=(const VirtualScheduler&) = delete;

    [[nodiscard]] const VirtualClock& clock() const override { return clock_; }
    TimerHandle scheduleAt(TimePoint due, Task task) override;

    // Moves the clock forward by `by`, running every task that falls due on the
    // way in due-time order (ties in scheduling order), tasks scheduled by those
    // tasks included. The clock reads each task's due time while it runs and
    // ends at now() + by. advance(0) runs what is due now.
    // Requires: not called from inside a task.
    void advance(Duration by);
    void advanceTo(TimePoint target);

    // Time since the start of the clock.
    [[nodiscard]] Duration elapsed() const { return clock_.now().time_since_epoch(); }
    // Tasks scheduled and neither run nor cancelled.
    [[nodiscard]] std::size_t pendingCount() const;

  private:
    struct Entry final : Cancellable {
        Task task;
        void cancel() override { task = nullptr; }
    };

    VirtualClock clock_;
    std::map<std::pair<TimePoint, std::uint64_t>, std::shared_ptr<Entry>> queue_;
    std::uint64_t sequence_ = 0;
    bool advancing_ = false;
};

}  // namespace vesk
