#include "services/network/parameter_encoding.hpp"

#include <algorithm>
#include <string>
#include <utility>

namespace vesk {

namespace {

void flatten(std::string key, const JsonValue& value, net::Parameters& out);

void flattenObject(const std::string& prefix, const JsonObject& object, net::Parameters& out) {
    std::vector<const JsonObject::Member*> members;
    members.reserve(object.size());
    for (const auto& member : object) {
        members.push_back(&member);
    }
    std::sort(members.begin(), members.end(),
              [](const auto* a, const auto* b) { return a->first < b->first; });
    for (const auto* member : members) {
        if (!member->second) {
            continue;
        }
        flatten(prefix.empty() ? member->first : prefix + "[" + member->first + "]",
                *member->second, out);
    }
}

// `key` is taken by value: it is moved into the list, one copy per name.
void flatten(std::string key, const JsonValue& value, net::Parameters& out) {
    switch (value.kind()) {
        case JsonValue::Kind::object:
            flattenObject(key, *value.object(), out);
            break;
        case JsonValue::Kind::array:
            for (const auto& element : *value.array()) {
                flatten(key + "[]", element, out);
            }
            break;
        case JsonValue::Kind::boolean:
            out.emplace_back(std::move(key), *value.boolean() ? "1" : "0");
            break;
        case JsonValue::Kind::model:
            break;
        case JsonValue::Kind::string:
            out.emplace_back(std::move(key), *value.string());
            break;
        case JsonValue::Kind::integer:
        case JsonValue::Kind::floating:
        case JsonValue::Kind::empty:
            out.emplace_back(std::move(key), value.asStringValue().value_or(""));
            break;
    }
}

}  // namespace

net::Parameters flattenParameters(const Parameters& parameters) {
    net::Parameters out;
    out.reserve(parameters.size());
    flattenObject("", parameters, out);
    return out;
}

}  // namespace vesk
