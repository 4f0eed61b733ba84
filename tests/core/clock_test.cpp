#include "vesk/clock.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/virtual_scheduler.hpp"
#include "vesk/executor.hpp"

namespace vesk {
namespace {

using namespace std::chrono_literals;

std::int64_t ms(const VirtualScheduler& s) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(s.elapsed()).count();
}

TEST(VirtualScheduler, RunsDueTasksInDueOrderWithTiesInSchedulingOrder) {
    VirtualScheduler s;
    std::vector<std::string> ran;
    s.schedule(30ms, [&] { ran.push_back("c@" + std::to_string(ms(s))); });
    s.schedule(10ms, [&] { ran.push_back("a@" + std::to_string(ms(s))); });
    s.schedule(20ms, [&] { ran.push_back("b1@" + std::to_string(ms(s))); });
    s.schedule(20ms, [&] { ran.push_back("b2@" + std::to_string(ms(s))); });
    s.schedule(31ms, [&] { ran.push_back("late"); });
    s.schedule(0ms, [&] { ran.push_back("now@" + std::to_string(ms(s))); });
    EXPECT_TRUE(ran.empty()) << "even a zero delay waits for advance";

    s.advance(30ms);

    EXPECT_EQ(ran, (std::vector<std::string>{"now@0", "a@10", "b1@20", "b2@20", "c@30"}));
    EXPECT_EQ(ms(s), 30);
    EXPECT_EQ(s.pendingCount(), 1u);
}

TEST(VirtualScheduler, RunsTasksScheduledWhileAdvancingWhenTheyFallInTheWindow) {
    VirtualScheduler s;
    std::vector<std::int64_t> ran;
    s.schedule(10ms, [&] {
        ran.push_back(ms(s));
        s.schedule(5ms, [&] { ran.push_back(ms(s)); });    // 15: inside the window
        s.schedule(0ms, [&] { ran.push_back(ms(s)); });    // 10: due at once, after this task
        s.schedule(100ms, [&] { ran.push_back(ms(s)); });  // 110: outside
    });

    s.advance(20ms);
    EXPECT_EQ(ran, (std::vector<std::int64_t>{10, 10, 15}));
    s.advance(90ms);
    EXPECT_EQ(ran, (std::vector<std::int64_t>{10, 10, 15, 110}));
}

TEST(VirtualScheduler, CancelIsIdempotentSafeAfterFiringAndReleasesTheTask) {
    VirtualScheduler s;
    auto captured = std::make_shared<int>(0);
    std::weak_ptr<int> watch = captured;
    int runs = 0;
    auto handle = s.schedule(10ms, [&runs, captured] { ++runs; });
    captured.reset();

    handle.cancel();
    EXPECT_TRUE(watch.expired()) << "a cancelled task must be released at once";
    handle.cancel();
    s.advance(20ms);
    EXPECT_EQ(runs, 0);

    auto fired = s.schedule(10ms, [&] { ++runs; });
    s.advance(10ms);
    fired.cancel();  // after firing: a no-op
    fired.cancel();
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(s.pendingCount(), 0u);

    // A task can cancel a later one due at the same time.
    TimerHandle second;
    s.schedule(10ms, [&] { second.cancel(); });
    second = s.schedule(10ms, [&] { ++runs; });
    s.advance(10ms);
    EXPECT_EQ(runs, 1);
}

TEST(VirtualScheduler, PeriodicFiresAtInitialDelayThenEveryPeriodUntilCancelled) {
    VirtualScheduler s;
    std::vector<std::int64_t> ticks;
    auto handle = s.schedulePeriodic(0s, 30s, [&] { ticks.push_back(ms(s) / 1000); });

    s.advance(0s);
    EXPECT_EQ(ticks, (std::vector<std::int64_t>{0}));
    s.advance(95s);
    EXPECT_EQ(ticks, (std::vector<std::int64_t>{0, 30, 60, 90}));

    handle.cancel();
    s.advance(100s);
    EXPECT_EQ(ticks.size(), 4u);
    EXPECT_EQ(s.pendingCount(), 0u);
}

TEST(VirtualScheduler, PeriodicTaskCanCancelItself) {
    VirtualScheduler s;
    int ticks = 0;
    TimerHandle handle;
    handle = s.schedulePeriodic(10ms, 10ms, [&] {
        if (++ticks == 3) {
            handle.cancel();
        }
    });
    s.advance(1s);
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(s.pendingCount(), 0u);
}

// Reads the clock later than tasks run, as a busy executor would.
class LaggingScheduler final : public Scheduler {
  public:
    explicit LaggingScheduler(VirtualScheduler& inner) : inner_(inner), clock_(inner) {}
    [[nodiscard]] const Clock& clock() const override { return clock_; }
    TimerHandle scheduleAt(TimePoint due, Task task) override {
        return inner_.scheduleAt(due, std::move(task));
    }
    void setLag(Duration lag) { clock_.lag = lag; }

  private:
    struct LagClock final : Clock {
        explicit LagClock(const VirtualScheduler& s) : inner(s) {}
        [[nodiscard]] TimePoint now() const override { return inner.now() + lag; }
        [[nodiscard]] WallTime wallNow() const override { return inner.clock().wallNow(); }
        const VirtualScheduler& inner;
        Duration lag{};
    };
    VirtualScheduler& inner_;
    LagClock clock_;
};

TEST(Scheduler, PeriodicSkipsTicksMissedWhileTheExecutorWasBusyAndKeepsItsRhythm) {
    VirtualScheduler inner;
    LaggingScheduler s(inner);
    std::vector<std::int64_t> ticks;
    auto handle = s.schedulePeriodic(0ms, 10ms, [&] { ticks.push_back(ms(inner)); });
    inner.advance(0ms);
    s.setLag(35ms);
    inner.advance(100ms);
    EXPECT_EQ(ticks, (std::vector<std::int64_t>{0, 10, 50, 90}));
    handle.cancel();
}

TEST(VirtualScheduler, WallClockMovesWithVirtualTime) {
    VirtualScheduler s;
    const auto start = s.clock().wallNow();
    EXPECT_EQ(start, VirtualScheduler::kDefaultWallStart);
    s.advance(90s);
    EXPECT_EQ(s.clock().wallNow() - start, 90s);
}

TEST(VirtualScheduler, DestroyingItReleasesPendingTasks) {
    auto captured = std::make_shared<int>(0);
    std::weak_ptr<int> watch = captured;
    TimerHandle handle;
    {
        VirtualScheduler s;
        handle = s.schedulePeriodic(1s, 1s, [captured] {});
        captured.reset();
    }
    EXPECT_TRUE(watch.expired());
    handle.cancel();  // its scheduler is gone: harmless
}

// ---- the real scheduler and the run loop ----

constexpr auto kGenerous = std::chrono::seconds(10);

TEST(SteadyScheduler, RunsOnTheLoopInDueOrderAndNeverRunsACancelledTask) {
    RunLoop loop;
    SteadyScheduler scheduler(loop);
    std::vector<std::string> ran;
    bool onLoop = true;
    scheduler.schedule(40ms, [&] { ran.push_back("last"); });
    auto cancelled = scheduler.schedule(1ms, [&] { ran.push_back("cancelled"); });
    scheduler.schedule(20ms, [&] { ran.push_back("second"); });
    scheduler.schedule(2ms, [&] {
        ran.push_back("first");
        onLoop = loop.isCurrent();
    });
    cancelled.cancel();
    int ticks = 0;
    auto periodic = scheduler.schedulePeriodic(0ms, 2ms, [&] { ++ticks; });

    EXPECT_TRUE(loop.runUntil([&] { return ran.size() == 3 && ticks >= 3; }, kGenerous));
    EXPECT_EQ(ran, (std::vector<std::string>{"first", "second", "last"}));
    EXPECT_TRUE(onLoop);
    periodic.cancel();
}

// Forwards to a RunLoop and counts what the timer thread posted.
class CountingExecutor final : public Executor {
  public:
    explicit CountingExecutor(RunLoop& loop) : loop_(loop) {}
    void post(Task task) override {
        loop_.post(std::move(task));
        ++posted;
    }
    [[nodiscard]] bool isCurrent() const override { return loop_.isCurrent(); }

    std::atomic<int> posted{0};

  private:
    RunLoop& loop_;
};

TEST(SteadyScheduler, TicksPostedBeforeItWasDestroyedDoNotRun) {
    RunLoop loop;
    CountingExecutor executor(loop);
    int runs = 0;
    {
        SteadyScheduler scheduler(executor);
        scheduler.schedulePeriodic(0ms, 1ms, [&] { ++runs; });
        scheduler.schedule(1h, [&] { ++runs; });
        const auto deadline = std::chrono::steady_clock::now() + kGenerous;
        while (executor.posted == 0 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::yield();
        }
        ASSERT_GT(executor.posted, 0);
    }
    EXPECT_GT(loop.runPending(), 0u);
    EXPECT_EQ(runs, 0);
}

TEST(RunLoop, RunsTasksPostedFromOtherThreadsInPostingOrder) {
    RunLoop loop;
    constexpr int kPerThread = 200;
    std::vector<std::pair<int, int>> seen;  // (thread, index), touched on the loop thread only
    std::atomic<int> finished{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i) {
                loop.post([&seen, t, i] { seen.emplace_back(t, i); });
            }
            ++finished;
        });
    }
    const bool done =
        loop.runUntil([&] { return finished == 2 && seen.size() == 2 * kPerThread; }, kGenerous);
    for (auto& th : threads) {
        th.join();
    }
    ASSERT_TRUE(done);
    std::vector<int> last = {-1, -1};
    for (const auto& [t, i] : seen) {
        const auto slot = static_cast<std::size_t>(t);
        EXPECT_EQ(i, last[slot] + 1) << "tasks of one thread must keep their order";
        last[slot] = i;
    }
}

}  // namespace
}  // namespace vesk
