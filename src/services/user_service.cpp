#include "services/user_service.hpp"

#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <array>

#include "services/session_crypto.hpp"
#include "services/wire_identity.hpp"

namespace vesk {

namespace {

NetworkSettingsPtr orBlank(NetworkSettingsPtr settings) {
    if (settings) {
        return settings;
    }
    return std::make_shared<const NetworkSettings>(NetworkSettings::ConnectionType::sdk, "", "",
                                                   "");
}

std::string newSessionId() {
    std::string id = randomUuid();
    std::erase(id, '-');
    return id;
}

template <class T>
Expected<Result<T>> errorReply(std::string_view body) {
    auto envelope = json::decodeText<Response<JsonValue>>(body);
    if (!envelope) {
        return unexpected(std::move(envelope).error());
    }
    return Result<T>::failure(UIRepresentableError::custom(envelope->meta.printError()));
}

}  // namespace

UserService::UserService(const ApiEndpointPtr& endpoint, NetworkSettingsPtr networkSettings)
    : VeskService<UserTarget>(endpoint, orBlank(std::move(networkSettings))) {}

const std::string& UserService::sessionId() const {
    if (sessionId_.empty()) {
        sessionId_ = newSessionId();
    }
    return sessionId_;
}

// Both are read once: they do not change while the process runs, and every
// connect sends them.
const std::string& UserService::systemVersion() {
    static const std::string version = [] {
        utsname names{};
        return ::uname(&names) == 0 ? std::string(names.release) : std::string("unknown");
    }();
    return version;
}

const std::string& UserService::deviceName() {
    static const std::string name = [] {
        std::array<char, 256> host{};
        return ::gethostname(host.data(), host.size() - 1) == 0 ? std::string(host.data())
                                                                : std::string("unknown");
    }();
    return name;
}

Expected<Result<UserSession>> UserService::mapConnectReply(long status, std::string_view body) {
    if (status >= 400) {
        return errorReply<UserSession>(body);
    }
    JsonValue parsed = JsonValue::parse(body).value_or(JsonValue());
    auto user = json::Codec<User>::decode(parsed);
    if (!user) {
        return Result<UserSession>::failure(UIRepresentableError::custom(
            "connect(withKey: withVersion:) Ошибка десериализации модели User"));
    }
    auto messenger = json::Codec<Messenger>::decode(std::move(parsed));
    if (!messenger) {
        return Result<UserSession>::failure(UIRepresentableError::custom(
            "connect(withKey: withVersion:) Ошибка десериализации модели Messenger"));
    }
    return Result<UserSession>::success({std::move(user).value(), std::move(messenger).value()});
}

Expected<Result<std::optional<UserSession>>> UserService::mapAuthReply(
    long status, std::string_view body, const Messenger& messenger,
    const std::optional<User>& oldUser) {
    using Out = Result<std::optional<UserSession>>;
    if (status >= 400) {
        return errorReply<std::optional<UserSession>>(body);
    }
    const auto userError = [] {
        return Out::failure(UIRepresentableError::custom(
            "auth(withUserId: withUserAuthKey:) Ошибка десериализации модели User"));
    };
    const auto body_ = JsonValue::parse(body);
    if (!body_) {
        return userError();
    }
    const auto dataText = body_->getString("data");
    if (!dataText) {
        return userError();
    }
    const auto data = JsonValue::parse(*dataText);
    if (!data) {
        return userError();
    }
    const auto token = data->getString("auth_token");
    if (!token) {
        return Out::failure(UIRepresentableError::custom("Wrong user serializator"));
    }
    auto user = json::Codec<User>::decode(*body_);
    if (user) {
        User out = std::move(user).value();
        out.token = *token;
        return Out::success(UserSession{std::move(out), messenger});
    }
    if (oldUser) {
        User out = *oldUser;
        out.token = *token;
        return Out::success(UserSession{std::move(out), messenger});
    }
    return Out::failure(UIRepresentableError::custom("Wrong old user"));
}

rx::Observable<Result<UserSession>> UserService::connect(const std::string& apiKey,
                                                         const std::string& version) const {
    auto target = UserTarget::connect(
        sessionId(), apiKey, true, false, false, false, std::string(wire::kBrowserPrefix) + version,
        std::string(wire::kOsPrefix) + systemVersion(), deviceName(), "phone");
    return requestRaw(std::move(target)) | rx::tryMap([](const net::HttpReply& reply) {
               return mapConnectReply(reply.status, reply.body);
           });
}

rx::Observable<Result<std::optional<UserSession>>> UserService::auth(
    const std::string& userId, const Messenger& messenger, const std::optional<User>& oldUser,
    const std::string& userAuthKey) const {
    auto target = UserTarget::auth(userId, hmacSha256Hex(userAuthKey, userId));
    return requestRaw(std::move(target)) |
           rx::tryMap([messenger, oldUser](const net::HttpReply& reply) {
               return mapAuthReply(reply.status, reply.body, messenger, oldUser);
           });
}

rx::Observable<Result<Response<JsonValue>>> UserService::setPresence() const {
    return request<JsonValue>(UserTarget::setPresence());
}

rx::Observable<long> UserService::setPresenceStatus() const {
    return requestRaw(UserTarget::setPresence()) |
           rx::map([](const net::HttpReply& reply) { return reply.status; });
}

}  // namespace vesk
