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

// The resume point a frame carries: its "tag" and "time" when the frame is a
// whole envelope (all five keys, "id" an integer, "channel", "tag" and "time"
// strings). Read without building the frame, for the socket's I/O thread.
struct ResumePoint {
    std::string tag;
    std::string time;
};
std::optional<ResumePoint> resumePointOf(std::string_view text);

// The envelope as dispatch reads it, built from the text once; absent when the
// text is no such envelope.
std::optional<RtsMessage> parseRtsMessage(std::string_view text);

// The receiver of every text frame.
class RtsServiceProtocol {
  public:
    virtual ~RtsServiceProtocol() = default;
    virtual void onMessage(const std::string& text) = 0;
    // The socket is connected again after it lost its connection or was
    // stopped: what was sent meanwhile may be missing, since a resume point
    // (when there was one) covers nothing after a restart of the service.
    virtual void onReconnected() {}
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
