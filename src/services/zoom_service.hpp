// The Zoom integration of a service user: the authorisation link, creating the
// integration from an authorisation code, and creating a meeting.
// Threading: main executor; results arrive there.
#pragma once

#include <string>

#include "services/models/integrations.hpp"
#include "services/network/targets/integration_targets.hpp"
#include "services/network/vesk_service.hpp"

namespace vesk {

class ZoomService : public VeskService<ZoomTarget> {
  public:
    using VeskService<ZoomTarget>::VeskService;

    [[nodiscard]] rx::Observable<Result<Response<JsonValue>>> getAuthLink(
        const std::string& integrationId, const std::string& appId) const;
    [[nodiscard]] rx::Observable<Result<Response<DjangoUserIntegration>>> createIntegration(
        const std::string& code) const;
    // Every meeting is called "Zoom meeting": `topic` is not sent.
    [[nodiscard]] rx::Observable<Result<Response<Meeting>>> createMeeting(
        const std::string& topic, const std::string& djangoUserIntegrationId) const;
};

}  // namespace vesk
