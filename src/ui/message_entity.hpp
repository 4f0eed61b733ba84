// A file attached to a message, and the form in which a message goes to the
// conversation page.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "services/models/message.hpp"

namespace vesk {

struct AttachmentEntity {
    std::string id;
    std::int64_t created = 0;
    std::string type;
    std::string filename;
    std::string mimeType;
    std::string url;
    std::int64_t size = 0;  // bytes
    std::string status;

    friend bool operator==(const AttachmentEntity&, const AttachmentEntity&) = default;
};

struct MessageEntity {
    std::string status;
    std::string id;
    std::int64_t randomId = 0;
    std::string body;
    std::string type;
    std::int64_t created = 0;
    std::string direction;
    bool read = false;
    std::string sentVia;
    std::string replyType;
    JsonValue from;
    std::optional<std::string> conversation;
    std::optional<JsonValue> bodyJson;
    std::optional<JsonValue> metaData;
    std::optional<std::vector<AttachmentEntity>> attachments;
};

// The message with every field copied, `status` set, and its attachment list
// decoded (absent when it is not a list of attachments) with each attachment's
// status set to `attachmentStatus`.
MessageEntity getMessageEntity(const Message& message, const std::string& status,
                               const std::string& attachmentStatus);

namespace json {

template <>
struct Codec<AttachmentEntity> {
    static Decoded<AttachmentEntity> decode(const JsonValue& value);
    static JsonValue encode(const AttachmentEntity& value);
    static std::string typeName() { return "AttachmentEntity"; }
};

template <>
struct Codec<MessageEntity> {
    // Every key always present (absent ones as null), "status" last.
    static JsonValue encode(const MessageEntity& value);
    static std::string typeName() { return "MessageEntity"; }
};

}  // namespace json
}  // namespace vesk
