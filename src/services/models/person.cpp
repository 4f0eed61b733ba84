#include "services/models/person.hpp"

namespace vesk::json {

Decoded<Person> Codec<Person>::decode(const JsonValue& value) {
    auto object = requireObject(value, "Person");
    if (!object) {
        return unexpected(std::move(object).error());
    }
    const JsonObject& o = **object;
    auto type = reqString(o, "type");
    if (!type) {
        return unexpected(std::move(type).error());
    }
    Person out;
    out.id = optString(o, "id");
    out.type = std::move(type).value();
    out.name = optString(o, "name");
    out.avatar = optString(o, "avatar");
    return out;
}

JsonValue Codec<Person>::encode(const Person& value) {
    JsonObject object;
    object.reserve(4);
    object.appendDistinct("id", value.id ? JsonValue(*value.id) : JsonValue());
    object.appendDistinct("type", JsonValue(value.type));
    object.appendDistinct("name", value.name ? JsonValue(*value.name) : JsonValue());
    object.appendDistinct("avatar", value.avatar ? JsonValue(*value.avatar) : JsonValue());
    return JsonValue(std::move(object));
}

Decoded<Admin> Codec<Admin>::decode(const JsonValue& value) {
    auto person = Codec<Person>::decode(value);
    if (!person) {
        return unexpected(std::move(person).error());
    }
    return Admin(std::move(person).value());
}

}  // namespace vesk::json
