#include "vesk/json_value.hpp"

#include <array>
#include <boost/json.hpp>
#include <charconv>
#include <cmath>
#include <limits>

namespace vesk {

// ---- JsonObject ----------------------------------------------------------

JsonObject::JsonObject(std::initializer_list<Member> members) {
    for (const auto& m : members) {
        set(m.first, m.second);
    }
}

const std::optional<JsonValue>* JsonObject::find(std::string_view key) const {
    for (const auto& m : members_) {
        if (m.first == key) {
            return &m.second;
        }
    }
    return nullptr;
}

std::optional<JsonValue>* JsonObject::find(std::string_view key) {
    for (auto& m : members_) {
        if (m.first == key) {
            return &m.second;
        }
    }
    return nullptr;
}

void JsonObject::set(std::string key, std::optional<JsonValue> value) {
    if (auto* existing = find(key)) {
        *existing = std::move(value);
        return;
    }
    members_.emplace_back(std::move(key), std::move(value));
}

bool JsonObject::erase(std::string_view key) {
    for (auto it = members_.begin(); it != members_.end(); ++it) {
        if (it->first == key) {
            members_.erase(it);
            return true;
        }
    }
    return false;
}

bool operator==(const JsonObject& a, const JsonObject& b) {
    // Member order is presentation, not meaning.
    if (a.size() != b.size()) {
        return false;
    }
    for (const auto& [key, value] : a.members_) {
        const auto* other = b.find(key);
        if (other == nullptr || *other != value) {
            return false;
        }
    }
    return true;
}

// ---- decoding ------------------------------------------------------------

namespace {

std::optional<std::int64_t> exactInteger(double d) {
    // 2^63 is exactly representable; every double below it in magnitude that
    // has no fractional part converts without loss.
    constexpr double kLimit = 9223372036854775808.0;
    if (!std::isfinite(d) || d < -kLimit || d >= kLimit || std::trunc(d) != d) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(d);
}

JsonValue fromBoost(const boost::json::value& v) {
    switch (v.kind()) {
        case boost::json::kind::string: {
            const auto& s = v.get_string();
            return JsonValue(std::string(s.data(), s.size()));
        }
        case boost::json::kind::int64:
            return JsonValue(v.get_int64());
        case boost::json::kind::uint64:
            return JsonValue(static_cast<double>(v.get_uint64()));
        case boost::json::kind::double_: {
            double d = v.get_double();
            // JSON has no NaN. Boost.JSON 1.81 gives one for a zero with an
            // exponent above 308 ("0e400"), which is zero.
            if (std::isnan(d)) {
                d = 0.0;
            }
            if (auto i = exactInteger(d)) {
                return JsonValue(*i);
            }
            return JsonValue(d);
        }
        case boost::json::kind::bool_:
            return JsonValue(v.get_bool());
        case boost::json::kind::object: {
            // The parser has already collapsed duplicate keys (the last wins).
            JsonObject object;
            object.reserve(v.get_object().size());
            for (const auto& member : v.get_object()) {
                object.appendDistinct(std::string(member.key()), fromBoost(member.value()));
            }
            return JsonValue(std::move(object));
        }
        case boost::json::kind::array: {
            const auto& in = v.get_array();
            JsonArray out;
            out.reserve(in.size());
            for (const auto& element : in) {
                out.push_back(fromBoost(element));
            }
            return JsonValue(std::move(out));
        }
        case boost::json::kind::null:
            break;
    }
    return JsonValue(JsonEmpty{});
}

// ---- encoding ------------------------------------------------------------

void appendQuoted(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    out.push_back('"');
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            case '\b': out += "\\b"; break;
            case '\f': out += "\\f"; break;
            default:
                if (u < 0x20) {
                    out += "\\u00";
                    out.push_back(kHex[u >> 4]);
                    out.push_back(kHex[u & 0xF]);
                } else {
                    out.push_back(c);
                }
        }
    }
    out.push_back('"');
}

void encodeInto(std::string& out, const JsonValue& value) {
    switch (value.kind()) {
        case JsonValue::Kind::string:
            appendQuoted(out, *value.string());
            break;
        case JsonValue::Kind::integer:
            out += std::to_string(*value.integer());
            break;
        case JsonValue::Kind::floating:
            // JSON has no spelling for NaN or infinity.
            out += std::isfinite(*value.floating()) ? doubleText(*value.floating()) : "null";
            break;
        case JsonValue::Kind::boolean:
            out += *value.boolean() ? "true" : "false";
            break;
        case JsonValue::Kind::object: {
            out.push_back('{');
            bool first = true;
            for (const auto& [key, member] : *value.object()) {
                if (!first) {
                    out.push_back(',');
                }
                first = false;
                appendQuoted(out, key);
                out.push_back(':');
                if (member) {
                    encodeInto(out, *member);
                } else {
                    out += "null";
                }
            }
            out.push_back('}');
            break;
        }
        case JsonValue::Kind::array: {
            out.push_back('[');
            bool first = true;
            for (const auto& element : *value.array()) {
                if (!first) {
                    out.push_back(',');
                }
                first = false;
                encodeInto(out, element);
            }
            out.push_back(']');
            break;
        }
        case JsonValue::Kind::model:
            out += "{}";
            break;
        case JsonValue::Kind::empty:
            out += "null";
            break;
    }
}

}  // namespace

std::optional<JsonValue> JsonValue::parse(std::string_view text) {
    std::array<unsigned char, 4096> buffer{};
    boost::json::monotonic_resource arena(buffer.data(), buffer.size());
    boost::json::parse_options options;
    options.max_depth = kMaxDepth;
    boost::system::error_code ec;
    try {
        // Constructed, not assigned: assigning into a value on the default
        // storage would copy the whole tree out of the arena.
        const boost::json::value parsed = boost::json::parse(
            boost::json::string_view(text.data(), text.size()), ec, &arena, options);
        if (ec) {
            return std::nullopt;
        }
        return fromBoost(parsed);
    } catch (const std::exception&) {
        return std::nullopt;  // allocation failure on absurd input
    }
}

std::string JsonValue::encode() const {
    std::string out;
    encodeInto(out, *this);
    return out;
}

std::optional<JsonValue> JsonValue::getItemFromArray(std::int64_t index) const {
    const auto* items = array();
    if (items == nullptr || index < 0 || static_cast<std::uint64_t>(index) >= items->size()) {
        return std::nullopt;
    }
    return (*items)[static_cast<std::size_t>(index)];
}

std::optional<std::string> JsonValue::getString(std::string_view key) const {
    const auto* members = object();
    if (members == nullptr) {
        return std::nullopt;
    }
    const auto* member = members->find(key);
    if (member == nullptr || !member->has_value()) {
        return std::nullopt;
    }
    return (*member)->asStringValue();
}

std::optional<std::string> JsonValue::asStringValue() const {
    switch (kind()) {
        case Kind::string: return *string();
        case Kind::integer: return std::to_string(*integer());
        case Kind::floating: return doubleText(*floating());
        case Kind::boolean: return *boolean() ? "true" : "false";
        case Kind::object: return encode();
        case Kind::empty: return std::string();
        case Kind::array:
        case Kind::model: break;
    }
    return std::nullopt;
}

std::optional<std::string> JsonValue::asString() const { return encode(); }

void JsonValue::append(std::string key, std::optional<JsonValue> value) {
    if (auto* members = object()) {
        members->set(std::move(key), std::move(value));
    }
}

std::string doubleText(double value) {
    if (std::isnan(value)) {
        return "nan";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-inf" : "inf";
    }
    // Plain notation for ordinary magnitudes, exponent form beyond them.
    const double magnitude = std::fabs(value);
    const bool plain = magnitude == 0.0 || (magnitude >= 1e-4 && magnitude < 1e16);
    std::array<char, 64> buffer{};
    const auto [end, ec] =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                      plain ? std::chars_format::fixed : std::chars_format::scientific);
    std::string text(buffer.data(), ec == std::errc() ? end : buffer.data());
    if (text.find_first_of(".e") == std::string::npos) {
        text += ".0";
    }
    return text;
}

}  // namespace vesk
