// What the library runs on: the main executor, the scheduler bound to it and
// the HTTP client whose replies arrive there. Created on first use and kept for
// the life of the process; creating it also starts the reachability watcher.
#pragma once

#include <functional>
#include <memory>

#include "vesk/clock.hpp"
#include "vesk/executor.hpp"

namespace vesk::net {
class HttpClient;
}

namespace vesk {

class Runtime {
  public:
    static Runtime& shared();

    [[nodiscard]] const std::shared_ptr<Executor>& executor() const noexcept { return executor_; }
    [[nodiscard]] const std::shared_ptr<Scheduler>& scheduler() const noexcept {
        return scheduler_;
    }

    // Runs `task` now when on the main executor, otherwise posts it there.
    void dispatch(std::function<void()> task) const;

  private:
    Runtime();

    std::shared_ptr<Executor> executor_;
    std::shared_ptr<Scheduler> scheduler_;
    std::shared_ptr<net::HttpClient> http_;
};

}  // namespace vesk
