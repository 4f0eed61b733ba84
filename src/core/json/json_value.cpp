#include "vesk/json_value.hpp"

#include <array>
#include <boost/json/basic_parser_impl.hpp>
#include <boost/json/parse_options.hpp>
#include <charconv>
#include <cmath>
#include <limits>
#include <unordered_map>
#include <vector>

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

JsonValue numberValue(double d) {
    // JSON has no NaN. Boost.JSON 1.81 gives one for a zero with an exponent
    // above 308 ("0e400"), which is zero.
    if (std::isnan(d)) {
        d = 0.0;
    }
    if (auto i = exactInteger(d)) {
        return JsonValue(*i);
    }
    return JsonValue(d);
}

// The waiting values and keys of the parses on one thread. Kept between
// parses: growing them afresh for every reply showed in profiles.
struct Scratch {
    // Beyond this many entries a stack is released after its parse.
    static constexpr std::size_t kKept = 256;

    std::vector<JsonValue> values;
    std::vector<std::string> keys;
    std::string part;

    void clear() {
        values.clear();
        keys.clear();
        part.clear();
        if (values.capacity() > kKept) {
            std::vector<JsonValue>().swap(values);
        }
        if (keys.capacity() > kKept) {
            std::vector<std::string>().swap(keys);
        }
    }
};

// Builds the value straight from the parser's events, without Boost's own
// tree in between. Values wait on one stack until their container ends and
// its size is known, so each container is allocated once.
class Builder {
  public:
    explicit Builder(Scratch& scratch)
        : values_(scratch.values), keys_(scratch.keys), part_(scratch.part), scratch_(scratch) {}
    ~Builder() { scratch_.clear(); }
    Builder(const Builder&) = delete;
    Builder& operator=(const Builder&) = delete;

    static constexpr std::size_t max_object_size = std::numeric_limits<std::size_t>::max();
    static constexpr std::size_t max_array_size = std::numeric_limits<std::size_t>::max();
    static constexpr std::size_t max_key_size = std::numeric_limits<std::size_t>::max();
    static constexpr std::size_t max_string_size = std::numeric_limits<std::size_t>::max();

    using ErrorCode = boost::system::error_code;
    using View = boost::json::string_view;

    bool on_document_begin(ErrorCode&) { return true; }
    bool on_document_end(ErrorCode&) { return true; }
    bool on_object_begin(ErrorCode&) { return true; }
    bool on_array_begin(ErrorCode&) { return true; }

    bool on_object_end(std::size_t n, ErrorCode&) {
        const auto firstKey = keys_.end() - static_cast<std::ptrdiff_t>(n);
        const auto firstValue = values_.end() - static_cast<std::ptrdiff_t>(n);
        JsonObject object = members(firstKey, firstValue, n);
        keys_.erase(firstKey, keys_.end());
        values_.erase(firstValue, values_.end());
        values_.emplace_back(std::move(object));
        return true;
    }
    bool on_array_end(std::size_t n, ErrorCode&) {
        const auto first = values_.end() - static_cast<std::ptrdiff_t>(n);
        JsonArray items(std::make_move_iterator(first), std::make_move_iterator(values_.end()));
        values_.erase(first, values_.end());
        values_.emplace_back(std::move(items));
        return true;
    }

    bool on_key_part(View s, std::size_t, ErrorCode&) {
        part_.append(s.data(), s.size());
        return true;
    }
    bool on_key(View s, std::size_t, ErrorCode&) {
        keys_.push_back(whole(s));
        return true;
    }
    bool on_string_part(View s, std::size_t, ErrorCode&) {
        part_.append(s.data(), s.size());
        return true;
    }
    bool on_string(View s, std::size_t, ErrorCode&) {
        values_.emplace_back(whole(s));
        return true;
    }

    bool on_number_part(View, ErrorCode&) { return true; }
    bool on_int64(std::int64_t i, View, ErrorCode&) {
        values_.emplace_back(i);
        return true;
    }
    bool on_uint64(std::uint64_t u, View, ErrorCode&) {
        values_.emplace_back(static_cast<double>(u));
        return true;
    }
    bool on_double(double d, View, ErrorCode&) {
        values_.push_back(numberValue(d));
        return true;
    }
    bool on_bool(bool b, ErrorCode&) {
        values_.emplace_back(b);
        return true;
    }
    bool on_null(ErrorCode&) {
        values_.emplace_back(JsonEmpty{});
        return true;
    }
    bool on_comment_part(View, ErrorCode&) { return true; }
    bool on_comment(View, ErrorCode&) { return true; }

    // The document's value once the parser has accepted it whole.
    JsonValue takeRoot() { return values_.empty() ? JsonValue() : std::move(values_.back()); }

  private:
    // Objects this small look for a repeated key by scanning; larger ones
    // keep an index, so no input makes the scan quadratic.
    static constexpr std::size_t kScannedKeys = 16;

    std::string whole(View last) {
        if (part_.empty()) {
            return std::string(last.data(), last.size());
        }
        part_.append(last.data(), last.size());
        std::string out = std::move(part_);
        part_.clear();
        return out;
    }

    // A repeated key keeps its first place and takes the last value.
    static JsonObject members(std::vector<std::string>::iterator key,
                              std::vector<JsonValue>::iterator value, std::size_t n) {
        std::vector<JsonObject::Member> out;
        out.reserve(n);  // never reallocates below: the index points into it
        std::unordered_map<std::string_view, std::size_t> index;
        for (std::size_t i = 0; i < n; ++i, ++key, ++value) {
            JsonObject::Member* repeated = nullptr;
            if (n <= kScannedKeys) {
                for (auto& member : out) {
                    if (member.first == *key) {
                        repeated = &member;
                        break;
                    }
                }
            } else if (const auto found = index.find(*key); found != index.end()) {
                repeated = &out[found->second];
            }
            if (repeated != nullptr) {
                repeated->second = std::move(*value);
                continue;
            }
            out.emplace_back(std::move(*key), std::move(*value));
            if (n > kScannedKeys) {
                index.emplace(out.back().first, out.size() - 1);
            }
        }
        return JsonObject::fromDistinct(std::move(out));
    }

    std::vector<JsonValue>& values_;
    std::vector<std::string>& keys_;
    std::string& part_;
    Scratch& scratch_;
};

}  // namespace

// ---- encoding ------------------------------------------------------------

namespace {

void appendQuoted(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    out.push_back('"');
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
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
    boost::json::parse_options options;
    options.max_depth = kMaxDepth;
    boost::system::error_code ec;
    try {
        // Parsing calls nothing outside this file, so it never nests on a thread.
        thread_local Scratch scratch;
        boost::json::basic_parser<Builder> parser(options, scratch);
        const std::size_t used = parser.write_some(false, text.data(), text.size(), ec);
        if (ec || used != text.size()) {
            return std::nullopt;
        }
        return parser.handler().takeRoot();
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
        case Kind::string:
            return *string();
        case Kind::integer:
            return std::to_string(*integer());
        case Kind::floating:
            return doubleText(*floating());
        case Kind::boolean:
            return *boolean() ? "true" : "false";
        case Kind::object:
            return encode();
        case Kind::empty:
            return std::string();
        case Kind::array:
        case Kind::model:
            break;
    }
    return std::nullopt;
}

std::optional<std::string> JsonValue::asString() const {
    return encode();
}

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
