#include "services/calendly_service.hpp"

namespace vesk {

rx::Observable<Result<Response<JsonValue>>> CalendlyService::createIntegration(
    const std::string& apiKey) const {
    return request<JsonValue>(CalendlyTarget::createIntegration(apiKey));
}

rx::Observable<Result<Response<JsonValue>>> CalendlyService::deleteIntegration(
    const std::string& integrationId) const {
    return request<JsonValue>(CalendlyTarget::deleteIntegration(integrationId));
}

rx::Observable<Result<Response<EventsContainer>>> CalendlyService::getEvents(
    const std::string& djangoUserIntegrationId) const {
    return request<EventsContainer>(CalendlyTarget::getEvents(djangoUserIntegrationId));
}

rx::Observable<Result<Response<Signature>>> CalendlyService::getSignature(
    const std::string& userId, const std::string& conversationId,
    const std::string& djangoUserIntegrationId) const {
    return request<Signature>(
        CalendlyTarget::getSignature(userId, conversationId, djangoUserIntegrationId));
}

}  // namespace vesk
