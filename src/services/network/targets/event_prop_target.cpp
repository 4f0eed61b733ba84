#include "services/network/targets/event_prop_target.hpp"

namespace vesk {

EventPropTarget EventPropTarget::sendEvent(const std::string& event, const std::string& params) {
    Parameters body{{"event", JsonValue(event)}};
    if (!params.empty()) {
        body.set("params", JsonValue(params));
    }
    return makeTarget<EventPropTarget>("users/{user_id}/events", net::HttpMethod::post,
                                       Task::composite(std::move(body)));
}

EventPropTarget EventPropTarget::sendServiceEvent(const std::string& event,
                                                  const std::string& eventProps,
                                                  const std::string& adminRoles) {
    Parameters body{{"event_type", JsonValue(event)}};
    if (!eventProps.empty()) {
        body.set("event_props", JsonValue(eventProps));
    }
    body.set("admin_roles", JsonValue(adminRoles));
    return makeTarget<EventPropTarget>("apps/{app_id}/service_events", net::HttpMethod::post,
                                       Task::composite(std::move(body)));
}

EventPropTarget EventPropTarget::sendProps(const std::string& operations) {
    return makeTarget<EventPropTarget>("users/{user_id}/props", net::HttpMethod::post,
                                       Task::composite({{"operations", JsonValue(operations)}}));
}

}  // namespace vesk
