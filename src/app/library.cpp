#include "app/library.hpp"

#include <utility>

#include "app/vesk_impl.hpp"
#include "net/http_client.hpp"
#include "ui/presentation.hpp"
#include "usecases/conversation_use_cases.hpp"
#include "vesk/bundle.hpp"
#include "vesk/downloads.hpp"
#include "vesk/headless_platform.hpp"

namespace vesk {

namespace {

std::shared_ptr<const ApiEndpoint> endpointFor(const Configuration& configuration,
                                               std::shared_ptr<net::HttpClient> client,
                                               Executor& executor) {
    auto endpoint = std::make_shared<ApiEndpoint>();
    if (!client) {
        net::HttpClientOptions options;
        options.caFile = configuration.caFile;
        client = std::make_shared<net::HttpClient>(executor, std::move(options));
    }
    endpoint->client = std::move(client);
    endpoint->baseUrl = configuration.apiUrl;
    endpoint->logging = configuration.requestLogging;
    return endpoint;
}

std::shared_ptr<KeyValueStore> appGroupStore(const Configuration& configuration,
                                             KeyValueStoreFactory& stores) {
    return configuration.appGroupDomain ? stores.suite(*configuration.appGroupDomain) : nullptr;
}

std::shared_ptr<ChatPlatform> platformFor(std::shared_ptr<ChatPlatform> given,
                                          const std::shared_ptr<Executor>& executor) {
    if (given) {
        return given;
    }
    return std::make_shared<HeadlessChatPlatform>(executor);
}

}  // namespace

std::shared_ptr<Library> Library::make(LibraryOptions options) {
    return std::shared_ptr<Library>(new Library(std::move(options)));
}

// The order of building: the executor and its clock; what the instance reads
// (configuration, endpoint, stores); the host's state; the conversations and
// the real-time service that feeds them; what the chat's screens work with
// (platform, downloads, steps); the runtime context with its sockets and the
// chat window; push; the facade. Nothing here subscribes to anything outside itself or
// starts a thread but the HTTP client's: `start` does, on the executor.
Library::Library(LibraryOptions options)
    : executor_(std::move(options.executor)),
      scheduler_(options.scheduler ? std::move(options.scheduler)
                                   : std::make_shared<SteadyScheduler>(*executor_)),
      configuration(options.configuration ? std::move(*options.configuration)
                                          : Configuration::fromBundles()),
      api(endpointFor(configuration, std::move(options.httpClient), *executor_)),
      stores(options.stores ? std::move(options.stores) : keyValueStoreFactory()),
      standardStore(options.standardStore ? std::move(options.standardStore) : stores->standard()),
      conversations({standardStore, scheduler_.get(), api,
                     [this] { return sdkApp.networkSetting.value(); }, configuration.filesUrl}),
      rts(conversations, [this] { return screen.isOpen.value(); }),
      outbox(conversations, [this] { return userId(); }),
      chatPlatform(platformFor(std::move(options.chatPlatform), executor_)),
      downloads(
          *executor_, api->client, standardStore,
          options.downloadDirectory ? std::move(*options.downloadDirectory) : downloadDirectory()),
      chat(chatDependencies()),
      popups(chat),
      sdkApp({*executor_,
              configuration.wssUrl.value_or("error"),
              {configuration.caFile, configuration.reconnect ? scheduler_.get() : nullptr},
              conversations,
              screen,
              appState,
              reachability,
              rts,
              appGroupStore(configuration, *stores),
              stepper,
              chat}),
      requests(*executor_),
      reachabilitySource_(std::move(options.reachability)),
      notificationCenter_(std::move(options.notificationCenter)),
      deviceInformation_(std::move(options.deviceInformation)) {
    push = PushNotificationService::make(pushEnvironment());
    facade = std::make_shared<Vesk::Impl>(
        Vesk::Impl::Dependencies{api, *scheduler_, standardStore, sdkApp, reachability,
                                 conversations.messenger, conversations.currentState, *executor_});
}

Library::~Library() {
    buttonShowing_.dispose();
}

ChatDependencies Library::chatDependencies() {
    const auto online = [](ReachabilityService::Status status) {
        return status == ReachabilityService::Status::online;
    };
    return ChatDependencies{
        .conversations = conversations,
        .screen = screen,
        .scheduler = *scheduler_,
        .steps = stepper.steps,
        .platform = *chatPlatform,
        .downloads = downloads,
        .widgetUrl = configuration.widgetUrl,
        .providerName = configuration.providerName,
        .languageCode = [] { return std::optional<std::string>(preferredLanguage()); },
        .isReachable =
            [this] { return reachability.connection() == ReachabilityService::Status::online; },
        .reachable =
            reachability.isReachable.asObservable() | rx::map(online) | rx::distinctUntilChanged(),
        .userId = [this] { return userId(); },
        .trackEvent = [this](const std::string& name,
                             const std::string& params) { facade->trackEvent(name, params); },
        .setUserProperty =
            [this](std::vector<UserProperty> properties) { facade->setUserProperty(properties); },
        .outbox = outbox,
    };
}

std::string Library::userId() const {
    if (const auto& user = facade->userRepository.user.value()) {
        return user->id;
    }
    const auto settings = sdkApp.networkSetting.value();
    return settings ? settings->userId : std::string();
}

PushEnvironment Library::pushEnvironment() {
    PushEnvironment environment;
    environment.api = api;
    environment.networkSettings = [this] { return sdkApp.networkSetting.value(); };
    environment.isInit = sdkApp.isInit;
    environment.hasMessenger = [this] {
        return conversations.messenger.messenger.value().has_value();
    };
    environment.conversationOnScreen = [this] { return sdkApp.conversationOnScreen(); };
    environment.openConversation = [this](const std::string& id) { openConversation(id); };
    environment.openChat = [this] { openChat(); };
    if (notificationCenter_) {
        environment.center = [center = notificationCenter_] { return center; };
    }
    if (deviceInformation_) {
        environment.device = [device = deviceInformation_] { return device; };
    }
    environment.stores = stores;
    return environment;
}

void Library::start() {
    if (std::exchange(started_, true)) {
        return;
    }
    if (reachabilitySource_) {
        reachability.setSource(std::move(reachabilitySource_));
    } else {
        reachability.start(*executor_, *scheduler_, configuration.apiUrl);
    }
    // Each operator reply may become a local notification.
    disposeBag_.insert(rts.newMessage.asObservable().subscribe(
        [this](const Message& message) { push->addNotification(message); }));
    // What the user sent and the service does not have yet: its status on the
    // conversation screen, listed for each user (the stored one at once), and
    // sent again whenever the connection may be back.
    disposeBag_.insert(showOutboxChanges(outbox, screen));
    disposeBag_.insert(facade->userRepository.user.asObservable().subscribe(
        [this](const std::optional<User>&) { outbox.list(); }));
    disposeBag_.insert(
        (sdkApp.networkSetting.asObservable() | rx::filter([](const NetworkSettingsPtr& settings) {
             return settings != nullptr;
         })).subscribe([this](const NetworkSettingsPtr&) { outbox.resume(); }));
    disposeBag_.insert((chat.reachable | rx::filter([](bool online) {
                            return online;
                        })).subscribe([this](bool) { outbox.resume(); }));
    disposeBag_.insert(
        rts.reconnected.asObservable().subscribe([this](rx::Unit) { outbox.resume(); }));
    disposeBag_.insert(appState.onForeground().subscribe([this](rx::Unit) { outbox.resume(); }));
    facade->start();
}

void Library::dispatch(std::function<void(Library&)> task) {
    if (executor_->isCurrent()) {
        start();
        task(*this);
    } else {
        post(std::move(task));
    }
}

void Library::post(std::function<void(Library&)> task) {
    executor_->post([weak = weak_from_this(), task = std::move(task)] {
        if (auto self = weak.lock()) {
            self->start();
            task(*self);
        }
    });
}

void Library::openConversation(const std::optional<std::string>& conversationId) {
    // Every source replays at once: this has run to its end when subscribe returns.
    (void)(vesk::openConversation(screen, conversations, conversationId) | rx::take(1))
        .subscribe([this](rx::Unit) { sdkApp.createFlowAndOpen(); });
}

void Library::openChat() {
    openConversation(dialogToOpen(conversations.dialogs.dialogs.value()));
}

void Library::showButton(std::weak_ptr<PlatformView> view) {
    auto& ctx = conversations;
    auto& user = facade->userRepository.user;
    const auto ready =
        // Each setup, auth and logout initialises anew.
        sdkApp.isInit | rx::filter([](bool initialised) { return initialised; }) |
        rx::flatMapLatest([&user](bool) {
            return user.asObservable() |
                   rx::filter([](const std::optional<User>& u) { return u.has_value(); }) |
                   rx::take(1);
        }) |
        rx::flatMapLatest([&ctx](const std::optional<User>&) {
            // The list starts over, so the badge and bubble count what the service has.
            ctx.dialogs.dialogs.accept({});
            ctx.dialogs.paginatePosition.reset();
            return rx::just(rx::Unit{}) | loadDialogsUseCase(ctx) | rx::take(1);
        });
    buttonShowing_.set(ready.subscribe([this, view](const Expected<bool>&) {
        const auto host = view.lock();
        auto made = host ? chatPlatform->createLauncher(host) : nullptr;
        if (launcher_) {
            launcher_->remove();
        }
        launcher_ = nullptr;
        if (!made) {
            return;
        }
        launcher_ = LauncherPresenter::attach(
            chat, std::move(made), {.open = [this](const std::optional<std::string>& id) {
                if (id) {
                    openConversation(id);
                } else {
                    openChat();
                }
            }});
        if (buttonIcon_) {
            launcher_->setIcon(buttonIcon_);
        }
    }));
}

void Library::hideButton() {
    buttonShowing_.set({});
    if (launcher_) {
        launcher_->remove();
        launcher_ = nullptr;
    }
}

void Library::setButtonIcon(std::optional<Image> icon) {
    buttonIcon_ = std::move(icon);
    if (launcher_) {
        launcher_->setIcon(buttonIcon_);
    }
}

}  // namespace vesk
