// User properties and tracked events.
// Threading: main executor; replies arrive there.
#pragma once

#include <string>
#include <vector>

#include "services/network/targets/event_prop_target.hpp"
#include "services/network/vesk_service.hpp"
#include "vesk/user_property.hpp"

namespace vesk {

// The JSON array of {"op", "key", "value"} objects the service reads.
std::string encodeUserProperties(const std::vector<UserProperty>& properties);

class EventPropService : public VeskService<EventPropTarget> {
  public:
    using VeskService<EventPropTarget>::VeskService;

    [[nodiscard]] rx::Observable<Result<Response<JsonValue>>> setUserProperty(
        const std::vector<UserProperty>& properties) const;
    // An empty `params` sends the event name alone.
    [[nodiscard]] rx::Observable<Result<Response<JsonValue>>> trackEvent(
        const std::string& name, const std::string& params) const;
    // The roles go out as ["a","b"], unescaped.
    [[nodiscard]] rx::Observable<Result<Response<JsonValue>>> trackServiceEvent(
        const std::string& event, const std::string& eventProps,
        const std::vector<std::string>& adminRoles) const;
};

}  // namespace vesk
