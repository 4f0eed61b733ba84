// One conversation ("dialog") of the user.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "services/models/message.hpp"
#include "services/models/person.hpp"

namespace vesk {

struct Dialog {
    std::string id;
    std::int64_t created = 0;
    bool replied = false;
    std::optional<std::string> message;
    std::string type;
    std::string replyType;
    Message partLast;
    int partsCount = 0;
    Admin lastAdmin;
    std::int64_t lastUpdate = 0;
    int unreadPartsCount = 0;
    std::optional<JsonValue> bodyJson;
    int userUnreadCount = 0;
    std::optional<std::int64_t> expirationTime;  // absent also when of another type
};

namespace json {

template <>
struct Codec<Dialog> {
    static Decoded<Dialog> decode(const JsonValue& value);
    // Every field under its key, in field order; absent ones as null.
    static JsonValue encode(const Dialog& value);
    static std::string typeName() { return "Dialog"; }
};

}  // namespace json
}  // namespace vesk
