#include "app/runtime.hpp"

#include <mutex>
#include <thread>

#include "app/reachability_service.hpp"
#include "net/http_client.hpp"
#include "services/network/vesk_service.hpp"
#include "usecases/conversation_context.hpp"
#include "vesk/runtime.hpp"

namespace vesk {

namespace {

std::mutex& hostExecutorMutex() {
    static std::mutex mutex;
    return mutex;
}

std::shared_ptr<Executor>& hostExecutor() {
    static std::shared_ptr<Executor> executor;
    return executor;
}

// The library's own loop for hosts without one. Never stopped: the library
// lives as long as the process.
std::shared_ptr<Executor> startOwnLoop() {
    auto loop = std::make_shared<RunLoop>();
    std::thread([loop] { loop->run(); }).detach();
    return loop;
}

}  // namespace

void setMainExecutor(std::shared_ptr<Executor> executor) {
    const std::lock_guard lock(hostExecutorMutex());
    if (!hostExecutor()) {
        hostExecutor() = std::move(executor);
    }
}

std::shared_ptr<Executor> mainExecutor() {
    return Runtime::shared().executor();
}

Runtime& Runtime::shared() {
    // Intentionally never destroyed: timers, the network thread and the loop run
    // until the process ends.
    static auto* instance = new Runtime();
    return *instance;
}

Runtime::Runtime() {
    {
        const std::lock_guard lock(hostExecutorMutex());
        if (!hostExecutor()) {
            hostExecutor() = startOwnLoop();
        }
        executor_ = hostExecutor();
    }
    scheduler_ = std::make_shared<SteadyScheduler>(*executor_);
    installConversationScheduler(scheduler_);
    http_ = std::make_shared<net::HttpClient>(*executor_);
    installHttpClient(http_);
    dispatch([this] { ReachabilityService::shared().start(*executor_, *scheduler_); });
}

void Runtime::dispatch(std::function<void()> task) const {
    if (executor_->isCurrent()) {
        task();
    } else {
        executor_->post(std::move(task));
    }
}

}  // namespace vesk
