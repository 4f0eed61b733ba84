// The dynamic JSON value used wherever the service sends free-form data.
//
// A value is one of eight cases, in this order: string, int, double, bool,
// object, array, model, empty. Decoding tries them in that order, so a number
// that is an exact integer in 64-bit range is an `int`, any other number a
// `double`, and null is `empty`. Objects keep their members in document order.
//
// Threading: a plain value type; no shared state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace vesk {

class JsonValue;

// A model with no fields: decodes from any input, encodes as an empty object.
struct Model {
    friend bool operator==(const Model&, const Model&) = default;
};

// The `empty` case (JSON null).
struct JsonEmpty {
    friend bool operator==(const JsonEmpty&, const JsonEmpty&) = default;
};

using JsonArray = std::vector<JsonValue>;

// String-keyed members in insertion order. A member may hold no value (only
// `append` with an absent value makes one); it encodes as null.
class JsonObject {
  public:
    using Member = std::pair<std::string, std::optional<JsonValue>>;

    JsonObject() = default;
    JsonObject(std::initializer_list<Member> members);

    // The member named `key`, or nullptr when there is none.
    [[nodiscard]] const std::optional<JsonValue>* find(std::string_view key) const;
    [[nodiscard]] std::optional<JsonValue>* find(std::string_view key);
    [[nodiscard]] bool contains(std::string_view key) const { return find(key) != nullptr; }

    // Sets `key`, replacing an existing member in place.
    void set(std::string key, std::optional<JsonValue> value);
    bool erase(std::string_view key);
    // Appends without looking for an existing member, for decoders that
    // already know the keys are distinct. Requires: no member named `key`.
    void appendDistinct(std::string key, std::optional<JsonValue> value);
    void reserve(std::size_t count);
    // An object of `members` as they are. Requires: no two with the same key.
    static JsonObject fromDistinct(std::vector<Member> members);

    [[nodiscard]] std::size_t size() const noexcept;
    [[nodiscard]] bool empty() const noexcept;
    [[nodiscard]] std::vector<Member>::const_iterator begin() const noexcept;
    [[nodiscard]] std::vector<Member>::const_iterator end() const noexcept;

    friend bool operator==(const JsonObject& a, const JsonObject& b);

  private:
    std::vector<Member> members_;
};

class JsonValue {
  public:
    enum class Kind { string, integer, floating, boolean, object, array, model, empty };

    JsonValue() : storage_(JsonEmpty{}) {}
    JsonValue(std::string v) : storage_(std::move(v)) {}  // NOLINT(google-explicit-constructor)
    JsonValue(std::string_view v)
        : storage_(std::string(v)) {}                       // NOLINT(google-explicit-constructor)
    JsonValue(const char* v) : storage_(std::string(v)) {}  // NOLINT(google-explicit-constructor)
    JsonValue(std::int64_t v) : storage_(v) {}              // NOLINT(google-explicit-constructor)
    JsonValue(int v) : storage_(std::int64_t{v}) {}         // NOLINT(google-explicit-constructor)
    JsonValue(double v) : storage_(v) {}                    // NOLINT(google-explicit-constructor)
    JsonValue(bool v) : storage_(v) {}                      // NOLINT(google-explicit-constructor)
    JsonValue(JsonObject v) : storage_(std::move(v)) {}     // NOLINT(google-explicit-constructor)
    JsonValue(JsonArray v) : storage_(std::move(v)) {}      // NOLINT(google-explicit-constructor)
    JsonValue(Model v) : storage_(v) {}                     // NOLINT(google-explicit-constructor)
    JsonValue(JsonEmpty v) : storage_(v) {}                 // NOLINT(google-explicit-constructor)

    // Decodes one JSON text. Absent when the text is not JSON, has trailing
    // garbage, or nests deeper than `kMaxDepth`.
    static std::optional<JsonValue> parse(std::string_view text);
    static constexpr int kMaxDepth = 64;

    // The compact JSON text of the value (UTF-8).
    [[nodiscard]] std::string encode() const;

    [[nodiscard]] Kind kind() const noexcept { return static_cast<Kind>(storage_.index()); }
    [[nodiscard]] bool isString() const noexcept { return kind() == Kind::string; }
    [[nodiscard]] bool isInt() const noexcept { return kind() == Kind::integer; }
    [[nodiscard]] bool isDouble() const noexcept { return kind() == Kind::floating; }
    [[nodiscard]] bool isBool() const noexcept { return kind() == Kind::boolean; }
    [[nodiscard]] bool isObject() const noexcept { return kind() == Kind::object; }
    [[nodiscard]] bool isArray() const noexcept { return kind() == Kind::array; }
    [[nodiscard]] bool isModel() const noexcept { return kind() == Kind::model; }
    [[nodiscard]] bool isEmpty() const noexcept { return kind() == Kind::empty; }

    // Typed views: nullptr when the value is another case.
    [[nodiscard]] const std::string* string() const { return std::get_if<std::string>(&storage_); }
    [[nodiscard]] const std::int64_t* integer() const {
        return std::get_if<std::int64_t>(&storage_);
    }
    [[nodiscard]] const double* floating() const { return std::get_if<double>(&storage_); }
    [[nodiscard]] const bool* boolean() const { return std::get_if<bool>(&storage_); }
    [[nodiscard]] const JsonObject* object() const { return std::get_if<JsonObject>(&storage_); }
    [[nodiscard]] JsonObject* object() { return std::get_if<JsonObject>(&storage_); }
    [[nodiscard]] const JsonArray* array() const { return std::get_if<JsonArray>(&storage_); }
    [[nodiscard]] JsonArray* array() { return std::get_if<JsonArray>(&storage_); }

    // For an array and 0 <= index < count, the element; otherwise absent.
    [[nodiscard]] std::optional<JsonValue> getItemFromArray(std::int64_t index) const;
    // For an object holding `key` with a value, that value's `asStringValue()`.
    [[nodiscard]] std::optional<std::string> getString(std::string_view key) const;
    // string: its text; int: decimal; double: default text; bool: "true"/"false";
    // object: compact JSON; empty: ""; array and model: absent.
    [[nodiscard]] std::optional<std::string> asStringValue() const;
    // The JSON text of the whole value (a string gives its quoted form).
    [[nodiscard]] std::optional<std::string> asString() const;
    // On an object, sets `key` (replacing an existing member); otherwise does nothing.
    void append(std::string key, std::optional<JsonValue> value);

    friend bool operator==(const JsonValue& a, const JsonValue& b) {
        return a.storage_ == b.storage_;
    }

  private:
    std::variant<std::string, std::int64_t, double, bool, JsonObject, JsonArray, Model, JsonEmpty>
        storage_;
};

inline void JsonObject::appendDistinct(std::string key, std::optional<JsonValue> value) {
    members_.emplace_back(std::move(key), std::move(value));
}
inline void JsonObject::reserve(std::size_t count) {
    members_.reserve(count);
}
inline JsonObject JsonObject::fromDistinct(std::vector<Member> members) {
    JsonObject object;
    object.members_ = std::move(members);
    return object;
}
inline std::size_t JsonObject::size() const noexcept {
    return members_.size();
}
inline bool JsonObject::empty() const noexcept {
    return members_.empty();
}
inline std::vector<JsonObject::Member>::const_iterator JsonObject::begin() const noexcept {
    return members_.begin();
}
inline std::vector<JsonObject::Member>::const_iterator JsonObject::end() const noexcept {
    return members_.end();
}

// The default text of a double: the shortest text that reads back as the same
// value, always with a fractional part or an exponent ("5.0", "0.1", "1e+16").
std::string doubleText(double value);

}  // namespace vesk
