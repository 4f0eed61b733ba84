// The push side of the library: token registration, the foreground decision,
// taps, and local notifications for real-time replies. The public
// VeskNotificationService forwards here.
//
// Lives for the process; nothing is torn down on logout.
// Threading: main executor. Completions are called on the thread the
// notification centre answers on; the caller brings them back to the main one.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/rx/rx.hpp"
#include "push/push_environment.hpp"
#include "push/push_notification_checker.hpp"
#include "push/push_service.hpp"
#include "services/models/message.hpp"

namespace vesk {

class PushNotificationService : public std::enable_shared_from_this<PushNotificationService> {
  public:
    // Subscribes the registration pipeline at once.
    static std::shared_ptr<PushNotificationService> make(PushEnvironment environment);

    void setToken(const std::string& token);
    void deleteToken();

    // Shows a local notification for a real-time message unless the user is
    // looking at its conversation or it is the user's own reply.
    void addNotification(const Message& message);

    // `completion(true)`: present with alert and sound. Not called otherwise.
    // `log`: write the facade's console lines.
    void show(const JsonValue& payload, const std::optional<std::string>& appGroudDomain,
              std::function<void()> present, bool log);
    void clickNotification(const JsonValue& payload);
    void isShownEarlier(const JsonValue& payload, const std::optional<std::string>& appGroudDomain,
                        std::function<void(bool)> completion);
    void deleteDuplicateNotification(const NotificationContent& content,
                                     const std::string& appGroudDomain);

    [[nodiscard]] const std::string& token() const { return token_.value(); }
    [[nodiscard]] PushNotificationChecker& checker() noexcept { return checker_; }

    static constexpr const char* kConsoleCategory = "VeskPush";

  private:
    explicit PushNotificationService(PushEnvironment environment);
    void start();
    void registerToken(const std::string& token);
    // Null when no connection has been made yet: nothing can be sent then.
    std::shared_ptr<PushService> renewService();

    PushEnvironment environment_;
    PushNotificationChecker checker_;
    rx::BehaviorRelay<std::string> token_{""};
    std::shared_ptr<PushService> service_;
    rx::DisposeBag disposeBag;
};

}  // namespace vesk
