#include "ui/message_entity.hpp"

namespace vesk {

namespace json {

#define VESK_TRY(var, expr)                        \
    auto var = (expr);                             \
    if (!var) {                                    \
        return unexpected(std::move(var).error()); \
    }

Decoded<AttachmentEntity> Codec<AttachmentEntity>::decode(const JsonValue& value) {
    VESK_TRY(object, requireObject(value, "AttachmentEntity"));
    const JsonObject& o = **object;
    const auto* id = member(o, "id");
    if (id == nullptr) {
        return unexpected(DecodeError::keyNotFound("id"));
    }
    std::string idText;
    if (const auto* text = id->string()) {
        idText = *text;
    } else if (const auto* number = id->integer()) {
        idText = std::to_string(*number);
    } else {
        return unexpected(
            DecodeError::typeMismatch("expected a string or an integer for key \"id\""));
    }
    VESK_TRY(created, reqInt(o, "created"));
    VESK_TRY(type, reqString(o, "type"));
    VESK_TRY(filename, reqString(o, "filename"));
    VESK_TRY(mimeType, reqString(o, "mime_type"));
    VESK_TRY(url, reqString(o, "url"));
    VESK_TRY(size, reqInt(o, "size"));

    AttachmentEntity out;
    out.id = std::move(idText);
    out.created = *created;
    out.type = std::move(type).value();
    out.filename = std::move(filename).value();
    out.mimeType = std::move(mimeType).value();
    out.url = std::move(url).value();
    out.size = *size;
    out.status = optString(o, "status").value_or(std::string());
    return out;
}

#undef VESK_TRY

JsonValue Codec<AttachmentEntity>::encode(const AttachmentEntity& value) {
    JsonObject object;
    object.reserve(8);
    object.appendDistinct("id", JsonValue(value.id));
    object.appendDistinct("created", JsonValue(value.created));
    object.appendDistinct("type", JsonValue(value.type));
    object.appendDistinct("filename", JsonValue(value.filename));
    object.appendDistinct("mime_type", JsonValue(value.mimeType));
    object.appendDistinct("url", JsonValue(value.url));
    object.appendDistinct("size", JsonValue(value.size));
    object.appendDistinct("status", JsonValue(value.status));
    return JsonValue(std::move(object));
}

JsonValue Codec<MessageEntity>::encode(const MessageEntity& value) {
    JsonObject object;
    object.reserve(15);
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
    object.appendDistinct("body_json", value.bodyJson ? *value.bodyJson : JsonValue());
    object.appendDistinct("meta_data", value.metaData ? *value.metaData : JsonValue());
    if (value.attachments) {
        JsonArray items;
        items.reserve(value.attachments->size());
        for (const auto& attachment : *value.attachments) {
            items.push_back(Codec<AttachmentEntity>::encode(attachment));
        }
        object.appendDistinct("attachments", JsonValue(std::move(items)));
    } else {
        object.appendDistinct("attachments", JsonValue());
    }
    object.appendDistinct("status", JsonValue(value.status));
    return JsonValue(std::move(object));
}

}  // namespace json

namespace {

std::optional<std::vector<AttachmentEntity>> decodeAttachments(const JsonValue& raw) {
    using Attachments = std::vector<AttachmentEntity>;
    auto direct = json::Codec<Attachments>::decode(raw);
    if (direct) {
        return std::move(direct).value();
    }
    // A list built in code may hold whole numbers as doubles; its JSON text
    // reads them back as integers, as a reply from the service would.
    if (const auto reparsed = JsonValue::parse(raw.encode())) {
        if (auto decoded = json::Codec<Attachments>::decode(*reparsed)) {
            return std::move(decoded).value();
        }
    }
    return std::nullopt;
}

}  // namespace

MessageEntity getMessageEntity(const Message& message, const std::string& status,
                               const std::string& attachmentStatus) {
    MessageEntity out;
    out.status = status;
    out.id = message.id;
    out.randomId = message.randomId;
    out.body = message.body;
    out.type = message.type;
    out.created = message.created;
    out.direction = message.direction;
    out.read = message.read;
    out.sentVia = message.sentVia;
    out.replyType = message.replyType;
    out.from = message.from;
    out.conversation = message.conversation;
    out.bodyJson = message.bodyJson;
    out.metaData = message.metaData;
    if (message.attachments) {
        out.attachments = decodeAttachments(*message.attachments);
        if (out.attachments) {
            for (auto& attachment : *out.attachments) {
                attachment.status = attachmentStatus;
            }
        }
    }
    return out;
}

}  // namespace vesk
