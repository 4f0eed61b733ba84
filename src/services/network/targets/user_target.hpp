// Session and application endpoints.
#pragma once

#include <optional>
#include <string>

#include "services/network/vesk_target.hpp"

namespace vesk {

struct UserTarget : TargetRequest {
    static UserTarget connect(const std::string& sessionId, const std::string& apiKey,
                              bool startSession, bool includeAutoEvents, bool includeJsScripts,
                              bool includePushDomains, const std::string& browser,
                              const std::string& os, const std::string& device,
                              const std::string& deviceType);
    static UserTarget auth(const std::string& userId, const std::string& hash);
    static UserTarget setPresence();
};

struct AppTarget : TargetRequest {
    static AppTarget getApps(const std::string& id);
    static AppTarget getDjangoUserIntegrations(const std::string& id,
                                               const std::optional<std::string>& type);
    static AppTarget getAppIntegrations(const std::string& appId);
};

}  // namespace vesk
