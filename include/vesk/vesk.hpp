// The library's facade: the one class a host application talks to.
//
// The host sets the library up with its application's API key, identifies its
// user, sends user properties and tracked events. Results come back only through
// the handlers passed in; no call returns a value or throws.
//
// Threading: handlers are called on the main executor (see runtime.hpp), each
// at most once. Call the facade from that executor's thread; a call from any
// other thread is posted there. Requests in flight hold the facade weakly: a
// destroyed instance never calls a handler.
//
// Each facade is one instance of the library with state of its own: the
// process's (`shared()`) and any a host or a test builds.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "vesk/bundle.hpp"
#include "vesk/clock.hpp"
#include "vesk/downloads.hpp"
#include "vesk/json_value.hpp"
#include "vesk/key_value_store.hpp"
#include "vesk/notification_center.hpp"
#include "vesk/platform_view.hpp"
#include "vesk/user_property.hpp"

namespace vesk {

class Library;
class Chat;
class VeskKnowledgeBase;
class VeskIntegrations;
class VeskNotificationService;

// What an independent instance runs on; the shared one uses the defaults.
struct VeskOptions {
    // Every timer (the presence heartbeat among them). Default: real time on
    // the main executor.
    std::shared_ptr<Scheduler> scheduler;
    // The standard store (user id and token, last conversation). Default: the
    // standard suite of keyValueStoreFactory().
    std::shared_ptr<KeyValueStore> store;
};

class Vesk {
  public:
    using SuccessHandler = std::function<void()>;
    using ErrorHandler = std::function<void(const std::string& message)>;

    // The process-wide instance, created on first use and never destroyed.
    static Vesk& shared();

    // An independent instance on the main executor, with state of its own.
    // Requires: destroyed on the main executor.
    explicit Vesk(VeskOptions options = {});
    // The facade of an instance the library's own tools and tests built.
    explicit Vesk(std::shared_ptr<Library> library);
    virtual ~Vesk();
    Vesk(const Vesk&) = delete;
    Vesk& operator=(const Vesk&) = delete;

    // "1.0.33".
    [[nodiscard]] static const std::string& version();
    // The web page's class version; the library never sets one, so 0.
    [[nodiscard]] static int webVersion() noexcept { return 0; }

    // The host's resource bundle (its strings override the library's).
    void setBundle(Bundle bundle);

    // Connects to the service with the application's API key once the service is
    // reachable. A user stored by an earlier run is kept; otherwise the anonymous
    // user the service returns is stored. Then the presence heartbeat starts.
    void setup(const std::string& apiKey, SuccessHandler successHandler, ErrorHandler errorHandler);

    // Identifies the host's user with the HMAC-SHA256 of `userId` under
    // `userAuthKey`. Waits until a setup has succeeded.
    void auth(const std::string& userId, const std::string& userAuthKey,
              SuccessHandler successHandler, ErrorHandler errorHandler);

    // Forgets the user and the chat state and sets up again with the last key.
    void logout();

    // Closes the chat window when it is open.
    void closeChat();

    // Both do nothing before a successful setup; the host hears nothing back.
    void setUserProperty(const std::vector<UserProperty>& properties);
    // `params` is a JSON text made by the host, sent unchanged; empty sends none.
    void trackEvent(const std::string& name, const std::string& params);

    // The chat of this instance without its screens, its knowledge base, its
    // integrations and its push notifications.
    [[nodiscard]] Chat& chat() { return *chat_; }
    [[nodiscard]] VeskKnowledgeBase& knowledgeBase() { return *knowledgeBase_; }
    [[nodiscard]] VeskIntegrations& integrations() { return *integrations_; }
    [[nodiscard]] VeskNotificationService& notificationService() { return *notifications_; }

    // Opens the chat window (see chat_window.hpp) on the newest chat-popup
    // conversation, or on none; brings it forward when it is open.
    void openChat();

    // Shows the launcher button in `view` (made by the chat platform's
    // createLauncher) after each initialisation, once the first page of
    // conversations is in; the view is held weakly. A later call replaces the
    // button, so there is never more than one.
    void showButton(std::weak_ptr<PlatformView> view);
    // Removes the launcher button; it comes back only with showButton.
    void hideButton();
    // Sets the launcher button's icon (none: the default one).
    void setButton(std::optional<Image> icon);
    // Calls `handler` with the number of unread conversations now and after
    // every change of the conversation list.
    void getUreadConversations(std::function<void(int count)> handler);

    // The device's push token, registered with the service once the library is
    // set up and again after every later setup (see notification_service.hpp).
    void setPushToken(const std::string& token);
    // Forgets the token and unsubscribes this device.
    void deletePushToken();

    // The foreground decision for a push delivered while the application is in
    // front: `completionHandler` is called with alert and sound when the library
    // presents it, and not at all otherwise (not the library's, for the
    // conversation on screen, or already shown). `appGroudDomain` names the store
    // shared with the notification extension.
    void show(const Notification& notification, const std::optional<std::string>& appGroudDomain,
              std::function<void(PresentationOptions)> completionHandler);
    // The same for a push payload as received.
    void show(const JsonValue& payload, const std::optional<std::string>& appGroudDomain,
              std::function<void(PresentationOptions)> completionHandler);

    struct Impl;

  private:
    std::shared_ptr<Library> library_;
    std::unique_ptr<Chat> chat_;
    std::unique_ptr<VeskKnowledgeBase> knowledgeBase_;
    std::unique_ptr<VeskIntegrations> integrations_;
    std::unique_ptr<VeskNotificationService> notifications_;
};

// The sibling brand's name for the same facade.
class Norra final : public Vesk {
  public:
    using Vesk::Vesk;
};

}  // namespace vesk
