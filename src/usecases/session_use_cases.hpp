// Stream operators over the session services.
// Threading: main executor.
#pragma once

#include <string>
#include <utility>

#include "core/rx/rx.hpp"
#include "services/event_prop_service.hpp"
#include "services/network/network_settings.hpp"
#include "services/user_service.hpp"

namespace vesk {

// For each tick, sends presence through one UserService built from `settings` at
// subscription and emits the reply's HTTP status (0: no reply). No settings: an
// empty stream. `settings` is read when the result is subscribed.
template <class SettingsFn>
auto setPresenceUseCase(ApiEndpointPtr api, SettingsFn currentSettings) {
    return [api, currentSettings](const rx::Observable<std::int64_t>& ticks) {
        return rx::deferred([api, ticks, currentSettings]() -> rx::Observable<long> {
            NetworkSettingsPtr settings = currentSettings();
            if (!settings) {
                return rx::empty<long>();
            }
            auto service = std::make_shared<UserService>(api, settings);
            return ticks | rx::flatMap([service](std::int64_t) {
                       return service->setPresenceStatus() | rx::catchErrorJustReturn(0L);
                   });
        });
    };
}

// Each (key, value) becomes one update_or_create property sent through one
// EventPropService built at subscription; pairs that arrive while a request is in
// flight are dropped.
template <class SettingsFn>
auto sendUserPropertyUseCase(ApiEndpointPtr api, SettingsFn currentSettings) {
    return
        [api, currentSettings](const rx::Observable<std::pair<std::string, std::string>>& pairs) {
            return rx::deferred([api, pairs, currentSettings] {
                auto service = std::make_shared<EventPropService>(api, currentSettings());
                return pairs |
                       rx::flatMapFirst([service](const std::pair<std::string, std::string>& pair) {
                           return service->setUserProperty({UserProperty(
                               pair.first, pair.second, UserProperty::Operations::updateOrCreate)});
                       });
            });
        };
}

}  // namespace vesk
