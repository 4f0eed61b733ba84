#include "services/event_prop_service.hpp"

namespace vesk {

std::string encodeUserProperties(const std::vector<UserProperty>& properties) {
    JsonArray items;
    items.reserve(properties.size());
    for (const auto& property : properties) {
        items.emplace_back(JsonObject{
            {"op", JsonValue(std::string(UserProperty::rawValue(property.operation())))},
            {"key", JsonValue(property.key())},
            {"value", JsonValue(property.value())},
        });
    }
    return JsonValue(std::move(items)).encode();
}

rx::Observable<Result<Response<JsonValue>>> EventPropService::setUserProperty(
    const std::vector<UserProperty>& properties) const {
    return request<JsonValue>(EventPropTarget::sendProps(encodeUserProperties(properties)));
}

rx::Observable<Result<Response<JsonValue>>> EventPropService::trackEvent(
    const std::string& name, const std::string& params) const {
    return request<JsonValue>(EventPropTarget::sendEvent(name, params));
}

rx::Observable<Result<Response<JsonValue>>> EventPropService::trackServiceEvent(
    const std::string& event, const std::string& eventProps,
    const std::vector<std::string>& adminRoles) const {
    std::string roles = "[";
    for (std::size_t i = 0; i < adminRoles.size(); ++i) {
        roles += (i == 0 ? "\"" : ",\"") + adminRoles[i] + "\"";
    }
    roles += "]";
    return request<JsonValue>(EventPropTarget::sendServiceEvent(event, eventProps, roles));
}

}  // namespace vesk
