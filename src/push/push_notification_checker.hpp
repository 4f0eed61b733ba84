// Whether a push is the library's, whether to present it in front, and the
// de-duplication shared with a notification extension.
//
// Each call takes the payload it judges: nothing of one call is kept for the
// next, so calls from the extension's thread and the main one cannot mix.
// Threading: `isSdkReady` and `isShownEarlier` on the main executor (the
// completion too); `isVesk` and `deleteDuplicateNotification` on any thread.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "push/push_environment.hpp"
#include "push/push_notification_observer.hpp"
#include "vesk/json_value.hpp"
#include "vesk/notification_center.hpp"

namespace vesk {

class PushNotificationChecker {
  public:
    explicit PushNotificationChecker(PushEnvironment environment);

    // The foreground rule: the messenger is loaded, the push is a user's
    // ("notification_type" absent, not a string, or "user"), and it is not for
    // the conversation open on the conversation screen.
    [[nodiscard]] bool isSdkReady(const JsonValue& payload) const;

    // `completion(true)` when a push with the same "id" was shown before (or the
    // shared store cannot be opened); records the id in the same step. A payload
    // without a string "id", or no domain: false. Otherwise false unless a delivered
    // notification carries the same "id".
    void isShownEarlier(const JsonValue& payload, const std::optional<std::string>& appGroudDomain,
                        std::function<void(bool)> completion);

    // See VeskNotificationService::deleteDuplicateNotification.
    void deleteDuplicateNotification(const NotificationContent& content,
                                     const std::string& appGroudDomain);

    // The ownership rule on "is_vesk", "localPushType" and "notification_type".
    [[nodiscard]] static bool isVesk(const JsonValue& payload);

    void isInNotifCenter(const std::string& id, std::function<void(bool)> completion) const;
    void deleteFromNotifCenter(const std::string& id) const;

    [[nodiscard]] PushNotificationObserver& observer() noexcept { return observer_; }

  private:
    PushEnvironment environment_;
    PushNotificationObserver observer_;
};

// The string member `key` of an object payload.
std::optional<std::string> payloadString(const JsonValue& payload, std::string_view key);

}  // namespace vesk
