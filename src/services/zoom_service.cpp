#include "services/zoom_service.hpp"

namespace vesk {

rx::Observable<Result<Response<JsonValue>>> ZoomService::getAuthLink(
    const std::string& integrationId, const std::string& appId) const {
    return request<JsonValue>(ZoomTarget::getAuthLink(integrationId, appId));
}

rx::Observable<Result<Response<DjangoUserIntegration>>> ZoomService::createIntegration(
    const std::string& code) const {
    return request<DjangoUserIntegration>(ZoomTarget::createIntegration(code));
}

rx::Observable<Result<Response<Meeting>>> ZoomService::createMeeting(
    const std::string& topic, const std::string& djangoUserIntegrationId) const {
    return request<Meeting>(ZoomTarget::createMeeting(topic, djangoUserIntegrationId));
}

}  // namespace vesk
