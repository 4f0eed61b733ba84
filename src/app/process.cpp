// The process's library instance and what the host installs for it before it
// is built: the main executor, a reachability source and the chat platform. Every process-wide
// accessor of the library is here, and each one only reaches the instance.
#include <mutex>
#include <thread>

#include "app/library.hpp"
#include "app/vesk_impl.hpp"
#include "vesk/notification_service.hpp"
#include "vesk/runtime.hpp"

namespace vesk {

namespace {

struct Process {
    std::mutex mutex;
    std::shared_ptr<Executor> hostExecutor;
    // Given before the instance existed; it takes it when built.
    std::shared_ptr<ReachabilitySource> reachability;
    std::shared_ptr<ChatPlatform> chatPlatform;
    std::shared_ptr<Library> library;
};

Process& process() {
    // Intentionally never destroyed: timers, the network thread and the loop
    // run until the process ends.
    static auto* instance = new Process();
    return *instance;
}

// The library's own loop for hosts without one. Never stopped.
std::shared_ptr<Executor> startOwnLoop() {
    auto loop = std::make_shared<RunLoop>();
    std::thread([loop] { loop->run(); }).detach();
    return loop;
}

}  // namespace

Library& Library::process() {
    auto& p = vesk::process();
    std::shared_ptr<Library> built;
    {
        const std::lock_guard lock(p.mutex);
        if (p.library) {
            return *p.library;
        }
        if (!p.hostExecutor) {
            p.hostExecutor = startOwnLoop();
        }
        LibraryOptions options;
        options.executor = p.hostExecutor;
        options.reachability = std::move(p.reachability);
        options.chatPlatform = p.chatPlatform;
        built = p.library = make(std::move(options));
    }
    // Outside the lock: starting may run at once, on this thread.
    built->dispatch([](Library&) {});
    return *built;
}

std::shared_ptr<Library> Library::processIfBuilt() {
    auto& p = vesk::process();
    const std::lock_guard lock(p.mutex);
    return p.library;
}

void setMainExecutor(std::shared_ptr<Executor> executor) {
    auto& p = process();
    const std::lock_guard lock(p.mutex);
    if (!p.hostExecutor) {
        p.hostExecutor = std::move(executor);
    }
}

std::shared_ptr<Executor> mainExecutor() {
    auto& p = process();
    {
        const std::lock_guard lock(p.mutex);
        if (p.hostExecutor) {
            return p.hostExecutor;
        }
    }
    Library::process();
    const std::lock_guard lock(p.mutex);
    return p.hostExecutor;
}

Vesk& Vesk::shared() {
    static auto* instance = new Vesk(Library::process().shared_from_this());
    return *instance;
}

SdkApp& SdkApp::shared() {
    return Library::process().sdkApp;
}

RtsService& RtsService::shared() {
    return Library::process().rts;
}

VeskNotificationService& VeskNotificationService::shared() {
    return Vesk::shared().notificationService();
}

NorraNotificationService& NorraNotificationService::shared() {
    static auto* instance = new NorraNotificationService(Library::process().weak_from_this());
    return *instance;
}

void notifyAppWillResignActive() {
    Library::process().dispatch(
        [](Library& library) { library.appState.isBackground.accept(true); });
}

void notifyAppDidBecomeActive() {
    Library::process().dispatch(
        [](Library& library) { library.appState.isBackground.accept(false); });
}

void setReachabilitySource(std::shared_ptr<ReachabilitySource> source) {
    {
        auto& p = process();
        const std::lock_guard lock(p.mutex);
        if (!p.library) {
            p.reachability = std::move(source);
            return;
        }
    }
    Library::process().dispatch(
        [source = std::move(source)](Library& library) { library.reachability.setSource(source); });
}

void setChatPlatform(std::shared_ptr<ChatPlatform> platform) {
    auto& p = process();
    const std::lock_guard lock(p.mutex);
    p.chatPlatform = std::move(platform);
}

std::shared_ptr<ChatPlatform> chatPlatform() {
    auto& p = process();
    const std::lock_guard lock(p.mutex);
    return p.chatPlatform;
}

void reportReachability(bool reachable) {
    Library::process().dispatch(
        [reachable](Library& library) { library.reachability.report(reachable); });
}

}  // namespace vesk
