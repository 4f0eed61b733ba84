// An executor that only queues: the test decides when tasks run and can see
// how many are waiting (a reply delivered but not yet handed to its callback).
#pragma once

#include <deque>
#include <mutex>
#include <thread>

#include "vesk/executor.hpp"

namespace vesk::net::test {

class QueueExecutor final : public Executor {
  public:
    void post(Task task) override {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }

    [[nodiscard]] bool isCurrent() const override {
        std::lock_guard lock(mutex_);
        return running_ == std::this_thread::get_id();
    }

    [[nodiscard]] std::size_t queued() const {
        std::lock_guard lock(mutex_);
        return tasks_.size();
    }

    // Runs what is queued now, and what those tasks queue, on this thread.
    void runAll() {
        std::unique_lock lock(mutex_);
        running_ = std::this_thread::get_id();
        while (!tasks_.empty()) {
            Task task = std::move(tasks_.front());
            tasks_.pop_front();
            lock.unlock();
            task();
            lock.lock();
        }
        running_ = {};
    }

  private:
    mutable std::mutex mutex_;
    std::deque<Task> tasks_;
    std::thread::id running_{};
};

}  // namespace vesk::net::test
