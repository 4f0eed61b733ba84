#include "services/app_service.hpp"

namespace vesk {

rx::Observable<Result<Response<JsonValue>>> AppService::getApp(const std::string& userId) const {
    return request<JsonValue>(AppTarget::getApps(userId));
}

rx::Observable<Result<Response<JsonValue>>> AppService::getDjangoUserIntegrations(
    const std::optional<std::string>& type) const {
    return request<JsonValue>(AppTarget::getDjangoUserIntegrations(networkSettings()->userId, type));
}

rx::Observable<Result<Response<JsonValue>>> AppService::getAppIntegrations() const {
    return request<JsonValue>(AppTarget::getAppIntegrations(networkSettings()->appId));
}

}  // namespace vesk
