#include "services/network/targets/conversation_target.hpp"

#include "core/system_console.hpp"
#include "net/url_encoding.hpp"
#include "services/network/jpeg_reencoder.hpp"

namespace vesk {

namespace {

constexpr std::string_view kUrlQueryAllowed = "!$&'()*+,-./:;=?@_~";

ConversationTraget conversation(std::string path, net::HttpMethod method,
                                Task task = Task::plain()) {
    return makeTarget<ConversationTraget>(std::move(path), method, std::move(task), true);
}

}  // namespace

ConversationTraget ConversationTraget::get(const std::string& after, bool paginateIncluding,
                                           const std::string& paginateDirection) {
    Parameters query{
        {"after", JsonValue(net::percentEncode(after, kUrlQueryAllowed))},
        {"paginate_including", JsonValue(paginateIncluding)},
        {"paginate_direction", JsonValue(paginateDirection)},
    };
    return conversation("{path_root}/conversations", net::HttpMethod::get,
                        Task::withParameters(std::move(query)));
}

ConversationTraget ConversationTraget::getDialog(const std::string& dialogId) {
    return conversation("conversations/" + dialogId, net::HttpMethod::get);
}

ConversationTraget ConversationTraget::start(const std::string& message) {
    return conversation("users/{user_id}/startconversation", net::HttpMethod::post,
                        Task::withParameters({{"body", JsonValue(message)}}));
}

ConversationTraget ConversationTraget::reply(bool isFromUser, const std::string& dialogId,
                                             const std::string& body, const std::string& randomId,
                                             const std::string& type,
                                             const std::optional<std::string>& bodyJson) {
    Parameters parameters{
        {"body", JsonValue(body)},
        {"from_user", JsonValue(isFromUser)},
        {"random_id", JsonValue(randomId)},
        {"type", JsonValue(type)},
    };
    if (bodyJson) {
        parameters.set("body_json", JsonValue(*bodyJson));
    }
    return conversation("conversations/" + dialogId + "/reply", net::HttpMethod::post,
                        Task::withParameters(std::move(parameters)));
}

ConversationTraget ConversationTraget::markRead(const std::string& dialogId) {
    return conversation("conversations/" + dialogId + "/markread", net::HttpMethod::post);
}

ConversationTraget ConversationTraget::replyFile(bool /*isFromUser*/, const std::string& dialogId,
                                                 const std::filesystem::path& fileUrl,
                                                 const std::string& randomId) {
    const std::string path = "conversations/" + dialogId + "/replyfile";
    const std::string filename = fileUrl.filename().string();
    std::string extension = fileUrl.extension().string();
    if (!extension.empty()) {
        extension.erase(0, 1);
    }
    SystemConsole::shared().write(extension, "VeskNetwork");

    UploadPart part;
    part.name = "file";
    if (extension == "jpeg") {
        auto bytes = reencodeJpegAtLowestQuality(fileUrl);
        if (!bytes) {
            SystemConsole::shared().write("ERROR while replyFile", "VeskNetwork");
            return conversation(path, net::HttpMethod::post);
        }
        part.bytes = std::move(*bytes);
        part.filename = filename;
    } else {
        part.file = fileUrl;
    }
    Parameters url{{"filename", JsonValue(filename)}, {"random_id", JsonValue(randomId)}};
    return conversation(path, net::HttpMethod::post,
                        Task::multipart({std::move(part)}, std::move(url)));
}

MessageTarget MessageTarget::getMessages(const std::string& dialogId,
                                         const std::optional<std::string>& position) {
    Task task = Task::plain();
    if (position) {
        task = Task::withParameters({
            {"after", JsonValue(*position)},
            {"paginate_include", JsonValue("false")},
            {"paginate_direction", JsonValue("before")},
        });
    }
    return makeTarget<MessageTarget>("conversations/" + dialogId + "/parts", net::HttpMethod::get,
                                     std::move(task));
}

MessageTarget MessageTarget::updateMessage(const std::string& messageId,
                                           const std::string& metadata) {
    return makeTarget<MessageTarget>("conversationparts/" + messageId + "/meta_data",
                                     net::HttpMethod::post,
                                     Task::composite({{"meta_data", JsonValue(metadata)}}));
}

MessageTarget MessageTarget::deleteMessage(const std::string& messageId) {
    return makeTarget<MessageTarget>("conversationparts/" + messageId, net::HttpMethod::del,
                                     Task::composite({}, {{"app", JsonValue("{app_id}")}}));
}

MessageTarget MessageTarget::editMessage(const std::string& messageId, const std::string& body) {
    return makeTarget<MessageTarget>(
        "conversationparts/" + messageId, net::HttpMethod::put,
        Task::composite({{"app", JsonValue("{app_id}")}, {"body", JsonValue(body)}}));
}

}  // namespace vesk
