#include "push/push_use_cases.hpp"

#include <re2/re2.h>

#include "services/session_crypto.hpp"

namespace vesk {

namespace {

constexpr std::string_view kImageMarker = "\xF0\x9F\x96\xBC\xEF\xB8\x8F";  // U+1F5BC U+FE0F
constexpr std::string_view kFileMarker = "\xF0\x9F\x93\x8E";               // U+1F4CE

// The sender decoded as an operator: "type" must be a string; "name" counts only
// when it is one.
std::string titleFrom(const JsonValue& from) {
    const auto* object = from.object();
    if (object == nullptr) {
        return "";
    }
    const auto* type = object->find("type");
    if (type == nullptr || !type->has_value() || (*type)->string() == nullptr) {
        return "";
    }
    const auto* name = object->find("name");
    if (name != nullptr && name->has_value() && (*name)->string() != nullptr) {
        return *(*name)->string();
    }
    return "Unknown admin name";
}

std::optional<std::string> stringMember(const JsonObject& object, std::string_view key) {
    const auto* member = object.find(key);
    if (member == nullptr || !member->has_value() || (*member)->string() == nullptr) {
        return std::nullopt;
    }
    return *(*member)->string();
}

std::string bodyOf(const Message& message) {
    std::string body = message.body;
    const auto* items = message.bodyJson ? message.bodyJson->array() : nullptr;
    const auto* first = items != nullptr && !items->empty() ? items->front().object() : nullptr;
    if (first != nullptr) {
        const auto mimeType = stringMember(*first, "mime_type");
        const auto filename = stringMember(*first, "filename");
        const auto slash = mimeType ? mimeType->find('/') : std::string::npos;
        if (slash != std::string::npos && filename) {
            const auto marker = mimeType->substr(0, slash) == "image" ? kImageMarker : kFileMarker;
            body = std::string(marker) + " " + (message.body.empty() ? *filename : message.body);
        }
    }
    static const RE2 kTag("<[^>]+>");
    RE2::GlobalReplace(&body, kTag, "");
    return body;
}

}  // namespace

std::function<rx::Observable<Message>(rx::Observable<Message>)>
checkNeededShowPushNotificationUseCase(PushEnvironment environment) {
    return [environment = std::move(environment)](rx::Observable<Message> messages) {
        return messages | rx::filter([environment](const Message& message) {
                   if (!environment.hasMessenger || !environment.hasMessenger()) {
                       return false;
                   }
                   if (message.type == "reply_user") {
                       return false;
                   }
                   const auto onScreen = environment.conversationOnScreen
                                             ? environment.conversationOnScreen()
                                             : std::nullopt;
                   return !onScreen || !message.conversation || *onScreen != *message.conversation;
               });
    };
}

PushNotificationData pushNotificationData(const Message& message) {
    return {titleFrom(message.from), bodyOf(message), message.conversation.value_or("0"),
            message.id};
}

std::function<rx::Observable<PushNotificationData>(rx::Observable<Message>)>
getPushNotificationDataUseCase() {
    return [](rx::Observable<Message> messages) {
        return messages |
               rx::map([](const Message& message) { return pushNotificationData(message); });
    };
}

NotificationRequest pushNotificationRequest(const PushNotificationData& data) {
    NotificationContent content;
    content.title = data.title;
    content.body = data.body;
    content.sound = "default";
    const bool hasConversation = data.conversationId != "0";
    if (hasConversation) {
        content.threadIdentifier = data.conversationId;
    }
    content.summaryArgument = data.title;
    content.summaryArgumentCount = 1;
    if (hasConversation) {
        content.userInfo.set("conversation_id", JsonValue(data.conversationId));
    }
    content.userInfo.set("body", JsonValue(data.body));
    content.userInfo.set("localPushType", JsonValue("sdk"));
    content.userInfo.set("is_vesk", JsonValue(true));
    content.userInfo.set("id", JsonValue(data.id));
    return {randomUuid(), std::move(content),
            NotificationTrigger{std::chrono::duration<double>(1.0), false}};
}

std::function<rx::Observable<NotificationRequest>(rx::Observable<PushNotificationData>)>
showPushNotifyUseCase(std::function<std::shared_ptr<NotificationCenter>()> center) {
    return [center = std::move(center)](rx::Observable<PushNotificationData> data) {
        return data | rx::map([center](const PushNotificationData& value) {
                   auto request = pushNotificationRequest(value);
                   center()->add(request);
                   return request;
               });
    };
}

}  // namespace vesk
