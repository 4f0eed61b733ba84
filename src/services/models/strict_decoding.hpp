// Decoding helpers for the integration and knowledge-base models, whose members
// follow the usual keyed rules: a required member must be present and of its
// type; an optional one is absent when missing or null, and any other type
// fails the whole model.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/json/decoding.hpp"
#include "services/models/coding_keys.hpp"

namespace vesk::json::strict {

inline std::string_view key(CodingKeys k) {
    return codingKeyName(k);
}

inline Decoded<std::optional<std::string>> ifPresentString(const JsonObject& object,
                                                           std::string_view name) {
    const auto* value = presentMember(object, name);
    if (value == nullptr) {
        return std::optional<std::string>();
    }
    if (value->string() == nullptr) {
        return unexpected(
            DecodeError::typeMismatch("expected a string for key \"" + std::string(name) + "\""));
    }
    return std::optional<std::string>(*value->string());
}

inline Decoded<std::optional<std::int64_t>> ifPresentInt(const JsonObject& object,
                                                         std::string_view name) {
    const auto* value = presentMember(object, name);
    if (value == nullptr) {
        return std::optional<std::int64_t>();
    }
    if (value->integer() == nullptr) {
        return unexpected(
            DecodeError::typeMismatch("expected an integer for key \"" + std::string(name) + "\""));
    }
    return std::optional<std::int64_t>(*value->integer());
}

// Any JSON value fits; only a missing member or null leaves it absent.
inline std::optional<JsonValue> ifPresentValue(const JsonObject& object, std::string_view name) {
    const auto* value = presentMember(object, name);
    return value != nullptr ? std::optional<JsonValue>(*value) : std::nullopt;
}

// The member decoded as T; missing or null fails.
template <class T>
Decoded<T> reqMember(const JsonObject& object, std::string_view name) {
    const auto* value = member(object, name);
    if (value == nullptr) {
        return unexpected(DecodeError::keyNotFound(name));
    }
    if (value->isEmpty()) {
        return unexpected(DecodeError::valueNotFound(name));
    }
    return Codec<T>::decode(*value);
}

}  // namespace vesk::json::strict

#define VESK_STRICT_TRY(var, expr)                 \
    auto var = (expr);                             \
    if (!var) {                                    \
        return unexpected(std::move(var).error()); \
    }
