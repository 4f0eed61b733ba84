#include "services/models/integrations.hpp"

#include "services/models/strict_decoding.hpp"

namespace vesk::json {

using strict::ifPresentInt;
using strict::ifPresentString;
using strict::ifPresentValue;
using strict::key;
using strict::reqMember;

namespace {

Decoded<std::vector<std::string>> reqStrings(const JsonObject& object, std::string_view name) {
    VESK_STRICT_TRY(value, reqMember<JsonValue>(object, name));
    const auto* items = value->array();
    if (items == nullptr) {
        return unexpected(
            DecodeError::typeMismatch("expected an array for key \"" + std::string(name) + "\""));
    }
    std::vector<std::string> out;
    out.reserve(items->size());
    for (const auto& item : *items) {
        if (item.string() == nullptr) {
            return unexpected(
                DecodeError::typeMismatch("expected strings in \"" + std::string(name) + "\""));
        }
        out.push_back(*item.string());
    }
    return out;
}

}  // namespace

Decoded<EventAttributes> Codec<EventAttributes>::decode(const JsonValue& value) {
    VESK_STRICT_TRY(object, requireObject(value, typeName()));
    const JsonObject& o = **object;
    VESK_STRICT_TRY(name, reqString(o, key(CodingKeys::name)));
    VESK_STRICT_TRY(color, reqString(o, key(CodingKeys::color)));
    VESK_STRICT_TRY(duration, reqInt(o, key(CodingKeys::duration)));
    VESK_STRICT_TRY(createdAt, reqString(o, key(CodingKeys::createdAt)));
    VESK_STRICT_TRY(updatedAt, reqString(o, key(CodingKeys::updatedAt)));
    VESK_STRICT_TRY(slug, reqString(o, key(CodingKeys::slug)));
    VESK_STRICT_TRY(active, reqBool(o, key(CodingKeys::active)));
    VESK_STRICT_TRY(location, ifPresentString(o, key(CodingKeys::location)));
    VESK_STRICT_TRY(description, ifPresentString(o, key(CodingKeys::description)));
    VESK_STRICT_TRY(url, reqString(o, key(CodingKeys::url)));
    EventAttributes out;
    out.name = std::move(name).value();
    out.color = std::move(color).value();
    out.duration = *duration;
    out.createdAt = std::move(createdAt).value();
    out.updatedAt = std::move(updatedAt).value();
    out.slug = std::move(slug).value();
    out.active = *active;
    out.location = std::move(location).value();
    out.description = std::move(description).value();
    out.url = std::move(url).value();
    return out;
}

Decoded<CalendlyEvent> Codec<CalendlyEvent>::decode(const JsonValue& value) {
    VESK_STRICT_TRY(object, requireObject(value, typeName()));
    const JsonObject& o = **object;
    VESK_STRICT_TRY(type, reqString(o, key(CodingKeys::type)));
    VESK_STRICT_TRY(id, reqString(o, key(CodingKeys::id)));
    VESK_STRICT_TRY(attributes, reqMember<EventAttributes>(o, "attributes"));
    return CalendlyEvent{std::move(type).value(), std::move(id).value(),
                         std::move(attributes).value()};
}

Decoded<EventsContainer> Codec<EventsContainer>::decode(const JsonValue& value) {
    VESK_STRICT_TRY(events, Codec<std::vector<CalendlyEvent>>::decode(value));
    return EventsContainer{std::move(events).value()};
}

Decoded<Signature> Codec<Signature>::decode(const JsonValue& value) {
    VESK_STRICT_TRY(object, requireObject(value, typeName()));
    VESK_STRICT_TRY(signature, reqString(**object, key(CodingKeys::userSignature)));
    return Signature{std::move(signature).value()};
}

Decoded<Meeting> Codec<Meeting>::decode(const JsonValue& value) {
    VESK_STRICT_TRY(data, requireObject(value, typeName()));
    VESK_STRICT_TRY(meeting, reqMember<JsonValue>(**data, key(CodingKeys::meeting)));
    VESK_STRICT_TRY(object, requireObject(*meeting, typeName()));
    const JsonObject& o = **object;
    VESK_STRICT_TRY(uuid, reqString(o, key(CodingKeys::uuid)));
    VESK_STRICT_TRY(id, reqInt(o, key(CodingKeys::id)));
    VESK_STRICT_TRY(topic, reqString(o, key(CodingKeys::topic)));
    VESK_STRICT_TRY(startUrl, reqString(o, key(CodingKeys::startUrl)));
    VESK_STRICT_TRY(joinUrl, reqString(o, key(CodingKeys::joinUrl)));
    VESK_STRICT_TRY(password, reqString(o, key(CodingKeys::password)));
    return Meeting{std::move(uuid).value(),    *id,
                   std::move(topic).value(),   std::move(startUrl).value(),
                   std::move(joinUrl).value(), std::move(password).value()};
}

Decoded<DjangoUserIntegration> Codec<DjangoUserIntegration>::decode(const JsonValue& value) {
    VESK_STRICT_TRY(object, requireObject(value, typeName()));
    const JsonObject& o = **object;
    VESK_STRICT_TRY(id, reqString(o, key(CodingKeys::id)));
    VESK_STRICT_TRY(type, reqString(o, key(CodingKeys::type)));
    VESK_STRICT_TRY(created, reqString(o, key(CodingKeys::created)));
    VESK_STRICT_TRY(djangoUser, reqString(o, key(CodingKeys::djangoUser)));
    return DjangoUserIntegration{std::move(id).value(), std::move(type).value(),
                                 std::move(created).value(), std::move(djangoUser).value()};
}

Decoded<Integrations> Codec<Integrations>::decode(const JsonValue& value) {
    VESK_STRICT_TRY(object, requireObject(value, typeName()));
    const JsonObject& o = **object;
    VESK_STRICT_TRY(own, reqMember<std::vector<DjangoUserIntegration>>(
                             o, key(CodingKeys::djangoUserIntegrations)));
    VESK_STRICT_TRY(active, reqStrings(o, key(CodingKeys::appActiveIntegrations)));
    return Integrations{std::move(own).value(), std::move(active).value()};
}

Decoded<AppIntegration> Codec<AppIntegration>::decode(const JsonValue& value) {
    VESK_STRICT_TRY(object, requireObject(value, typeName()));
    const JsonObject& o = **object;
    VESK_STRICT_TRY(id, reqString(o, key(CodingKeys::id)));
    VESK_STRICT_TRY(type, reqString(o, key(CodingKeys::type)));
    VESK_STRICT_TRY(name, reqString(o, key(CodingKeys::name)));
    VESK_STRICT_TRY(created, ifPresentInt(o, key(CodingKeys::created)));
    VESK_STRICT_TRY(active, reqBool(o, key(CodingKeys::active)));
    AppIntegration out;
    out.id = std::move(id).value();
    out.type = std::move(type).value();
    out.name = std::move(name).value();
    out.created = *created;
    out.active = *active;
    out.settings = ifPresentValue(o, key(CodingKeys::settings));
    out.jsonSettings = ifPresentValue(o, key(CodingKeys::jsonSettings));
    return out;
}

Decoded<AppIntegrationsContainer> Codec<AppIntegrationsContainer>::decode(const JsonValue& value) {
    VESK_STRICT_TRY(items, Codec<std::vector<AppIntegration>>::decode(value));
    return AppIntegrationsContainer{std::move(items).value()};
}

}  // namespace vesk::json
