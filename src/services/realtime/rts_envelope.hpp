// The real-time channel's vocabulary and the envelope of every text frame.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/json/decoding.hpp"

namespace vesk {

enum class Channel {
    conversation,
    conversationReply,
    conversationReplyChanged,
    conversationTyping,
    conversationRead,
    runScript,
    usersRemoved,
    userBan,
    ping,
    conversationAssigned,
    conversationTagRemovedFromApp,
};

// "conversation", "conversation_reply", ...: the URL path element and the
// channel name inbound envelopes carry.
std::string_view rawValue(Channel channel);
std::optional<Channel> channelFromRaw(std::string_view raw);

// The full envelope; only frames with all five keys decode. Gives the resume point.
struct RtsResponse {
    std::int64_t id = 0;
    std::string channel;
    JsonValue message;
    std::string tag;
    std::string time;
};

// The envelope as dispatch reads it: the channel cut at its first ".".
struct RtsMessage {
    std::int64_t id = 0;
    std::string channel;
    JsonValue message;
};

// A text frame parsed once, where it arrives: the envelope as dispatch reads
// it and, when all five keys are there, the resume point it carries.
struct RtsFrame {
    RtsMessage message;
    std::optional<std::string> tag;  // present exactly when `time` is
    std::optional<std::string> time;
};

// Absent when `text` is no envelope dispatch can read (such a frame carries no
// resume point either: the resume point needs every key dispatch needs).
std::optional<RtsFrame> parseFrame(std::string_view text);

// The receiver of every frame, as parsed by the socket.
class RtsServiceProtocol {
  public:
    virtual ~RtsServiceProtocol() = default;
    virtual void onMessage(const RtsMessage& frame) = 0;
};

namespace json {

template <>
struct Codec<RtsResponse> {
    static Decoded<RtsResponse> decode(const JsonValue& value);
    static std::string typeName() { return "RtsResponse"; }
};

template <>
struct Codec<RtsMessage> {
    static Decoded<RtsMessage> decode(const JsonValue& value);
    static std::string typeName() { return "RtsMessage"; }
};

}  // namespace json
}  // namespace vesk
