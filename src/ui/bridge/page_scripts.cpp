#include "ui/bridge/page_scripts.hpp"

#include "ui/bridge/script_text.hpp"

namespace vesk::script {
namespace {

constexpr std::string_view kTarget = "window.webView.";

std::string call(std::string_view method, std::string_view arguments) {
    std::string out(kTarget);
    out += method;
    out += '(';
    out += arguments;
    out += ')';
    return out;
}

std::string jsonText(const JsonValue& value) {
    return scriptSafeJson(value.encode());
}

std::string arrayJson(const JsonValue& value) {
    return value.isArray() ? jsonText(value) : "[]";
}

std::string withId(std::string_view method, std::string_view id, const JsonValue& update) {
    return call(method, scriptStringLiteral(id) + "," + jsonText(update));
}

}  // namespace

std::string initConversationList(std::string_view settings, const JsonValue& conversations) {
    return call("initConversationList", R"({"appSettings":)" + scriptSafeJson(settings) +
                                            R"(,"unstructuredConversationList":)" +
                                            arrayJson(conversations) + "}");
}

std::string addConversations(const JsonValue& conversations) {
    return call("addConversations", arrayJson(conversations));
}

std::string updateConversation(std::string_view id, const JsonValue& update) {
    return withId("updateConversation", id, update);
}

std::string removeConversation(std::string_view id) {
    return call("removeConversation", scriptStringLiteral(id));
}

std::string initDialogue(std::string_view settings) {
    return call("initDialogue", R"({"appSettings":)" + scriptSafeJson(settings) +
                                    R"(,"unstructuredMessagesData":[]})");
}

std::string addMessages(const std::vector<MessageEntity>& messages) {
    JsonArray items;
    items.reserve(messages.size());
    for (const auto& message : messages) {
        items.push_back(json::Codec<MessageEntity>::encode(message));
    }
    return call("addMessages", jsonText(JsonValue(std::move(items))));
}

std::string updateMessage(std::string_view id, const JsonValue& update) {
    return withId("updateMessage", id, update);
}

std::string updateMessageAttachment(std::string_view id, const JsonValue& update) {
    return withId("updateMessageAttachment", id, update);
}

std::string updateMessageInputStatus(std::string_view id, const JsonValue& update) {
    return withId("updateMessageInputStatus", id, update);
}

std::string deleteMessage(std::string_view id) {
    return call("deleteMessage", scriptStringLiteral(id));
}

std::string showBackContentLoader() {
    return call("showBackContentLoader", {});
}

std::string hideBackContentLoader() {
    return call("hideBackContentLoader", {});
}

std::optional<std::string> initPopup(std::string_view settings, std::string_view body) {
    const auto parsed = JsonValue::parse(body);
    if (!parsed) {
        return std::nullopt;
    }
    return call("initPopup", R"({"appSettings":)" + scriptSafeJson(settings) + R"(,"bodyJson":)" +
                                 jsonText(*parsed) + "}");
}

std::string initCalendlyWidget(std::string_view url, std::string_view signature) {
    return call("initCalendlyWidget", R"({"url":)" + scriptStringLiteral(url) + R"(,"signature":)" +
                                          scriptStringLiteral(signature) + "}");
}

std::string blurOnTouch() {
    return R"(var wrap = document.getElementById("webView");)"
           R"(wrap.addEventListener("touchstart", function() {document.activeElement.blur();});)";
}

std::string nudgeScroll() {
    return "document.body.scrollTop+=1;";
}

}  // namespace vesk::script
