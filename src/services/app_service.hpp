// Application and integration lookups.
// Threading: main executor.
#pragma once

#include <optional>
#include <string>

#include "services/models/integrations.hpp"
#include "services/network/targets/user_target.hpp"
#include "services/network/vesk_service.hpp"

namespace vesk {

class AppService : public VeskService<AppTarget> {
  public:
    using VeskService<AppTarget>::VeskService;

    [[nodiscard]] rx::Observable<Result<Response<JsonValue>>> getApp(
        const std::string& userId) const;

    // Single values: the reply's data, or a failed stream (an ApiError for an
    // unsuccessful envelope, the decoding error for a body that is none).
    // The integrations of the settings' user, only those of `type` when given.
    [[nodiscard]] rx::Observable<Integrations> getDjangoUserIntegrations(
        const std::optional<std::string>& type) const;
    // The integrations of the settings' app.
    [[nodiscard]] rx::Observable<AppIntegrationsContainer> getAppIntegrations() const;
};

}  // namespace vesk
