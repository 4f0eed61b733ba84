// Local and remote notifications: what the library schedules, what the platform
// has delivered, and the centre that shows them.
//
// The library schedules one local notification per operator reply the user is
// not looking at, lists the delivered ones to tell whether a push was already
// shown, and removes a duplicate. A host replaces the centre with one call;
// without one the desktop centre is used (freedesktop notifications over the
// session bus; without a session bus it only remembers what it was given).
//
// Threading: a centre's members may be called from any thread. The handler of
// `getDeliveredNotifications` may run on any thread, before or after the call
// returns.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "vesk/json_value.hpp"

namespace vesk {

struct NotificationContent {
    std::string title;
    std::string body;
    // The sound to play; "default" is the platform's standard one, absent is silence.
    std::optional<std::string> sound;
    // Notifications of one conversation are grouped under its id.
    std::string threadIdentifier;
    std::string summaryArgument;
    int summaryArgumentCount = 0;
    JsonObject userInfo;

    friend bool operator==(const NotificationContent&, const NotificationContent&) = default;
};

// Shows the notification once `timeInterval` has passed.
struct NotificationTrigger {
    std::chrono::duration<double> timeInterval{0.0};
    bool repeats = false;

    friend bool operator==(const NotificationTrigger&, const NotificationTrigger&) = default;
};

struct NotificationRequest {
    std::string identifier;
    NotificationContent content;
    std::optional<NotificationTrigger> trigger;  // absent: at once

    friend bool operator==(const NotificationRequest&, const NotificationRequest&) = default;
};

// A delivered notification, as the centre lists it.
struct Notification {
    NotificationRequest request;
    std::chrono::system_clock::time_point date{};
};

// The user's answer to a notification (a tap).
struct NotificationResponse {
    Notification notification;
    std::string actionIdentifier = "default";
};

// How a notification shown while the application is in front is presented.
struct PresentationOptions {
    static constexpr unsigned kBadge = 1U << 0U;
    static constexpr unsigned kSound = 1U << 1U;
    static constexpr unsigned kAlert = 1U << 2U;

    unsigned rawValue = 0;

    [[nodiscard]] bool contains(unsigned option) const noexcept { return (rawValue & option) != 0; }
    friend bool operator==(PresentationOptions, PresentationOptions) = default;
};

class NotificationCenter {
  public:
    virtual ~NotificationCenter() = default;

    // Schedules a local notification.
    virtual void add(NotificationRequest request) = 0;
    // Calls `handler` once with the notifications still delivered.
    virtual void getDeliveredNotifications(
        std::function<void(std::vector<Notification>)> handler) = 0;
    // Removes the delivered notifications with these request identifiers.
    virtual void removeDeliveredNotifications(const std::vector<std::string>& identifiers) = 0;
};

// A centre with no display: scheduled requests count as delivered at once.
// Tests and terminal hosts use it; `setObserver` sees each scheduled request.
class InMemoryNotificationCenter final : public NotificationCenter {
  public:
    InMemoryNotificationCenter();
    ~InMemoryNotificationCenter() override;

    void add(NotificationRequest request) override;
    void getDeliveredNotifications(std::function<void(std::vector<Notification>)> handler) override;
    void removeDeliveredNotifications(const std::vector<std::string>& identifiers) override;

    // Called on the thread that scheduled, after the request is listed as delivered.
    void setObserver(std::function<void(const NotificationRequest&)> observer);
    // Lists `notification` as delivered without telling the observer (a remote push
    // the platform showed by itself).
    void deliver(Notification notification);
    [[nodiscard]] std::vector<Notification> delivered() const;
    // Every request ever scheduled, in order.
    [[nodiscard]] std::vector<NotificationRequest> scheduled() const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// The centre the library uses; never null.
std::shared_ptr<NotificationCenter> notificationCenter();
// Installs the host's centre; nullptr goes back to the default.
void setNotificationCenter(std::shared_ptr<NotificationCenter> center);

}  // namespace vesk
