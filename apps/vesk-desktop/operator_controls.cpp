#include "operator_controls.hpp"

#include <libsoup/soup.h>

#include "vesk/chat.hpp"
#include "vesk/json_value.hpp"
#include "vesk/vesk.hpp"

namespace vesk::desktop {

namespace {

SoupSession* session() {
    static SoupSession* s = soup_session_new();
    return s;
}

std::string request(const std::string& method, const std::string& url, const std::string& json) {
    SoupMessage* message = soup_message_new(method.c_str(), url.c_str());
    if (message == nullptr) {
        return "{\"error\":\"bad url\"}";
    }
    if (!json.empty()) {
        GBytes* body = g_bytes_new(json.data(), json.size());
        soup_message_set_request_body_from_bytes(message, "application/json", body);
        g_bytes_unref(body);
    }
    GError* error = nullptr;
    GBytes* reply = soup_session_send_and_read(session(), message, nullptr, &error);
    std::string out;
    if (reply != nullptr) {
        gsize size = 0;
        const auto* data = static_cast<const char*>(g_bytes_get_data(reply, &size));
        out.assign(data, size);
        g_bytes_unref(reply);
    } else {
        out = std::string("{\"error\":\"") + (error != nullptr ? error->message : "?") + "\"}";
    }
    if (error != nullptr) {
        g_error_free(error);
    }
    g_object_unref(message);
    return out;
}

std::string quoted(const std::string& text) {
    return JsonValue(text).encode();
}

}  // namespace

const char* const OperatorControls::kUsage =
    "Operator commands (one a line):\n"
    "  reply <text>          a reply in the conversation on screen (else the newest)\n"
    "  typing                the operator types\n"
    "  popup <text>          a popup card over the shop\n"
    "  chat-popup <text>     a chat popup: a new conversation the chat opens on\n"
    "  file <name> [bytes]   a reply carrying a file (downloads are slowed to watch them)\n"
    "  booking | meeting     a booking card, or a reply with a meeting link\n";

OperatorControls::OperatorControls(std::string serverUrl, std::string hostUserId)
    : serverUrl_(std::move(serverUrl)), hostUserId_(std::move(hostUserId)) {}

std::string OperatorControls::post(const std::string& path, const std::string& json) {
    return request("POST", serverUrl_ + path, json);
}

std::string OperatorControls::userId() {
    if (!userId_.empty()) {
        return userId_;
    }
    const auto state = JsonValue::parse(request("GET", serverUrl_ + "_dev/state", ""));
    const auto* root = state ? state->object() : nullptr;
    const auto* users = root ? root->find("users") : nullptr;
    const auto* list = users && *users ? (*users)->array() : nullptr;
    for (std::size_t i = 0; list != nullptr && i < list->size(); ++i) {
        const auto* user = (*list)[i].object();
        const auto* hostId = user ? user->find("user_id") : nullptr;
        const auto* id = user ? user->find("id") : nullptr;
        if (hostId && *hostId && (*hostId)->string() && *(*hostId)->string() == hostUserId_ && id &&
            *id && (*id)->string()) {
            userId_ = *(*id)->string();
        }
    }
    return userId_;
}

std::string OperatorControls::conversationId() {
    return Vesk::shared().chat().currentConversation().value_or("");
}

std::string OperatorControls::run(const std::string& line) {
    const auto space = line.find(' ');
    const std::string name = line.substr(0, space);
    const std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
    const std::string user = userId();
    if (user.empty()) {
        return "the user " + hostUserId_ + " is not known to the server yet";
    }
    const std::string conversation = conversationId();
    const std::string target = conversation.empty() ? "\"user_id\":" + quoted(user)
                                                    : "\"conversation_id\":" + quoted(conversation);
    if (name == "reply" && !rest.empty()) {
        return post("_dev/operator/reply", "{" + target + ",\"text\":" + quoted(rest) + "}");
    }
    if (name == "typing") {
        if (conversation.empty()) {
            return "typing: open a conversation first";
        }
        return post("_dev/operator/typing", "{" + target + "}");
    }
    if (name == "popup" && !rest.empty()) {
        return post("_dev/operator/popup",
                    "{\"user_id\":" + quoted(user) + ",\"body_json\":{\"title\":" + quoted(rest) +
                        ",\"text\":\"A message from the shop\",\"button\":\"OK\"}}");
    }
    if (name == "chat-popup" && !rest.empty()) {
        return post("_dev/operator/popup_chat",
                    "{\"user_id\":" + quoted(user) + ",\"text\":" + quoted(rest) + "}");
    }
    if (name == "file" && !rest.empty()) {
        const auto gap = rest.find(' ');
        const std::string file = rest.substr(0, gap);
        const std::string size = gap == std::string::npos ? "600000" : rest.substr(gap + 1);
        post("_dev/faults",
             R"({"path":"/files/","action":"slow","chunk_bytes":16384,"delay_ms":40,"count":-1})");
        return post("_dev/operator/reply_file",
                    "{" + target + ",\"filename\":" + quoted(file) + ",\"size\":" + size + "}");
    }
    if (name == "booking") {
        return post("_dev/operator/booking", "{" + target + "}");
    }
    if (name == "meeting") {
        return post("_dev/operator/meeting", "{" + target + "}");
    }
    return std::string("unknown command\n") + kUsage;
}

}  // namespace vesk::desktop
