// One instance of the library: the composition root that owns everything a
// facade runs on and builds it in one order, written here and in library.cpp.
//
// The process's instance (`process()`) is built on first use from what the
// host installed (main executor, stores, reachability, configuration) and
// lives until the process ends; `Vesk::shared()` is its facade. Tests and
// tools build instances of their own from options, as many as they like: no
// two instances share any state.
//
// Threading: built on any thread; everything else on its main executor. Its
// subscriptions start on the executor (`start`, run before the first task of
// any public call). Requires: destroyed on the executor's thread, which
// outlives it.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "app/app_state_service.hpp"
#include "app/in_flight.hpp"
#include "app/reachability_service.hpp"
#include "app/sdk_app.hpp"
#include "core/config/configuration.hpp"
#include "push/push_notification_service.hpp"
#include "services/network/api_endpoint.hpp"
#include "ui/chat_dependencies.hpp"
#include "ui/download_service.hpp"
#include "ui/launcher_presenter.hpp"
#include "ui/popup_presenter.hpp"
#include "ui/screen_state.hpp"
#include "ui/sdk_step.hpp"
#include "usecases/conversation_context.hpp"
#include "usecases/outbox.hpp"
#include "usecases/rts_service.hpp"
#include "vesk/chat_window.hpp"
#include "vesk/clock.hpp"
#include "vesk/device_information.hpp"
#include "vesk/executor.hpp"
#include "vesk/host_events.hpp"
#include "vesk/key_value_store.hpp"
#include "vesk/notification_center.hpp"
#include "vesk/vesk.hpp"

namespace vesk::net {
class HttpClient;
}

namespace vesk {

// What an instance runs on; every absent member takes the process's default.
struct LibraryOptions {
    // Default: the host's (setMainExecutor), else a loop on a thread of its own.
    std::shared_ptr<Executor> executor;
    // Every timer. Default: real time on the executor.
    std::shared_ptr<Scheduler> scheduler;
    // Default: a client of its own on the executor.
    std::shared_ptr<net::HttpClient> httpClient;
    // Default: what the bundles hold when the instance is built.
    std::optional<Configuration> configuration;
    // The standard store (user, last conversation). Default: the standard
    // suite of `stores`.
    std::shared_ptr<KeyValueStore> standardStore;
    // Where app-group suites open. Default: keyValueStoreFactory().
    std::shared_ptr<KeyValueStoreFactory> stores;
    // Default: probing the API host.
    std::shared_ptr<ReachabilitySource> reachability;
    // Default: the host's, looked up at each use.
    std::shared_ptr<NotificationCenter> notificationCenter;
    std::shared_ptr<DeviceInformation> deviceInformation;
    // Default: a headless one (the process's instance takes the host's,
    // setChatPlatform).
    std::shared_ptr<ChatPlatform> chatPlatform;
    // Where attachments are downloaded. Default: the host's
    // (setDownloadDirectory), else "Downloads" under the XDG cache directory.
    std::optional<std::filesystem::path> downloadDirectory;
};

class Library : public std::enable_shared_from_this<Library> {
  public:
    // The process's instance, built on first use.
    static Library& process();
    // The process's instance when it exists; null otherwise. Any thread.
    static std::shared_ptr<Library> processIfBuilt();

    static std::shared_ptr<Library> make(LibraryOptions options);

    ~Library();
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    [[nodiscard]] Executor& executor() const { return *executor_; }
    // For callbacks on other threads, which may outlive the instance.
    [[nodiscard]] const std::shared_ptr<Executor>& sharedExecutor() const { return executor_; }
    [[nodiscard]] Scheduler& scheduler() const { return *scheduler_; }

    // Runs `task` on the main executor after the instance has started: now
    // when called there, otherwise posted. It never runs once the instance is
    // gone.
    void dispatch(std::function<void(Library&)> task);
    // The same, always on a later turn of the executor.
    void post(std::function<void(Library&)> task);

    // Makes the conversation (or none) current and opens the chat on it.
    void openConversation(const std::optional<std::string>& conversationId);
    // Opens the chat as the facade's openChat does: on the newest chat-popup
    // conversation, or on none.
    void openChat();

    // The launcher in `view` after each initialisation, once the first page
    // of conversations is in: one button, replacing any shown before.
    void showButton(std::weak_ptr<PlatformView> view);
    void hideButton();
    void setButtonIcon(std::optional<Image> icon);
    [[nodiscard]] const std::shared_ptr<LauncherPresenter>& launcher() const { return launcher_; }

  private:
    explicit Library(LibraryOptions options);
    // The subscriptions and watchers, in their order; runs once.
    void start();
    [[nodiscard]] PushEnvironment pushEnvironment();
    [[nodiscard]] ChatDependencies chatDependencies();
    // The signed-in user; before any sign-in, the user of the connection.
    [[nodiscard]] std::string userId() const;

    // Members are built in this order and destroyed in the reverse one.
    const std::shared_ptr<Executor> executor_;
    const std::shared_ptr<Scheduler> scheduler_;

  public:
    const Configuration configuration;
    const ApiEndpointPtr api;
    const std::shared_ptr<KeyValueStoreFactory> stores;
    const std::shared_ptr<KeyValueStore> standardStore;
    AppStateService appState;
    ReachabilityService reachability;
    ScreenState screen;
    ConversationContext conversations;
    RtsService rts;
    // The user's text messages until the service has them.
    Outbox outbox;
    const std::shared_ptr<ChatPlatform> chatPlatform;
    // Attachment files the user downloads.
    DownloadService downloads;
    SdkStepper stepper;
    ChatDependencies chat;
    // Cards of the popups that come while the chat is closed.
    PopupPresenter popups;
    SdkApp sdkApp;
    std::shared_ptr<PushNotificationService> push;
    std::shared_ptr<Vesk::Impl> facade;
    // Requests of the public chat, knowledge-base and integration calls.
    InFlight requests;

  private:
    std::shared_ptr<ReachabilitySource> reachabilitySource_;
    std::shared_ptr<NotificationCenter> notificationCenter_;
    std::shared_ptr<DeviceInformation> deviceInformation_;
    bool started_ = false;
    std::shared_ptr<LauncherPresenter> launcher_;
    std::optional<Image> buttonIcon_;
    rx::SerialDisposable buttonShowing_;
    rx::DisposeBag disposeBag_;
};

}  // namespace vesk
