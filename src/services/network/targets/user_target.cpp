#include "services/network/targets/user_target.hpp"

#include "services/wire_identity.hpp"

namespace vesk {

UserTarget UserTarget::connect(const std::string& sessionId, const std::string& apiKey,
                               bool startSession, bool includeAutoEvents, bool includeJsScripts,
                               bool includePushDomains, const std::string& browser,
                               const std::string& os, const std::string& device,
                               const std::string& deviceType) {
    // Built in place: an initializer list would copy every value once more.
    Parameters body;
    body.reserve(11);
    body.appendDistinct("start_session_random_id", JsonValue(sessionId));
    body.appendDistinct("api_key", JsonValue(apiKey));
    body.appendDistinct("start_session", JsonValue(startSession));
    body.appendDistinct("include_auto_events", JsonValue(includeAutoEvents));
    body.appendDistinct("include_js_scripts", JsonValue(includeJsScripts));
    body.appendDistinct("include_push_domain", JsonValue(includePushDomains));
    body.appendDistinct("browser", JsonValue(browser));
    body.appendDistinct("os", JsonValue(os));
    body.appendDistinct("device", JsonValue(device));
    body.appendDistinct("device_type", JsonValue(deviceType));
    body.appendDistinct("token_type", JsonValue(std::string(wire::kPushTokenType)));
    return makeTarget<UserTarget>("connect", net::HttpMethod::post,
                                  Task::composite(std::move(body)));
}

UserTarget UserTarget::auth(const std::string& userId, const std::string& hash) {
    Parameters body{{"user_id", JsonValue(userId)}, {"hash", JsonValue(hash)}};
    return makeTarget<UserTarget>("auth/userappauth", net::HttpMethod::post,
                                  Task::composite(std::move(body)));
}

UserTarget UserTarget::setPresence() {
    return makeTarget<UserTarget>("users/{user_id}/setpresence", net::HttpMethod::post,
                                  Task::composite({{"presence", JsonValue("online")}}));
}

AppTarget AppTarget::getApps(const std::string& id) {
    return makeTarget<AppTarget>("djangousers/" + id, net::HttpMethod::get, Task::plain());
}

AppTarget AppTarget::getDjangoUserIntegrations(const std::string& id,
                                               const std::optional<std::string>& type) {
    Parameters query;
    if (type) {
        query.set("type", JsonValue(*type));
    }
    return makeTarget<AppTarget>("djangousers/" + id + "/integrations", net::HttpMethod::get,
                                 Task::withParameters(std::move(query)));
}

AppTarget AppTarget::getAppIntegrations(const std::string& appId) {
    return makeTarget<AppTarget>("apps/" + appId + "/integrations", net::HttpMethod::get,
                                 Task::plain());
}

}  // namespace vesk
