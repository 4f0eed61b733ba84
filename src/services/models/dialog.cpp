#include "services/models/dialog.hpp"

#include <limits>

namespace vesk::json {

#define VESK_TRY(var, expr)                        \
    auto var = (expr);                             \
    if (!var) {                                    \
        return unexpected(std::move(var).error()); \
    }

namespace {

// A count that does not fit an int is refused rather than truncated.
Decoded<int> reqCount(const JsonObject& object, std::string_view key) {
    auto value = reqInt(object, key);
    if (!value) {
        return unexpected(std::move(value).error());
    }
    if (*value < std::numeric_limits<int>::min() || *value > std::numeric_limits<int>::max()) {
        return unexpected(
            DecodeError::typeMismatch("integer out of range for key \"" + std::string(key) + "\""));
    }
    return static_cast<int>(*value);
}

Decoded<const JsonValue*> reqMember(const JsonObject& object, std::string_view key) {
    const auto* value = member(object, key);
    if (value == nullptr) {
        return unexpected(DecodeError::keyNotFound(key));
    }
    return value;
}

}  // namespace

Decoded<Dialog> Codec<Dialog>::decode(const JsonValue& value) {
    VESK_TRY(object, requireObject(value, "Dialog"));
    const JsonObject& o = **object;
    VESK_TRY(id, reqString(o, "id"));
    VESK_TRY(created, reqInt(o, "created"));
    VESK_TRY(replied, reqBool(o, "replied"));
    VESK_TRY(type, reqString(o, "type"));
    VESK_TRY(replyType, reqString(o, "reply_type"));
    VESK_TRY(partLastValue, reqMember(o, "part_last"));
    VESK_TRY(partLast, Codec<Message>::decode(**partLastValue));
    VESK_TRY(partsCount, reqCount(o, "parts_count"));
    VESK_TRY(lastAdminValue, reqMember(o, "last_admin"));
    VESK_TRY(lastAdmin, Codec<Admin>::decode(**lastAdminValue));
    VESK_TRY(lastUpdate, reqInt(o, "last_update"));
    VESK_TRY(unreadPartsCount, reqCount(o, "unread_parts_count"));
    VESK_TRY(userUnreadCount, reqCount(o, "user_unread_count"));

    Dialog out;
    out.id = std::move(id).value();
    out.created = *created;
    out.replied = *replied;
    out.message = optString(o, "message");
    out.type = std::move(type).value();
    out.replyType = std::move(replyType).value();
    out.partLast = std::move(partLast).value();
    out.partsCount = *partsCount;
    out.lastAdmin = std::move(lastAdmin).value();
    out.lastUpdate = *lastUpdate;
    out.unreadPartsCount = *unreadPartsCount;
    if (const auto* bodyJson = presentMember(o, "body_json")) {
        out.bodyJson = *bodyJson;
    }
    out.userUnreadCount = *userUnreadCount;
    out.expirationTime = optInt(o, "expiration_time");
    return out;
}

JsonValue Codec<Dialog>::encode(const Dialog& value) {
    JsonObject object;
    object.reserve(14);
    const auto put = [&object](const char* key, JsonValue item) {
        object.appendDistinct(key, std::optional<JsonValue>(std::move(item)));
    };
    put("id", JsonValue(value.id));
    put("created", JsonValue(value.created));
    put("replied", JsonValue(value.replied));
    put("message", value.message ? JsonValue(*value.message) : JsonValue());
    put("type", JsonValue(value.type));
    put("reply_type", JsonValue(value.replyType));
    put("part_last", Codec<Message>::encode(value.partLast));
    put("parts_count", JsonValue(value.partsCount));
    put("last_admin", Codec<Admin>::encode(value.lastAdmin));
    put("last_update", JsonValue(value.lastUpdate));
    put("unread_parts_count", JsonValue(value.unreadPartsCount));
    put("body_json", value.bodyJson ? *value.bodyJson : JsonValue());
    put("user_unread_count", JsonValue(value.userUnreadCount));
    put("expiration_time", value.expirationTime ? JsonValue(*value.expirationTime) : JsonValue());
    return JsonValue(std::move(object));
}

#undef VESK_TRY

}  // namespace vesk::json
