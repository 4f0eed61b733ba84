#include "core/response.hpp"

namespace vesk {

std::string Meta::printError() const {
    return "Error (status: " + std::to_string(status) + ") " + error.value_or("") + ": " +
           errorMessage.value_or("");
}

namespace json {

namespace {

std::optional<std::string> positionText(const JsonValue* value) {
    if (value == nullptr) {
        return std::nullopt;
    }
    const auto first = value->getItemFromArray(0);
    if (!first) {
        return std::nullopt;
    }
    if (const auto* d = first->floating()) {
        return doubleText(*d);
    }
    // A whole-number position decodes as an integer; dropping it would end
    // paging early, so it is carried like the double it stands for.
    if (const auto* i = first->integer()) {
        return doubleText(static_cast<double>(*i));
    }
    if (const auto* s = first->string()) {
        return *s;
    }
    return std::nullopt;
}

}  // namespace

Decoded<Meta> Codec<Meta>::decode(const JsonValue& value) {
    auto object = requireObject(value, "Meta");
    if (!object) {
        return unexpected(std::move(object).error());
    }
    const JsonObject& members = **object;
    auto status = reqInt(members, "status");
    if (!status) {
        return unexpected(std::move(status).error());
    }
    Meta meta;
    meta.status = *status;
    meta.error = optString(members, "error");
    meta.errorMessage = optString(members, "error_message");
    if (auto after = optString(members, "next_after")) {
        meta.nextAfter = std::move(after);
    } else if (auto number = optDouble(members, "next_after")) {
        meta.nextAfter = doubleText(*number);
    }
    meta.nextBeforePosition = positionText(member(members, "next_before_position"));
    return meta;
}

}  // namespace json
}  // namespace vesk
