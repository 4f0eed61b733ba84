#include "app/library.hpp"
#include "core/system_console.hpp"
#include "vesk/notification_service.hpp"

namespace vesk {

namespace {

JsonValue payloadOf(const Notification& notification) {
    return JsonValue(notification.request.content.userInfo);
}

// Runs `f(library)` on the instance's main executor while it exists.
template <class F>
void onMain(const std::weak_ptr<Library>& weak, F f) {
    if (auto library = weak.lock()) {
        library->dispatch(std::move(f));
    }
}

// Brings a completion the centre may call on its own thread back to the main executor.
template <class... A>
std::function<void(A...)> onMainLater(Library& library, std::function<void(A...)> completion) {
    return [executor = library.sharedExecutor(), weak = library.weak_from_this(),
            completion = std::move(completion)](A... values) {
        executor->post([weak, completion, values...] {
            if (weak.lock() && completion) {
                completion(values...);
            }
        });
    };
}

}  // namespace

void VeskNotificationService::setToken(const std::string& token) {
    onMain(library_, [token](Library& library) { library.push->setToken(token); });
}

void VeskNotificationService::deleteToken() {
    onMain(library_, [](Library& library) { library.push->deleteToken(); });
}

void VeskNotificationService::show(const Notification& notification,
                                   const std::optional<std::string>& appGroudDomain,
                                   PresentationHandler completion) {
    show(payloadOf(notification), appGroudDomain, std::move(completion));
}

void VeskNotificationService::show(const JsonValue& payload,
                                   const std::optional<std::string>& appGroudDomain,
                                   PresentationHandler completion) {
    onMain(library_,
           [payload, appGroudDomain, completion = std::move(completion)](Library& library) {
               const auto present = onMainLater<>(
                   library, std::function<void()>([completion] {
                       if (completion) {
                           completion({PresentationOptions::kAlert | PresentationOptions::kSound});
                       }
                   }));
               library.push->show(payload, appGroudDomain, present, false);
           });
}

void VeskNotificationService::clickNotification(const NotificationResponse& notificationResponse) {
    clickNotification(payloadOf(notificationResponse.notification));
}

void VeskNotificationService::clickNotification(const JsonValue& payload) {
    onMain(library_, [payload](Library& library) { library.push->clickNotification(payload); });
}

bool VeskNotificationService::canHandle(const Notification& notification) {
    return PushNotificationChecker::isVesk(payloadOf(notification));
}

bool VeskNotificationService::canHandle(const NotificationResponse& notificationResponse) {
    return canHandle(notificationResponse.notification);
}

bool VeskNotificationService::canHandle(const JsonValue& payload) {
    return PushNotificationChecker::isVesk(payload);
}

void VeskNotificationService::isShownEarlier(const Notification& notification,
                                             const std::optional<std::string>& appGroudDomain,
                                             std::function<void(bool)> completion) {
    onMain(library_, [payload = payloadOf(notification), appGroudDomain,
                      completion = std::move(completion)](Library& library) mutable {
        library.push->isShownEarlier(payload, appGroudDomain,
                                     onMainLater<bool>(library, std::move(completion)));
    });
}

void VeskNotificationService::deleteDuplicateNotification(NotificationContent& content,
                                                          const std::string& appGroudDomain) {
    // The extension's process has no runtime: only the shared store and the centre.
    try {
        PushNotificationChecker checker{PushEnvironment{}};
        checker.deleteDuplicateNotification(content, appGroudDomain);
    } catch (const std::exception& e) {
        SystemConsole::shared().write(std::string("deleteDuplicateNotification: ") + e.what(),
                                      PushNotificationService::kConsoleCategory);
    }
}

}  // namespace vesk
