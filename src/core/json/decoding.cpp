#include "core/json/decoding.hpp"

namespace vesk::json {

namespace {

constexpr const char* kMissing = "The data couldn’t be read because it is missing.";
constexpr const char* kWrongFormat =
    "The data couldn’t be read because it isn’t in the correct format.";

Error decodingError(const char* description, std::string detail) {
    Error e = Error::make(Error::Kind::decoding, description);
    e.detail = std::move(detail);
    return e;
}

}  // namespace

Error DecodeError::keyNotFound(std::string_view key) {
    return decodingError(kMissing, "no value for key \"" + std::string(key) + "\"");
}

Error DecodeError::valueNotFound(std::string_view key) {
    return decodingError(kMissing, "null for key \"" + std::string(key) + "\"");
}

Error DecodeError::typeMismatch(std::string_view what) {
    return decodingError(kWrongFormat, std::string(what));
}

Error DecodeError::corrupted(std::string_view what) {
    return decodingError(kWrongFormat, std::string(what));
}

const JsonValue* member(const JsonObject& object, std::string_view key) {
    const auto* found = object.find(key);
    return (found != nullptr && found->has_value()) ? &**found : nullptr;
}

const JsonValue* presentMember(const JsonObject& object, std::string_view key) {
    const auto* value = member(object, key);
    return (value != nullptr && !value->isEmpty()) ? value : nullptr;
}

std::optional<std::string> optString(const JsonObject& object, std::string_view key) {
    const auto* value = member(object, key);
    if (value == nullptr || value->string() == nullptr) {
        return std::nullopt;
    }
    return *value->string();
}

std::optional<std::int64_t> optInt(const JsonObject& object, std::string_view key) {
    const auto* value = member(object, key);
    if (value == nullptr || value->integer() == nullptr) {
        return std::nullopt;
    }
    return *value->integer();
}

std::optional<double> optDouble(const JsonObject& object, std::string_view key) {
    const auto* value = member(object, key);
    if (value == nullptr) {
        return std::nullopt;
    }
    if (const auto* d = value->floating()) {
        return *d;
    }
    if (const auto* i = value->integer()) {
        return static_cast<double>(*i);
    }
    return std::nullopt;
}

std::optional<bool> optBool(const JsonObject& object, std::string_view key) {
    const auto* value = member(object, key);
    if (value == nullptr || value->boolean() == nullptr) {
        return std::nullopt;
    }
    return *value->boolean();
}

namespace {

template <class T>
Decoded<T> required(const JsonObject& object, std::string_view key, std::optional<T> found,
                    std::string_view typeName) {
    if (found) {
        return std::move(*found);
    }
    const auto* value = member(object, key);
    if (value == nullptr) {
        return unexpected(DecodeError::keyNotFound(key));
    }
    if (value->isEmpty()) {
        return unexpected(DecodeError::valueNotFound(key));
    }
    return unexpected(DecodeError::typeMismatch("expected " + std::string(typeName) +
                                                " for key \"" + std::string(key) + "\""));
}

}  // namespace

Decoded<std::string> reqString(const JsonObject& object, std::string_view key) {
    return required(object, key, optString(object, key), "a string");
}

Decoded<std::int64_t> reqInt(const JsonObject& object, std::string_view key) {
    return required(object, key, optInt(object, key), "an integer");
}

Decoded<double> reqDouble(const JsonObject& object, std::string_view key) {
    return required(object, key, optDouble(object, key), "a number");
}

Decoded<bool> reqBool(const JsonObject& object, std::string_view key) {
    return required(object, key, optBool(object, key), "a boolean");
}

Decoded<const JsonObject*> requireObject(const JsonValue& value, std::string_view typeName) {
    const auto* object = value.object();
    if (object == nullptr) {
        return unexpected(
            DecodeError::typeMismatch("expected an object for " + std::string(typeName)));
    }
    return object;
}

}  // namespace vesk::json
