// Session requests: connect with the API key, authenticate a user, presence.
//
// Each service object has its own session id, fixed at construction.
// Threading: main executor; results arrive there.
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "core/json/decoding.hpp"
#include "core/response.hpp"
#include "core/result.hpp"
#include "core/rx/rx.hpp"
#include "services/models/user.hpp"
#include "services/network/targets/user_target.hpp"
#include "services/network/vesk_service.hpp"

namespace vesk {

using UserSession = std::pair<User, Messenger>;

class UserService : public VeskService<UserTarget> {
  public:
    // Without settings the service uses blank ones (no token, app or user id).
    UserService(const ApiEndpointPtr& endpoint, NetworkSettingsPtr networkSettings);

    // Made on first use: most services of a session never connect, and a random
    // id is not free.
    [[nodiscard]] const std::string& sessionId() const;

    // One Result of the connected user and messenger, or a failed stream when the
    // reply is not even an envelope or never arrives.
    [[nodiscard]] rx::Observable<Result<UserSession>> connect(const std::string& apiKey,
                                                              const std::string& version) const;

    // One Result of the authenticated user (with the new token) and `messenger`;
    // `oldUser` stands in when the reply's user does not decode.
    [[nodiscard]] rx::Observable<Result<std::optional<UserSession>>> auth(
        const std::string& userId, const Messenger& messenger, const std::optional<User>& oldUser,
        const std::string& userAuthKey) const;

    [[nodiscard]] rx::Observable<Result<Response<JsonValue>>> setPresence() const;
    // The same request, answering only the reply's HTTP status.
    [[nodiscard]] rx::Observable<long> setPresenceStatus() const;

    // What a connect or auth reply (status, body) becomes; a failed stream is the Error.
    static Expected<Result<UserSession>> mapConnectReply(long status, std::string_view body);
    static Expected<Result<std::optional<UserSession>>> mapAuthReply(
        long status, std::string_view body, const Messenger& messenger,
        const std::optional<User>& oldUser);

    // The device as connect describes it: the kernel release and the host name.
    static const std::string& systemVersion();
    static const std::string& deviceName();

  private:
    mutable std::string sessionId_;
};

}  // namespace vesk
