// Decoding models from `JsonValue` trees.
//
// Each model provides a `Codec<T>` specialization with
//   static Decoded<T> decode(const JsonValue&);
//   static std::string typeName();   // the name used in diagnostic texts
// and decodes with the helpers below, following its own table of
// "when missing or of another type" rules.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/expected.hpp"
#include "vesk/json_value.hpp"

namespace vesk::json {

// Decoding failures, as errors of kind `decoding`: the description is what a
// user-facing error handler shows, the detail names the key or value.
struct DecodeError {
    static Error keyNotFound(std::string_view key);
    static Error valueNotFound(std::string_view key);
    static Error typeMismatch(std::string_view what);
    static Error corrupted(std::string_view what);
};

template <class T>
using Decoded = Expected<T>;

template <class T>
struct Codec;

template <>
struct Codec<JsonValue> {
    static Decoded<JsonValue> decode(const JsonValue& value) { return value; }
    static std::string typeName() { return "JsonValue"; }
};

template <>
struct Codec<Model> {
    static Decoded<Model> decode(const JsonValue&) { return Model{}; }
    static std::string typeName() { return "Model"; }
};

template <class T>
struct Codec<std::vector<T>> {
    static Decoded<std::vector<T>> decode(const JsonValue& value) {
        const auto* items = value.array();
        if (items == nullptr) {
            return unexpected(DecodeError::typeMismatch("expected an array"));
        }
        std::vector<T> out;
        out.reserve(items->size());
        for (const auto& item : *items) {
            auto decoded = Codec<T>::decode(item);
            if (!decoded) {
                return unexpected(std::move(decoded).error());
            }
            out.push_back(std::move(decoded).value());
        }
        return out;
    }
    static std::string typeName() { return "Array<" + Codec<T>::typeName() + ">"; }
};

// Parses `text` and decodes it as T.
template <class T>
Decoded<T> decodeText(std::string_view text) {
    auto value = JsonValue::parse(text);
    if (!value) {
        return unexpected(DecodeError::corrupted("the given data was not valid JSON"));
    }
    return Codec<T>::decode(*value);
}

// ---- member access -------------------------------------------------------
// "Present" means the member exists and is not null.

// The member's value, or nullptr when the member is missing or holds nothing.
const JsonValue* member(const JsonObject& object, std::string_view key);
// nullptr as above, and also for null.
const JsonValue* presentMember(const JsonObject& object, std::string_view key);

// Absent when missing or of another type. Doubles accept integers too.
std::optional<std::string> optString(const JsonObject& object, std::string_view key);
std::optional<std::int64_t> optInt(const JsonObject& object, std::string_view key);
std::optional<double> optDouble(const JsonObject& object, std::string_view key);
std::optional<bool> optBool(const JsonObject& object, std::string_view key);

// Fail with keyNotFound / valueNotFound / typeMismatch.
Decoded<std::string> reqString(const JsonObject& object, std::string_view key);
Decoded<std::int64_t> reqInt(const JsonObject& object, std::string_view key);
Decoded<double> reqDouble(const JsonObject& object, std::string_view key);
Decoded<bool> reqBool(const JsonObject& object, std::string_view key);

// The object of `value`, or a typeMismatch error naming `typeName`.
Decoded<const JsonObject*> requireObject(const JsonValue& value, std::string_view typeName);

}  // namespace vesk::json
