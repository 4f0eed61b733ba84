// The Calendly integration of a service user: create and delete it, list its
// active event types, and get the signature that authorises a booking.
// Threading: main executor; results arrive there.
#pragma once

#include <string>

#include "services/models/integrations.hpp"
#include "services/network/targets/integration_targets.hpp"
#include "services/network/vesk_service.hpp"

namespace vesk {

class CalendlyService : public VeskService<CalendlyTarget> {
  public:
    using VeskService<CalendlyTarget>::VeskService;

    [[nodiscard]] rx::Observable<Result<Response<JsonValue>>> createIntegration(
        const std::string& apiKey) const;
    [[nodiscard]] rx::Observable<Result<Response<JsonValue>>> deleteIntegration(
        const std::string& integrationId) const;
    [[nodiscard]] rx::Observable<Result<Response<EventsContainer>>> getEvents(
        const std::string& djangoUserIntegrationId) const;
    [[nodiscard]] rx::Observable<Result<Response<Signature>>> getSignature(
        const std::string& userId, const std::string& conversationId,
        const std::string& djangoUserIntegrationId) const;
};

}  // namespace vesk
