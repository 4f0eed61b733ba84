#include "vesk/executor.hpp"

namespace vesk {

void RunLoop::post(Task task) {
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    wake_.notify_one();
}

bool RunLoop::isCurrent() const {
    std::lock_guard lock(mutex_);
    return owner_ == std::this_thread::get_id();
}

bool RunLoop::runOne(std::unique_lock<std::mutex>& lock) {
    if (tasks_.empty()) {
        return false;
    }
    Task task = std::move(tasks_.front());
    tasks_.pop_front();
    owner_ = std::this_thread::get_id();
    lock.unlock();
    task();
    // What the task held goes before the lock is taken again: its destructors may post.
    task = nullptr;
    lock.lock();
    return true;
}

void RunLoop::run() {
    std::unique_lock lock(mutex_);
    stopped_ = false;
    owner_ = std::this_thread::get_id();
    while (!stopped_) {
        if (!runOne(lock)) {
            wake_.wait(lock, [this] { return stopped_ || !tasks_.empty(); });
        }
    }
}

bool RunLoop::runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock lock(mutex_);
    owner_ = std::this_thread::get_id();
    for (;;) {
        lock.unlock();
        const bool finished = done();
        lock.lock();
        if (finished) {
            return true;
        }
        if (!runOne(lock)) {
            if (!wake_.wait_until(lock, deadline, [this] { return !tasks_.empty(); })) {
                lock.unlock();
                return done();
            }
        }
    }
}

std::size_t RunLoop::runPending() {
    std::unique_lock lock(mutex_);
    owner_ = std::this_thread::get_id();
    std::size_t count = 0;
    while (runOne(lock)) {
        ++count;
    }
    return count;
}

void RunLoop::stop() {
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    wake_.notify_all();
}

}  // namespace vesk
