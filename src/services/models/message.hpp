// One part of a conversation, from the API or the real-time channel.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/json/decoding.hpp"

namespace vesk {

struct Message {
    std::string id;
    std::int64_t randomId = 0;
    std::string body;
    std::string type;
    std::int64_t created = 0;  // seconds since 1970
    std::string direction;
    bool read = false;
    std::string sentVia;
    std::string replyType;
    JsonValue from;
    std::optional<std::string> conversation;
    std::optional<JsonValue> bodyJson;
    std::optional<JsonValue> metaData;
    std::optional<JsonValue> attachments;  // the raw attachment list
    std::optional<std::int64_t> expirationTime;

    // Messages are the same message when their ids are; nothing else counts.
    friend bool operator==(const Message& a, const Message& b) { return a.id == b.id; }
};

namespace json {

template <>
struct Codec<Message> {
    // An "article" takes its body from body_json's "name" when that is a string.
    static Decoded<Message> decode(const JsonValue& value);
    // Every key but "expiration_time", in field order; absent ones as null.
    static JsonValue encode(const Message& value);
    static std::string typeName() { return "Message"; }
};

}  // namespace json
}  // namespace vesk

template <>
struct std::hash<vesk::Message> {
    std::size_t operator()(const vesk::Message& message) const noexcept {
        return std::hash<std::string>{}(message.id);
    }
};
