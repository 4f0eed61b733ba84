// Models of the Calendly, Zoom, app and Django-user integrations. Keys are the
// shared ones unless a member says otherwise. (AppIntegration is declared in
// the public header.)
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/json/decoding.hpp"
#include "vesk/integrations.hpp"

namespace vesk {

struct EventAttributes {
    std::string name;
    std::string color;
    std::int64_t duration = 0;  // minutes
    std::string createdAt;
    std::string updatedAt;
    std::string slug;
    bool active = false;
    std::optional<std::string> location;
    std::optional<std::string> description;
    std::string url;

    friend bool operator==(const EventAttributes&, const EventAttributes&) = default;
};

struct CalendlyEvent {
    std::string type;
    std::string id;
    EventAttributes attributes;  // key "attributes"

    friend bool operator==(const CalendlyEvent&, const CalendlyEvent&) = default;
};

// The reply's data is the array itself.
struct EventsContainer {
    std::vector<CalendlyEvent> events;
};

struct Signature {
    std::string userSignature;
};

// Decoded from the member "meeting" of the reply's data.
struct Meeting {
    std::string uuid;
    std::int64_t id = 0;
    std::string topic;
    std::string startUrl;
    std::string joinUrl;
    std::string password;
};

// An integration of one service user (an operator, a "Django user").
struct DjangoUserIntegration {
    std::string id;
    std::string type;
    std::string created;
    std::string djangoUserId;  // key "django_user"

    friend bool operator==(const DjangoUserIntegration&, const DjangoUserIntegration&) = default;
};

struct Integrations {
    std::vector<DjangoUserIntegration> djangoUserIntegrations;
    std::vector<std::string> appActiveIntegrations;  // integration types active for the app
};

// The reply's data is the array itself.
struct AppIntegrationsContainer {
    std::vector<AppIntegration> items;
};

namespace json {

#define VESK_DECLARE_CODEC(Type)                             \
    template <>                                              \
    struct Codec<Type> {                                     \
        static Decoded<Type> decode(const JsonValue& value); \
        static std::string typeName() { return #Type; }      \
    }

VESK_DECLARE_CODEC(EventAttributes);
VESK_DECLARE_CODEC(CalendlyEvent);
VESK_DECLARE_CODEC(EventsContainer);
VESK_DECLARE_CODEC(Signature);
VESK_DECLARE_CODEC(Meeting);
VESK_DECLARE_CODEC(DjangoUserIntegration);
VESK_DECLARE_CODEC(Integrations);
VESK_DECLARE_CODEC(AppIntegration);
VESK_DECLARE_CODEC(AppIntegrationsContainer);

#undef VESK_DECLARE_CODEC

}  // namespace json
}  // namespace vesk
