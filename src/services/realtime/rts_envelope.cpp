#include "services/realtime/rts_envelope.hpp"

#include <array>
#include <boost/json/basic_parser_impl.hpp>
#include <cmath>
#include <exception>
#include <limits>
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

namespace {

// A top-level member's value as the envelope's decoders see it.
enum class Shape { integer, string, other };

// Reads the top-level members of one JSON text for the resume point, building
// nothing but the two strings it keeps. Numbers are integers exactly when the
// library's JSON value would make them one; a repeated key counts once, last.
class ResumeScan {
  public:
    using ErrorCode = boost::system::error_code;
    using View = std::string_view;
    static constexpr std::size_t max_object_size = std::numeric_limits<std::size_t>::max();
    static constexpr std::size_t max_array_size = std::numeric_limits<std::size_t>::max();
    static constexpr std::size_t max_key_size = std::numeric_limits<std::size_t>::max();
    static constexpr std::size_t max_string_size = std::numeric_limits<std::size_t>::max();

    bool on_document_begin(ErrorCode&) { return true; }
    bool on_document_end(ErrorCode&) { return true; }
    bool on_object_begin(ErrorCode&) {
        rootIsObject_ = rootIsObject_ || depth_ == 0;
        member(Shape::other);
        ++depth_;
        return true;
    }
    bool on_object_end(std::size_t, ErrorCode&) {
        --depth_;
        return true;
    }
    bool on_array_begin(ErrorCode&) {
        member(Shape::other);
        ++depth_;
        return true;
    }
    bool on_array_end(std::size_t, ErrorCode&) {
        --depth_;
        return true;
    }
    bool on_key_part(View s, std::size_t, ErrorCode&) {
        if (depth_ == 1) {
            part_.append(s);
        }
        return true;
    }
    bool on_key(View s, std::size_t, ErrorCode&) {
        if (depth_ == 1) {
            key_ = std::move(part_.append(s));
            part_.clear();
        }
        return true;
    }
    bool on_string_part(View s, std::size_t, ErrorCode&) {
        if (depth_ == 1 && (key_ == "tag" || key_ == "time")) {
            part_.append(s);
        }
        return true;
    }
    bool on_string(View s, std::size_t, ErrorCode&) {
        if (depth_ == 1 && (key_ == "tag" || key_ == "time")) {
            (key_ == "tag" ? tag_ : time_) = std::move(part_.append(s));
        }
        part_.clear();
        member(Shape::string);
        return true;
    }
    bool on_number_part(View, ErrorCode&) { return true; }
    bool on_int64(std::int64_t, View, ErrorCode&) {
        member(Shape::integer);
        return true;
    }
    bool on_uint64(std::uint64_t, View, ErrorCode&) {
        member(Shape::other);  // the JSON value keeps it as a double
        return true;
    }
    bool on_double(double d, View, ErrorCode&) {
        constexpr double kLimit = 9223372036854775808.0;  // 2^63
        const bool integral = std::isfinite(d) && d >= -kLimit && d < kLimit && std::trunc(d) == d;
        member(integral || std::isnan(d) ? Shape::integer : Shape::other);
        return true;
    }
    bool on_bool(bool, ErrorCode&) {
        member(Shape::other);
        return true;
    }
    bool on_null(ErrorCode&) {
        member(Shape::other);
        return true;
    }
    bool on_comment_part(View, ErrorCode&) { return true; }
    bool on_comment(View, ErrorCode&) { return true; }

    [[nodiscard]] std::optional<ResumePoint> point() {
        if (!rootIsObject_ || id_ != Shape::integer || channel_ != Shape::string || !message_ ||
            tagShape_ != Shape::string || timeShape_ != Shape::string) {
            return std::nullopt;
        }
        return ResumePoint{std::move(tag_), std::move(time_)};
    }

  private:
    // A value starts; it is a member of the envelope when it sits right inside it.
    void member(Shape shape) {
        if (depth_ != 1) {
            return;
        }
        if (key_ == "id") {
            id_ = shape;
        } else if (key_ == "channel") {
            channel_ = shape;
        } else if (key_ == "message") {
            message_ = true;
        } else if (key_ == "tag") {
            tagShape_ = shape;
        } else if (key_ == "time") {
            timeShape_ = shape;
        }
    }

    int depth_ = 0;
    bool rootIsObject_ = false;
    std::string key_;
    std::string part_;
    std::optional<Shape> id_, channel_, tagShape_, timeShape_;
    bool message_ = false;
    std::string tag_, time_;
};

}  // namespace

std::optional<ResumePoint> resumePointOf(std::string_view text) {
    boost::json::parse_options options;
    options.max_depth = JsonValue::kMaxDepth;
    boost::system::error_code ec;
    try {
        boost::json::basic_parser<ResumeScan> parser(options);
        const std::size_t used = parser.write_some(false, text.data(), text.size(), ec);
        if (ec || used != text.size()) {
            return std::nullopt;
        }
        return parser.handler().point();
    } catch (const std::exception&) {
        return std::nullopt;  // allocation failure on absurd input
    }
}

std::optional<RtsMessage> parseRtsMessage(std::string_view text) {
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
    RtsMessage out;
    out.id = *id;
    out.channel = firstPiece(*channel);
    if (message->has_value()) {
        out.message = std::move(**message);  // the tree is this frame's alone
    }
    return out;
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
