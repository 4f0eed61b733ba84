#include "services/models/message.hpp"

namespace vesk::json {

#define VESK_TRY(var, expr)                        \
    auto var = (expr);                             \
    if (!var) {                                    \
        return unexpected(std::move(var).error()); \
    }

namespace {

std::optional<JsonValue> optPresent(const JsonObject& object, std::string_view key) {
    const auto* value = presentMember(object, key);
    return value != nullptr ? std::optional<JsonValue>(*value) : std::nullopt;
}

JsonValue orNull(const std::optional<JsonValue>& value) {
    return value ? *value : JsonValue();
}

}  // namespace

Decoded<Message> Codec<Message>::decode(const JsonValue& value) {
    VESK_TRY(object, requireObject(value, "Message"));
    const JsonObject& o = **object;
    VESK_TRY(body, reqString(o, "body"));
    VESK_TRY(type, reqString(o, "type"));
    VESK_TRY(created, reqInt(o, "created"));
    VESK_TRY(direction, reqString(o, "direction"));
    VESK_TRY(sentVia, reqString(o, "sent_via"));
    VESK_TRY(replyType, reqString(o, "reply_type"));
    const auto* from = member(o, "from");
    if (from == nullptr) {
        return unexpected(DecodeError::keyNotFound("from"));
    }
    std::optional<std::string> conversation;
    if (const auto* raw = presentMember(o, "conversation")) {
        if (raw->string() == nullptr) {
            return unexpected(
                DecodeError::typeMismatch("expected a string for key \"conversation\""));
        }
        conversation = *raw->string();
    }

    Message out;
    if (const auto* id = member(o, "id")) {
        if (const auto* text = id->string()) {
            out.id = *text;
        } else if (const auto* number = id->integer()) {
            out.id = std::to_string(*number);
        }
    }
    out.randomId = optInt(o, "random_id").value_or(0);
    out.body = std::move(body).value();
    out.type = std::move(type).value();
    out.created = *created;
    out.direction = std::move(direction).value();
    out.read = optBool(o, "read").value_or(false);
    out.sentVia = std::move(sentVia).value();
    out.replyType = std::move(replyType).value();
    out.from = *from;
    out.conversation = std::move(conversation);
    out.bodyJson = optPresent(o, "body_json");
    out.metaData = optPresent(o, "meta_data");
    out.attachments = optPresent(o, "attachments");
    out.expirationTime = optInt(o, "expiration_time");

    if (out.type == "article" && out.bodyJson) {
        if (const auto* bodyObject = out.bodyJson->object()) {
            if (auto name = optString(*bodyObject, "name")) {
                out.body = std::move(*name);
            }
        }
    }
    return out;
}

JsonValue Codec<Message>::encode(const Message& value) {
    JsonObject object;
    object.reserve(14);
    object.appendDistinct("id", JsonValue(value.id));
    object.appendDistinct("random_id", JsonValue(value.randomId));
    object.appendDistinct("body", JsonValue(value.body));
    object.appendDistinct("type", JsonValue(value.type));
    object.appendDistinct("created", JsonValue(value.created));
    object.appendDistinct("direction", JsonValue(value.direction));
    object.appendDistinct("read", JsonValue(value.read));
    object.appendDistinct("sent_via", JsonValue(value.sentVia));
    object.appendDistinct("reply_type", JsonValue(value.replyType));
    object.appendDistinct("from", value.from);
    object.appendDistinct("conversation",
                          value.conversation ? JsonValue(*value.conversation) : JsonValue());
    object.appendDistinct("body_json", orNull(value.bodyJson));
    object.appendDistinct("meta_data", orNull(value.metaData));
    object.appendDistinct("attachments", orNull(value.attachments));
    return JsonValue(std::move(object));
}

#undef VESK_TRY

}  // namespace vesk::json
