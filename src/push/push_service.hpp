// Subscribing this device to the service's pushes and unsubscribing it.
// Threading: main executor; replies arrive there.
#pragma once

#include <string>

#include "services/network/targets/integration_targets.hpp"
#include "services/network/vesk_service.hpp"

namespace vesk {

class PushService : public VeskService<PushTarget> {
  public:
    using VeskService<PushTarget>::VeskService;

    [[nodiscard]] rx::Observable<Result<Response<JsonValue>>> send(
        const std::string& token, const std::string& deviceId, const std::string& type,
        const std::string& userAgent) const;
    // `delete`.
    [[nodiscard]] rx::Observable<Result<Response<JsonValue>>> remove(const std::string& deviceId,
                                                                     const std::string& type) const;
};

}  // namespace vesk
