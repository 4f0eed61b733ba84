// What the service answers to requests that create something.
#pragma once

#include <optional>
#include <string>

#include "core/json/decoding.hpp"

namespace vesk {

struct SimpleId {
    std::string id;
    std::optional<JsonValue> attachment;
};

namespace json {
template <>
struct Codec<SimpleId> {
    static Decoded<SimpleId> decode(const JsonValue& value);
    static JsonValue encode(const SimpleId& value);
    static std::string typeName() { return "SimpleId"; }
};
}  // namespace json

}  // namespace vesk
