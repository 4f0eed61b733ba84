#include "app/vesk_impl.hpp"

#include <chrono>

#include "core/config/bundle_lookup.hpp"
#include "core/console_line.hpp"
#include "usecases/current_state_repository.hpp"
#include "usecases/session_use_cases.hpp"

namespace vesk {

namespace {

constexpr auto kHeartbeatPeriod = std::chrono::seconds(30);

}  // namespace

Vesk::Impl::Impl(Dependencies d)
    : api(std::move(d.api)),
      scheduler(d.scheduler),
      sdkApp(d.sdkApp),
      reachability(d.reachability),
      currentState(d.currentState),
      store(std::move(d.store)),
      userRepository(store),
      messengerRepository(d.messengerRepository),
      requests(d.executor) {}

NetworkSettingsPtr Vesk::Impl::settingsFrom(const User& user, const Messenger& messenger) {
    return std::make_shared<const NetworkSettings>(NetworkSettings::ConnectionType::sdk,
                                                   user.token.value_or("errorToken"),
                                                   messenger.appId, user.id);
}

void Vesk::Impl::rebuildServices(const NetworkSettingsPtr& settings) {
    eventPropertyService = std::make_shared<EventPropService>(api, settings);
    userService = std::make_shared<UserService>(api, settings);
}

void Vesk::Impl::start() {
    // The first (user, messenger) pair publishes its settings once more. Watched
    // by hand: this sits on the first setup's path, and the watch stays
    // subscribed once spent, since either relay may emit synchronously while
    // its subscription is still being made.
    std::weak_ptr<Impl> weak = weak_from_this();
    auto fired = std::make_shared<bool>(false);
    const auto publish = [weak, fired](const User* user, const Messenger* messenger) {
        auto self = weak.lock();
        if (!self || *fired) {
            return;
        }
        const auto& storedUser = self->userRepository.user.value();
        const auto& knownMessenger = self->messengerRepository.messenger.value();
        user = user ? user : (storedUser ? &*storedUser : nullptr);
        messenger = messenger ? messenger : (knownMessenger ? &*knownMessenger : nullptr);
        if (!user || !messenger) {
            return;
        }
        *fired = true;
        self->sdkApp.networkSetting.accept(settingsFrom(*user, *messenger));
        self->rebuildServices(self->currentSettings());
    };
    disposeBag.insert(
        userRepository.user.asObservable().subscribe([publish](const std::optional<User>& user) {
            if (user) {
                publish(&*user, nullptr);
            }
        }));
    disposeBag.insert(messengerRepository.messenger.asObservable().subscribe(
        [publish](const std::optional<Messenger>& messenger) {
            if (messenger) {
                publish(nullptr, &*messenger);
            }
        }));
    userService = std::make_shared<UserService>(api, currentSettings());
}

void Vesk::Impl::startHeartbeat(const std::optional<User>& kept,
                                const std::optional<User>& connected) {
    auto beats = rx::timer(std::chrono::seconds(0), kHeartbeatPeriod, scheduler) |
                 setPresenceUseCase(api, [&app = sdkApp] { return app.networkSetting.value(); });
    if (!kept || !connected) {
        disposeBag.insert(beats.subscribe());
        return;
    }
    std::weak_ptr<Impl> weak = weak_from_this();
    auto heartbeat = std::make_shared<rx::Disposable>();
    // Only the first reply tells; the handle is let go then (it holds this handler).
    *heartbeat = beats.subscribe([weak, heartbeat, kept, connected](long status) mutable {
        const auto mine = std::exchange(heartbeat, nullptr);
        if (!mine || (status != 401 && status != 403)) {
            return;
        }
        auto self = weak.lock();
        if (self && self->userRepository.user.value() == kept) {
            mine->dispose();  // its requests carry the refused token
            self->replaceRejectedUser(*kept, *connected);
        }
    });
    disposeBag.insert(*heartbeat);
}

// A stored id and token the service refuses (a store torn by an older version,
// a user removed on the service) would fail every request for good: go on as
// the anonymous user the connect reply gave, as a logout would.
void Vesk::Impl::replaceRejectedUser(const User& rejected, const User& connected) {
    consoleLine("VeskSession", "the service refuses the stored user " + rejected.id +
                                   "; continuing as a new anonymous user " + connected.id);
    const auto messenger = messengerRepository.messenger.value();
    if (!messenger) {
        return;
    }
    userRepository.saveUser(connected);
    const auto settings = settingsFrom(connected, *messenger);
    rebuildServices(settings);
    sdkApp.networkSetting.accept(settings);
    startHeartbeat();
}

void Vesk::Impl::setup(const std::string& apiKey, SuccessHandler successHandler,
                       ErrorHandler errorHandler) {
    key = apiKey;
    if (!userService) {
        return;
    }
    std::weak_ptr<Impl> weak = weak_from_this();
    const auto online = [](ReachabilityService::Status s) {
        return s == ReachabilityService::Status::online;
    };
    const auto connect = [weak, apiKey](ReachabilityService::Status) {
        auto self = weak.lock();
        if (!self || !self->userService) {
            return rx::empty<Result<UserSession>>();
        }
        return self->userService->connect(apiKey, Vesk::version());
    };
    // Online already, the relay would hand its value over at once: connect
    // without the layers of the wait.
    auto& reachable = reachability.isReachable;
    const auto chain = online(reachable.value()) ? connect(reachable.value())
                                                 : reachable.asObservable() | rx::filter(online) |
                                                       rx::take(1) | rx::flatMap(connect);
    disposeBag.insert(chain.subscribe(
        [weak, successHandler, errorHandler](const Result<UserSession>& result) {
            auto self = weak.lock();
            if (!self) {
                return;
            }
            if (const auto* error = result.error()) {
                if (!errorHandler) {
                    return;
                }
                const bool hasText = error->kind() == UIRepresentableError::Case::custom ||
                                     error->kind() == UIRepresentableError::Case::debug;
                errorHandler(hasText ? error->text() : "Unknown error");
                return;
            }
            const auto& [connected, messenger] = *result.success();
            // A stored user is kept over the one the reply names.
            const auto stored = self->userRepository.user.value();
            if (!stored) {
                self->userRepository.saveUser(connected);
            }
            const auto settings = settingsFrom(stored ? *stored : connected, messenger);
            self->rebuildServices(settings);
            self->sdkApp.networkSetting.accept(settings);
            if (stored && stored->id != connected.id) {
                self->startHeartbeat(stored, connected);
            } else {
                self->startHeartbeat();
            }
            self->messengerRepository.messenger.accept(messenger);
            if (successHandler) {
                successHandler();
            }
        },
        [weak, errorHandler](const Error& error) {
            if (weak.lock() && errorHandler) {
                errorHandler(error.description);
            }
        }));
}

void Vesk::Impl::auth(const std::string& userId, const std::string& userAuthKey,
                      SuccessHandler successHandler, ErrorHandler errorHandler) {
    std::weak_ptr<Impl> weak = weak_from_this();
    const auto messengers = messengerRepository.messenger.asObservable() | rx::compact();
    const auto chain =
        (rx::combineLatest(messengers, userRepository.user.asObservable()) | rx::take(1)) |
        rx::flatMap(
            [weak, userId, userAuthKey](const std::tuple<Messenger, std::optional<User>>& pair) {
                auto self = weak.lock();
                if (!self || !self->userService) {
                    return rx::empty<Result<std::optional<UserSession>>>();
                }
                return self->userService->auth(userId, std::get<0>(pair), std::get<1>(pair),
                                               userAuthKey);
            });
    disposeBag.insert(chain.subscribe(
        [weak, successHandler, errorHandler](const Result<std::optional<UserSession>>& result) {
            auto self = weak.lock();
            if (!self) {
                return;
            }
            if (const auto* error = result.error()) {
                if (!errorHandler) {
                    return;
                }
                switch (error->kind()) {
                    case UIRepresentableError::Case::custom:
                    case UIRepresentableError::Case::debug:
                        errorHandler(error->text());
                        break;
                    case UIRepresentableError::Case::noInternet:
                        errorHandler(localize("vx_lib.no_internet", AppType::lib,
                                              self->bundle ? &*self->bundle : nullptr));
                        break;
                    case UIRepresentableError::Case::empty:
                        errorHandler("");
                        break;
                }
                return;
            }
            const auto& session = *result.success();
            if (!session) {
                return;
            }
            const auto& [user, messenger] = *session;
            self->userRepository.saveUser(user);
            const auto settings = settingsFrom(user, messenger);
            self->rebuildServices(settings);
            self->sdkApp.networkSetting.accept(settings);
            self->messengerRepository.messenger.accept(messenger);
            if (successHandler) {
                successHandler();
            }
        },
        [weak, errorHandler](const Error& error) {
            if (weak.lock() && errorHandler) {
                errorHandler(error.description);
            }
        }));
}

void Vesk::Impl::logout() {
    userRepository.clearUser();
    store->remove("dialogId");
    currentState.reset();
    if (const auto settings = currentSettings()) {
        auto cleared = std::make_shared<const NetworkSettings>(
            NetworkSettings::ConnectionType::sdk, "", settings->appId, settings->userId);
        sdkApp.networkSetting.accept(cleared);
        userService = std::make_shared<UserService>(api, cleared);
    }
    setup(
        key, [] {}, [](const std::string&) {});
}

void Vesk::Impl::setUserProperty(const std::vector<UserProperty>& properties) {
    if (!currentSettings() || !eventPropertyService) {
        return;
    }
    requests.add(eventPropertyService->setUserProperty(properties));
}

void Vesk::Impl::trackEvent(const std::string& name, const std::string& params) {
    if (!currentSettings() || !eventPropertyService) {
        return;
    }
    requests.add(eventPropertyService->trackEvent(name, params));
}

}  // namespace vesk
