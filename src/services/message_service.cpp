#include "services/message_service.hpp"

namespace vesk {

rx::Observable<Result<Response<std::vector<Message>>>> MessageService::getMessages(
    const std::string& dialogId, const std::optional<std::string>& position) const {
    return request<std::vector<Message>>(MessageTarget::getMessages(dialogId, position));
}

rx::Observable<Result<Response<JsonValue>>> MessageService::updateMessage(
    const std::string& messageId, const std::string& meta) const {
    return request<JsonValue>(MessageTarget::updateMessage(messageId, meta));
}

rx::Observable<JsonValue> MessageService::deleteMessage(const std::string& messageId) const {
    return requestValue<JsonValue>(MessageTarget::deleteMessage(messageId));
}

rx::Observable<JsonValue> MessageService::editMessage(const std::string& messageId,
                                                      const std::string& body) const {
    return requestValue<JsonValue>(MessageTarget::editMessage(messageId, body));
}

}  // namespace vesk
