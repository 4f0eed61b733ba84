#include "services/conversation_service.hpp"

namespace vesk {

rx::Observable<Result<Response<std::vector<Dialog>>>> ConversationService::getDialogs(
    const std::string& after) const {
    return request<std::vector<Dialog>>(ConversationTraget::get(after, false, "before"));
}

rx::Observable<Result<Response<Dialog>>> ConversationService::get(
    const std::string& dialogId) const {
    return request<Dialog>(ConversationTraget::getDialog(dialogId)) | rx::shareReplay();
}

rx::Observable<Result<Response<SimpleId>>> ConversationService::start(
    const std::string& message) const {
    return request<SimpleId>(ConversationTraget::start(message));
}

rx::Observable<Result<Response<SimpleId>>> ConversationService::reply(
    const std::string& dialogId, const std::string& message, const std::string& randomId,
    const std::string& type, const std::optional<std::string>& bodyJson) const {
    return request<SimpleId>(
        ConversationTraget::reply(isFromUser(), dialogId, message, randomId, type, bodyJson));
}

rx::Observable<Result<Response<std::optional<JsonValue>>>> ConversationService::markRead(
    const std::string& dialogId) const {
    return request<std::optional<JsonValue>>(ConversationTraget::markRead(dialogId));
}

rx::Observable<SimpleId> ConversationService::replyFile(const std::string& dialogId,
                                                        const std::filesystem::path& fileUrl,
                                                        const std::string& randomId) const {
    return requestValue<SimpleId>(
        ConversationTraget::replyFile(isFromUser(), dialogId, fileUrl, randomId));
}

bool ConversationService::isFromUser() const {
    const auto& settings = provider().settings();
    return settings && settings->connection == NetworkSettings::ConnectionType::sdk;
}

}  // namespace vesk
