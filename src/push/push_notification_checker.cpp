#include "push/push_notification_checker.hpp"

namespace vesk {

namespace {

// The "id" some delivered notification carries, matched against `id`.
bool carriesId(const Notification& notification, const std::string& id) {
    const auto* member = notification.request.content.userInfo.find("id");
    return member != nullptr && member->has_value() && (*member)->string() != nullptr &&
           *(*member)->string() == id;
}

}  // namespace

std::optional<std::string> payloadString(const JsonValue& payload, std::string_view key) {
    const auto* object = payload.object();
    if (object == nullptr) {
        return std::nullopt;
    }
    const auto* member = object->find(key);
    if (member == nullptr || !member->has_value() || (*member)->string() == nullptr) {
        return std::nullopt;
    }
    return *(*member)->string();
}

PushNotificationChecker::PushNotificationChecker(PushEnvironment environment)
    : environment_(std::move(environment)), observer_(environment_.stores) {}

bool PushNotificationChecker::isSdkReady(const JsonValue& payload) const {
    if (!payload.isObject()) {
        return false;
    }
    if (!environment_.hasMessenger || !environment_.hasMessenger()) {
        return false;
    }
    if (const auto type = payloadString(payload, "notification_type"); type && *type != "user") {
        return false;
    }
    const auto onScreen =
        environment_.conversationOnScreen ? environment_.conversationOnScreen() : std::nullopt;
    const auto conversation = payloadString(payload, "conversation");
    return !onScreen || !conversation || *onScreen != *conversation;
}

void PushNotificationChecker::isShownEarlier(const JsonValue& payload,
                                             const std::optional<std::string>& appGroudDomain,
                                             std::function<void(bool)> completion) {
    const auto id = payloadString(payload, "id");
    if (!id || !appGroudDomain) {
        completion(false);
        return;
    }
    // Asking and recording in one step: two processes shown the same push at once
    // must not both find it new.
    const auto seenBefore = observer_.claim(*id, appGroudDomain);
    if (!seenBefore || *seenBefore) {
        completion(true);
        return;
    }
    isInNotifCenter(*id, std::move(completion));
}

void PushNotificationChecker::isInNotifCenter(const std::string& id,
                                              std::function<void(bool)> completion) const {
    environment_.center()->getDeliveredNotifications(
        [id, completion = std::move(completion)](const std::vector<Notification>& delivered) {
            for (const auto& notification : delivered) {
                if (carriesId(notification, id)) {
                    completion(true);
                    return;
                }
            }
            completion(false);
        });
}

void PushNotificationChecker::deleteFromNotifCenter(const std::string& id) const {
    auto center = environment_.center();
    center->getDeliveredNotifications([id, center](const std::vector<Notification>& delivered) {
        for (const auto& notification : delivered) {
            if (carriesId(notification, id)) {
                center->removeDeliveredNotifications({notification.request.identifier});
                return;
            }
        }
    });
}

void PushNotificationChecker::deleteDuplicateNotification(const NotificationContent& content,
                                                          const std::string& appGroudDomain) {
    const auto stores = environment_.stores ? environment_.stores : keyValueStoreFactory();
    const auto store = stores->suite(appGroudDomain);
    if (!store || store->boolean("isBackground") != true) {
        return;
    }
    const auto* id = content.userInfo.find("id");
    if (id == nullptr || !id->has_value() || (*id)->string() == nullptr) {
        return;
    }
    observer_.add(*(*id)->string(), appGroudDomain);
    deleteFromNotifCenter(*(*id)->string());
}

bool PushNotificationChecker::isVesk(const JsonValue& payload) {
    const auto* object = payload.object();
    if (object == nullptr) {
        return false;
    }
    const auto* isVeskMember = object->find("is_vesk");
    if (isVeskMember == nullptr || !isVeskMember->has_value()) {
        return false;
    }
    const auto& flag = **isVeskMember;
    const bool owned = (flag.string() != nullptr && *flag.string() == "true") ||
                       (flag.boolean() != nullptr && *flag.boolean());
    if (!owned) {
        return false;
    }
    if (const auto local = payloadString(payload, "localPushType")) {
        return *local == "sdk";
    }
    return payloadString(payload, "notification_type") == "user";
}

}  // namespace vesk
