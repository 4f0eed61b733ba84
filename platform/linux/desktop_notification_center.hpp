// The desktop notification centre: shows each scheduled notification through the
// freedesktop notification service on the session bus and remembers what it
// delivered (the newest 100), so the library can list and remove it.
//
// Without a session bus (a server, CI) it still remembers, shows nothing, and
// says so once on the console. Threading: any thread; calls are serialised.
#pragma once

#include <memory>
#include <string>

#include "vesk/notification_center.hpp"

namespace vesk::platform {

class DesktopNotificationCenter final : public NotificationCenter {
  public:
    // `appName` is what the desktop shows as the sender.
    explicit DesktopNotificationCenter(std::string appName = "Vesk");
    ~DesktopNotificationCenter() override;

    void add(NotificationRequest request) override;
    void getDeliveredNotifications(std::function<void(std::vector<Notification>)> handler) override;
    void removeDeliveredNotifications(const std::vector<std::string>& identifiers) override;

    // True once a notification reached the notification service.
    [[nodiscard]] bool connected() const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace vesk::platform
