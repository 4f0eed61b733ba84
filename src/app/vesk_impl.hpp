// The facade's state and chains. Every chain holds the Impl weakly, so a
// released facade is never resurrected by a late reply, and every handler runs
// at most once. Threading: main executor.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "app/in_flight.hpp"
#include "app/reachability_service.hpp"
#include "app/sdk_app.hpp"
#include "core/rx/rx.hpp"
#include "services/event_prop_service.hpp"
#include "services/user_service.hpp"
#include "usecases/messenger_repository.hpp"
#include "usecases/user_repository.hpp"
#include "vesk/vesk.hpp"

namespace vesk {

struct Vesk::Impl : std::enable_shared_from_this<Vesk::Impl> {
    struct Dependencies {
        ApiEndpointPtr api;
        // The presence heartbeat's timer; outlives the facade.
        Scheduler& scheduler;
        std::shared_ptr<KeyValueStore> store;
        SdkApp& sdkApp;
        ReachabilityService& reachability;
        MessengerRepository& messengerRepository;
        CurrentStateRepository& currentState;
        Executor& executor;
    };

    explicit Impl(Dependencies dependencies);

    // The creation steps that subscribe; run once the Impl is shared.
    void start();

    void setup(const std::string& apiKey, SuccessHandler successHandler, ErrorHandler errorHandler);
    void auth(const std::string& userId, const std::string& userAuthKey,
              SuccessHandler successHandler, ErrorHandler errorHandler);
    void logout();
    void setUserProperty(const std::vector<UserProperty>& properties);
    void trackEvent(const std::string& name, const std::string& params);

    // Settings from a user and a messenger: the user's token ("errorToken" when it
    // has none), the messenger's app id, the user's id.
    static NetworkSettingsPtr settingsFrom(const User& user, const Messenger& messenger);

    [[nodiscard]] NetworkSettingsPtr currentSettings() const {
        return sdkApp.networkSetting.value();
    }
    // Replaces both services with ones built from `settings`.
    void rebuildServices(const NetworkSettingsPtr& settings);
    // `kept`: a user stored by an earlier run, taken over `connected`, the
    // one the connect reply named; the first presence reply tells whether the
    // service still takes it.
    void startHeartbeat(const std::optional<User>& kept = std::nullopt,
                        const std::optional<User>& connected = std::nullopt);
    void replaceRejectedUser(const User& rejected, const User& connected);

    const ApiEndpointPtr api;
    Scheduler& scheduler;
    SdkApp& sdkApp;
    ReachabilityService& reachability;
    CurrentStateRepository& currentState;

    std::string key;
    std::shared_ptr<UserService> userService;
    std::shared_ptr<EventPropService> eventPropertyService;
    std::shared_ptr<KeyValueStore> store;
    UserRepository userRepository;
    MessengerRepository& messengerRepository;
    std::optional<Bundle> bundle;
    // Fire-and-forget requests (events, properties) until they answer.
    InFlight requests;
    // Last: its subscriptions end before the state they touch goes.
    rx::DisposeBag disposeBag;
};

}  // namespace vesk
