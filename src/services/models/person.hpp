// Who wrote a conversation part: a person, and the operator (`Admin`) that is one.
#pragma once

#include <optional>
#include <string>

#include "core/json/decoding.hpp"

namespace vesk {

struct Person {
    std::optional<std::string> id;
    std::string type;
    std::optional<std::string> name;
    std::optional<std::string> avatar;  // image URL

    friend bool operator==(const Person&, const Person&) = default;
};

// An operator; decodes exactly as a person.
struct Admin : Person {
    Admin() = default;
    explicit Admin(Person person) : Person(std::move(person)) {}
};

namespace json {

template <>
struct Codec<Person> {
    static Decoded<Person> decode(const JsonValue& value);
    // "id", "type", "name", "avatar" (absent ones as null).
    static JsonValue encode(const Person& value);
    static std::string typeName() { return "Person"; }
};

template <>
struct Codec<Admin> {
    static Decoded<Admin> decode(const JsonValue& value);
    static JsonValue encode(const Admin& value) { return Codec<Person>::encode(value); }
    static std::string typeName() { return "Admin"; }
};

}  // namespace json
}  // namespace vesk
