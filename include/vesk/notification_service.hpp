// Push notifications: the device's push token, the decision whether a push is
// the library's and whether to present it, and the tap on one.
//
// Payload keys the library reads: "is_vesk" (string "true" or boolean true),
// "notification_type" ("user" for the library's own), "localPushType" ("sdk" on
// the local notifications it schedules), "id" (the message id, for
// de-duplication), "conversation" (the conversation a remote push belongs to)
// and "conversation_id" (the conversation a tap opens).
//
// Threading: call on the main executor (a call from another thread is posted
// there); completions are called there too. `deleteDuplicateNotification` is
// the exception: it is for a notification-extension process and runs at once on
// the calling thread, touching no state of the library but the shared store.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "vesk/json_value.hpp"
#include "vesk/notification_center.hpp"

namespace vesk {

class Library;

// The push side of one facade (`Vesk::notificationService()`); `shared()` is
// the process facade's.
class VeskNotificationService {
  public:
    using PresentationHandler = std::function<void(PresentationOptions)>;

    static VeskNotificationService& shared();

    // Made by the facade.
    explicit VeskNotificationService(std::weak_ptr<Library> library)
        : library_(std::move(library)) {}
    virtual ~VeskNotificationService() = default;

    // Registers `token` with the service once the library is set up, and again
    // after every later setup. An unchanged or empty token sends nothing.
    void setToken(const std::string& token);
    // Forgets the token and unsubscribes this device.
    void deleteToken();

    // The foreground decision for a push delivered while the application is in
    // front: `completion` is called with alert and sound when the library presents
    // it, and not at all when it does not (not the library's, for the
    // conversation on screen, or shown before). `appGroudDomain` names the store
    // shared with the notification extension; without one nothing is de-duplicated.
    void show(const Notification& notification, const std::optional<std::string>& appGroudDomain,
              PresentationHandler completion);
    // The same for a payload as received; anything but a JSON object is not the
    // library's.
    void show(const JsonValue& payload, const std::optional<std::string>& appGroudDomain,
              PresentationHandler completion);

    // Opens the conversation the tapped notification names, or the chat.
    void clickNotification(const NotificationResponse& notificationResponse);
    void clickNotification(const JsonValue& payload);

    // Whether the notification is the library's to handle.
    [[nodiscard]] static bool canHandle(const Notification& notification);
    [[nodiscard]] static bool canHandle(const NotificationResponse& notificationResponse);
    [[nodiscard]] static bool canHandle(const JsonValue& payload);

    // Whether a notification with the same "id" was shown before; records it as shown.
    void isShownEarlier(const Notification& notification,
                        const std::optional<std::string>& appGroudDomain,
                        std::function<void(bool shownEarlier)> completion);

    // For a notification extension: when the application is in the background,
    // records the push's "id" as shown and removes an already delivered
    // notification with the same "id". Does nothing when the store of
    // `appGroudDomain` cannot be opened.
    static void deleteDuplicateNotification(NotificationContent& content,
                                            const std::string& appGroudDomain);

  private:
    std::weak_ptr<Library> library_;
};

// The sibling brand's name for the same service.
class NorraNotificationService final : public VeskNotificationService {
  public:
    using VeskNotificationService::VeskNotificationService;

    static NorraNotificationService& shared();
};

}  // namespace vesk
