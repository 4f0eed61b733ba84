#include "services/realtime/rts_envelope.hpp"

#include <array>
#include <utility>

namespace vesk {

namespace {

constexpr std::array<std::pair<Channel, std::string_view>, 11> kChannels{{
    {Channel::conversation, "conversation"},
    {Channel::conversationReply, "conversation_reply"},
    {Channel::conversationReplyChanged, "conversation_reply_changed"},
    {Channel::conversationTyping, "conversation_typing"},
    {Channel::conversationRead, "conversation_read"},
    {Channel::runScript, "run_script"},
    {Channel::usersRemoved, "users_removed"},
    {Channel::userBan, "user_ban"},
    {Channel::ping, "ping"},
    {Channel::conversationAssigned, "conversation_assigned"},
    {Channel::conversationTagRemovedFromApp, "conversation_tag_removed_from_app"},
}};

// The payload may be any JSON value, null included; only a missing key fails.
json::Decoded<JsonValue> anyMember(const JsonObject& object, std::string_view key) {
    const auto* found = object.find(key);
    if (found == nullptr) {
        return unexpected(json::DecodeError::keyNotFound(key));
    }
    return found->has_value() ? **found : JsonValue{};
}

// "conversation_reply.12.34" -> "conversation_reply"; empty pieces do not count.
std::string firstPiece(std::string_view channel) {
    std::size_t start = 0;
    while (start <= channel.size()) {
        const auto dot = channel.find('.', start);
        const auto end = dot == std::string_view::npos ? channel.size() : dot;
        if (end > start) {
            return std::string(channel.substr(start, end - start));
        }
        if (dot == std::string_view::npos) {
            break;
        }
        start = dot + 1;
    }
    return {};
}

}  // namespace

std::string_view rawValue(Channel channel) {
    for (const auto& [c, raw] : kChannels) {
        if (c == channel) {
            return raw;
        }
    }
    return {};
}

std::optional<Channel> channelFromRaw(std::string_view raw) {
    for (const auto& [c, name] : kChannels) {
        if (name == raw) {
            return c;
        }
    }
    return std::nullopt;
}

std::optional<RtsFrame> parseFrame(std::string_view text) {
    auto value = JsonValue::parse(text);
    JsonObject* object = value ? value->object() : nullptr;
    if (object == nullptr) {
        return std::nullopt;
    }
    const auto id = json::reqInt(*object, "id");
    const auto channel = json::reqString(*object, "channel");
    auto* message = object->find("message");
    if (!id || !channel || message == nullptr) {
        return std::nullopt;
    }
    RtsFrame frame;
    frame.message.id = *id;
    frame.message.channel = firstPiece(*channel);
    if (message->has_value()) {
        frame.message.message = std::move(**message);
    }
    auto tag = json::optString(*object, "tag");
    auto time = json::optString(*object, "time");
    if (tag && time) {
        frame.tag = std::move(tag);
        frame.time = std::move(time);
    }
    return frame;
}

namespace json {

namespace {

// "id", "channel" (as sent) and "message": what both views of the envelope need.
Decoded<RtsMessage> decodeHead(const JsonValue& value, std::string_view typeName) {
    auto object = requireObject(value, typeName);
    if (!object) {
        return unexpected(std::move(object).error());
    }
    const JsonObject& o = **object;
    auto id = reqInt(o, "id");
    if (!id) {
        return unexpected(std::move(id).error());
    }
    auto channel = reqString(o, "channel");
    if (!channel) {
        return unexpected(std::move(channel).error());
    }
    auto message = anyMember(o, "message");
    if (!message) {
        return unexpected(std::move(message).error());
    }
    RtsMessage out;
    out.id = *id;
    out.channel = std::move(channel).value();
    out.message = std::move(message).value();
    return out;
}

}  // namespace

Decoded<RtsResponse> Codec<RtsResponse>::decode(const JsonValue& value) {
    auto head = decodeHead(value, typeName());
    if (!head) {
        return unexpected(std::move(head).error());
    }
    const JsonObject& o = *value.object();
    auto tag = reqString(o, "tag");
    if (!tag) {
        return unexpected(std::move(tag).error());
    }
    auto time = reqString(o, "time");
    if (!time) {
        return unexpected(std::move(time).error());
    }
    RtsResponse out;
    out.id = head->id;
    out.channel = std::move(head->channel);
    out.message = std::move(head->message);
    out.tag = std::move(tag).value();
    out.time = std::move(time).value();
    return out;
}

Decoded<RtsMessage> Codec<RtsMessage>::decode(const JsonValue& value) {
    auto head = decodeHead(value, typeName());
    if (!head) {
        return unexpected(std::move(head).error());
    }
    head->channel = firstPiece(head->channel);
    return head;
}

}  // namespace json
}  // namespace vesk
