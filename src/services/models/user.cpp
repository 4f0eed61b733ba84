#include "services/models/user.hpp"

namespace vesk::json {

namespace {

Decoded<const JsonObject*> objectMember(const JsonObject& object, std::string_view key) {
    const auto* value = member(object, key);
    if (value == nullptr) {
        return unexpected(DecodeError::keyNotFound(key));
    }
    return requireObject(*value, key);
}

Decoded<const JsonObject*> dataOf(const JsonValue& body, std::string_view typeName) {
    auto root = requireObject(body, typeName);
    if (!root) {
        return root;
    }
    return objectMember(**root, "data");
}

Decoded<std::vector<std::string>> reqStrings(const JsonObject& object, std::string_view key) {
    const auto* value = member(object, key);
    if (value == nullptr) {
        return unexpected(DecodeError::keyNotFound(key));
    }
    const auto* items = value->array();
    if (items == nullptr) {
        return unexpected(DecodeError::typeMismatch(key));
    }
    std::vector<std::string> out;
    out.reserve(items->size());
    for (const auto& item : *items) {
        const auto* text = item.string();
        if (text == nullptr) {
            return unexpected(DecodeError::typeMismatch(key));
        }
        out.push_back(*text);
    }
    return out;
}

}  // namespace

#define VESK_TRY(var, expr)                        \
    auto var = (expr);                             \
    if (!var) {                                    \
        return unexpected(std::move(var).error()); \
    }

Decoded<User> Codec<User>::decode(const JsonValue& body) {
    VESK_TRY(data, dataOf(body, "User"));
    VESK_TRY(user, objectMember(**data, "user"));
    const JsonObject& u = **user;
    VESK_TRY(id, reqString(u, "id"));
    VESK_TRY(banned, reqBool(u, "is_banned"));
    VESK_TRY(has, reqBool(u, "has_conversations"));
    VESK_TRY(unread, reqStrings(u, "conversations_unread"));
    User out;
    out.id = std::move(id).value();
    out.token = optString(**data, "auth_token");
    out.isBanned = *banned;
    out.hasConversations = *has;
    out.conversationsUnread = std::move(unread).value();
    return out;
}

namespace {

// Every field but the connect data.
Decoded<Messenger> messengerFields(const JsonValue& body) {
    VESK_TRY(data, dataOf(body, "Messenger"));
    VESK_TRY(app, objectMember(**data, "app"));
    const JsonObject& a = **app;
    VESK_TRY(settings, objectMember(a, "settings"));
    const JsonObject& s = **settings;
    VESK_TRY(appId, reqString(a, "id"));
    VESK_TRY(name, reqString(a, "name"));
    VESK_TRY(color, reqString(s, "messenger_collapsed_color"));
    VESK_TRY(avatar, reqString(s, "messenger_avatar"));
    VESK_TRY(welcome, reqString(s, "messenger_welcome_message"));
    VESK_TRY(poweredBy, reqBool(s, "messenger_show_powered_by"));
    VESK_TRY(vk, reqBool(s, "messenger_icon_vk_show"));
    VESK_TRY(viber, reqBool(s, "messenger_icon_viber_show"));
    VESK_TRY(facebook, reqBool(s, "messenger_icon_facebook_show"));
    VESK_TRY(telegram, reqBool(s, "messenger_icon_telegram_show"));
    Messenger out;
    out.appId = std::move(appId).value();
    out.name = std::move(name).value();
    out.color = std::move(color).value();
    out.avatar = std::move(avatar).value();
    out.welcomeMessage = std::move(welcome).value();
    out.isPoweredByVisible = *poweredBy;
    out.isVkVisible = *vk;
    out.isViberVisible = *viber;
    out.isFacebookVisible = *facebook;
    out.isTelegramVisible = *telegram;
    out.vkText = optString(s, "messenger_icon_vk_text");
    out.viberText = optString(s, "messenger_icon_viber_text");
    out.facebookText = optString(s, "messenger_icon_facebook_text");
    out.telegramText = optString(s, "messenger_icon_telegram_text");
    return out;
}

}  // namespace

Decoded<Messenger> Codec<Messenger>::decode(const JsonValue& body) {
    auto out = messengerFields(body);
    if (out) {
        out->connectData = SharedJson(*member(*body.object(), "data"));
    }
    return out;
}

Decoded<Messenger> Codec<Messenger>::decode(JsonValue&& body) {
    auto out = messengerFields(body);
    if (out) {
        out->connectData = SharedJson(std::move(**body.object()->find("data")));
    }
    return out;
}

Decoded<Auth> Codec<Auth>::decode(const JsonValue& body) {
    VESK_TRY(data, dataOf(body, "Auth"));
    VESK_TRY(result, reqString(**data, "result"));
    return Auth{std::nullopt, std::move(result).value()};
}

#undef VESK_TRY

}  // namespace vesk::json
