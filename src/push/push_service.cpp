#include "push/push_service.hpp"

namespace vesk {

rx::Observable<Result<Response<JsonValue>>> PushService::send(const std::string& token,
                                                              const std::string& deviceId,
                                                              const std::string& type,
                                                              const std::string& userAgent) const {
    return request<JsonValue>(PushTarget::send(token, deviceId, type, userAgent));
}

rx::Observable<Result<Response<JsonValue>>> PushService::remove(const std::string& deviceId,
                                                                const std::string& type) const {
    return request<JsonValue>(PushTarget::remove(deviceId, type));
}

}  // namespace vesk
