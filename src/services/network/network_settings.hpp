// The parameters of the current connection to the service.
//
// A new object is built on every change; a published one is never modified.
#pragma once

#include <memory>
#include <string>

namespace vesk {

class NetworkSettings {
  public:
    // `app` is an operator application's mode; the library always builds `sdk`.
    enum class ConnectionType { app, sdk };

    NetworkSettings(ConnectionType connectionType, std::string userToken, std::string applicationId,
                    std::string user)
        : connection(connectionType),
          token(std::move(userToken)),
          appId(std::move(applicationId)),
          userId(std::move(user)) {}

    // The token the service expects: itself for `sdk`, "appm-<appId>-<token>" for `app`.
    [[nodiscard]] std::string getToken() const {
        if (connection == ConnectionType::app) {
            return "appm-" + appId + "-" + token;
        }
        return token;
    }

    friend bool operator==(const NetworkSettings&, const NetworkSettings&) = default;

    ConnectionType connection;
    std::string token;
    std::string appId;
    std::string userId;
};

using NetworkSettingsPtr = std::shared_ptr<const NetworkSettings>;

}  // namespace vesk
