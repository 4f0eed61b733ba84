// The centre and the device information the library uses, and the in-memory centre.
#include <algorithm>
#include <mutex>

#include "core/platform_hooks.hpp"
#include "vesk/device_information.hpp"
#include "vesk/notification_center.hpp"

namespace vesk {

namespace {

struct Registry {
    std::mutex mutex;
    std::shared_ptr<NotificationCenter> center;
    std::shared_ptr<DeviceInformation> device;
};

Registry& registry() {
    static auto* instance = new Registry();  // used until the process ends
    return *instance;
}

}  // namespace

std::shared_ptr<NotificationCenter> notificationCenter() {
    auto& r = registry();
    const std::lock_guard lock(r.mutex);
    if (!r.center) {
        r.center = platform::makeDefaultNotificationCenter();
    }
    return r.center;
}

void setNotificationCenter(std::shared_ptr<NotificationCenter> center) {
    auto& r = registry();
    const std::lock_guard lock(r.mutex);
    r.center = std::move(center);
}

std::shared_ptr<DeviceInformation> deviceInformation() {
    auto& r = registry();
    const std::lock_guard lock(r.mutex);
    if (!r.device) {
        r.device = platform::makeDefaultDeviceInformation(keyValueStoreFactory()->standard());
    }
    return r.device;
}

void setDeviceInformation(std::shared_ptr<DeviceInformation> information) {
    auto& r = registry();
    const std::lock_guard lock(r.mutex);
    r.device = std::move(information);
}

struct InMemoryNotificationCenter::State {
    mutable std::mutex mutex;
    std::vector<Notification> delivered;
    std::vector<NotificationRequest> scheduled;
    std::function<void(const NotificationRequest&)> observer;
};

InMemoryNotificationCenter::InMemoryNotificationCenter() : state_(std::make_unique<State>()) {}
InMemoryNotificationCenter::~InMemoryNotificationCenter() = default;

void InMemoryNotificationCenter::add(NotificationRequest request) {
    std::function<void(const NotificationRequest&)> observer;
    {
        const std::lock_guard lock(state_->mutex);
        state_->scheduled.push_back(request);
        state_->delivered.push_back({request, std::chrono::system_clock::now()});
        observer = state_->observer;
    }
    if (observer) {
        observer(request);
    }
}

void InMemoryNotificationCenter::getDeliveredNotifications(
    std::function<void(std::vector<Notification>)> handler) {
    handler(delivered());
}

void InMemoryNotificationCenter::removeDeliveredNotifications(
    const std::vector<std::string>& identifiers) {
    const std::lock_guard lock(state_->mutex);
    std::erase_if(state_->delivered, [&](const Notification& n) {
        return std::find(identifiers.begin(), identifiers.end(), n.request.identifier) !=
               identifiers.end();
    });
}

void InMemoryNotificationCenter::setObserver(
    std::function<void(const NotificationRequest&)> observer) {
    const std::lock_guard lock(state_->mutex);
    state_->observer = std::move(observer);
}

void InMemoryNotificationCenter::deliver(Notification notification) {
    const std::lock_guard lock(state_->mutex);
    state_->delivered.push_back(std::move(notification));
}

std::vector<Notification> InMemoryNotificationCenter::delivered() const {
    const std::lock_guard lock(state_->mutex);
    return state_->delivered;
}

std::vector<NotificationRequest> InMemoryNotificationCenter::scheduled() const {
    const std::lock_guard lock(state_->mutex);
    return state_->scheduled;
}

}  // namespace vesk
