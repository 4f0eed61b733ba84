// Application and integration lookups. Their replies are read by the
// integration screens; here they come back as raw envelopes.
// Threading: main executor.
#pragma once

#include <optional>
#include <string>

#include "services/network/targets/user_target.hpp"
#include "services/network/vesk_service.hpp"

namespace vesk {

class AppService : public VeskService<AppTarget> {
public:
    using VeskService<AppTarget>::VeskService;

    [[nodiscard]] rx::Observable<Result<Response<JsonValue>>> getApp(const std::string& userId) const;
    [[nodiscard]] rx::Observable<Result<Response<JsonValue>>> getDjangoUserIntegrations(
        const std::optional<std::string>& type) const;
    [[nodiscard]] rx::Observable<Result<Response<JsonValue>>> getAppIntegrations() const;
};

}  // namespace vesk
