// The main executor: the one thread on which all SDK state lives.
//
// Threading: `post` may be called from any thread; tasks run one at a time,
// in the order posted, on the executor's thread. Everything else in the
// library assumes it runs inside a task of the executor it was given.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace vesk {

class Executor {
  public:
    using Task = std::function<void()>;

    virtual ~Executor() = default;

    // Queues `task` after every task already queued. Thread-safe.
    virtual void post(Task task) = 0;

    // True when called from inside a task of this executor.
    [[nodiscard]] virtual bool isCurrent() const = 0;
};

// A plain executor for hosts without an event loop of their own: the thread
// that calls `run` becomes the main thread until `stop`.
class RunLoop final : public Executor {
  public:
    RunLoop() = default;
    RunLoop(const RunLoop&) = delete;
    RunLoop& operator=(const RunLoop&) = delete;

    void post(Task task) override;
    [[nodiscard]] bool isCurrent() const override;

    // Runs tasks until `stop` is called (from a task or another thread).
    void run();

    // Runs tasks until `done()` holds or `timeout` passes; returns `done()`.
    // `done` is checked on the running thread between tasks.
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

    // Runs the tasks queued now (and those they queue) without waiting; returns how many ran.
    std::size_t runPending();

    void stop();

  private:
    bool runOne(std::unique_lock<std::mutex>& lock);

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Task> tasks_;
    bool stopped_ = false;
    std::thread::id owner_{};
};

}  // namespace vesk
