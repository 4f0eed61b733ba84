#include "app/push_wiring.hpp"
#include "app/runtime.hpp"
#include "core/system_console.hpp"
#include "vesk/notification_service.hpp"

namespace vesk {

namespace {

JsonValue payloadOf(const Notification& notification) {
    return JsonValue(notification.request.content.userInfo);
}

template <class F>
void onMain(F f) {
    Runtime::shared().dispatch(std::move(f));
}

}  // namespace

VeskNotificationService& VeskNotificationService::shared() {
    static auto* instance = new VeskNotificationService();
    return *instance;
}

NorraNotificationService& NorraNotificationService::shared() {
    static auto* instance = new NorraNotificationService();
    return *instance;
}

void VeskNotificationService::setToken(const std::string& token) {
    onMain([token] { pushNotificationService().setToken(token); });
}

void VeskNotificationService::deleteToken() {
    onMain([] { pushNotificationService().deleteToken(); });
}

void VeskNotificationService::show(const Notification& notification,
                                   const std::optional<std::string>& appGroudDomain,
                                   PresentationHandler completion) {
    show(payloadOf(notification), appGroudDomain, std::move(completion));
}

void VeskNotificationService::show(const JsonValue& payload,
                                   const std::optional<std::string>& appGroudDomain,
                                   PresentationHandler completion) {
    onMain([payload, appGroudDomain, completion = std::move(completion)] {
        pushNotificationService().show(
            payload, appGroudDomain,
            [completion] {
                Runtime::shared().dispatch([completion] {
                    if (completion) {
                        completion({PresentationOptions::kAlert | PresentationOptions::kSound});
                    }
                });
            },
            false);
    });
}

void VeskNotificationService::clickNotification(const NotificationResponse& notificationResponse) {
    clickNotification(payloadOf(notificationResponse.notification));
}

void VeskNotificationService::clickNotification(const JsonValue& payload) {
    onMain([payload] { pushNotificationService().clickNotification(payload); });
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
    onMain([payload = payloadOf(notification), appGroudDomain,
            completion = std::move(completion)]() mutable {
        pushNotificationService().isShownEarlier(payload, appGroudDomain,
                                                 onMainExecutor(std::move(completion)));
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
