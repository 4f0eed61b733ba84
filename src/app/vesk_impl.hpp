// The facade's state and chains. Every chain holds the Impl weakly, so a
// released facade is never resurrected by a late reply, and every handler runs
// at most once. Threading: main executor.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "core/rx/rx.hpp"
#include "services/event_prop_service.hpp"
#include "services/user_service.hpp"
#include "usecases/messenger_repository.hpp"
#include "usecases/user_repository.hpp"
#include "vesk/vesk.hpp"

namespace vesk {

struct Vesk::Impl : std::enable_shared_from_this<Vesk::Impl> {
    Impl(std::shared_ptr<Scheduler> scheduler, std::shared_ptr<KeyValueStore> store);

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

    // Replaces both services with ones built from `settings`.
    void rebuildServices(const NetworkSettingsPtr& settings);
    void startHeartbeat();

    std::string key;
    std::shared_ptr<UserService> userService;
    std::shared_ptr<EventPropService> eventPropertyService;
    std::shared_ptr<KeyValueStore> store;
    UserRepository userRepository;
    MessengerRepository& messengerRepository;
    std::optional<Bundle> bundle;
    std::shared_ptr<Scheduler> scheduler;
    // Last: its subscriptions end before the state they touch goes.
    rx::DisposeBag disposeBag;
};

}  // namespace vesk
