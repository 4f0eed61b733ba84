#include "services/app_service.hpp"

namespace vesk {

rx::Observable<Result<Response<JsonValue>>> AppService::getApp(const std::string& userId) const {
    return request<JsonValue>(AppTarget::getApps(userId));
}

rx::Observable<Integrations> AppService::getDjangoUserIntegrations(
    const std::optional<std::string>& type) const {
    return requestValue<Integrations>(
        AppTarget::getDjangoUserIntegrations(networkSettings()->userId, type));
}

rx::Observable<AppIntegrationsContainer> AppService::getAppIntegrations() const {
    return requestValue<AppIntegrationsContainer>(
        AppTarget::getAppIntegrations(networkSettings()->appId));
}

}  // namespace vesk
