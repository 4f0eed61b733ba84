// App integrations, Django users (the service's operators) and their integrations, Calendly and
// Zoom.
#include <algorithm>
#include <boost/json/parse.hpp>
#include <cctype>

#include "api.hpp"
#include "crypto.hpp"
#include "wire.hpp"

namespace vesk::dev {
namespace {

namespace json = boost::json;

const Admin& knownDjangoUser(const ApiCall& call, const std::string& id) {
    const Admin* admin = call.store.admin(id);
    if (admin == nullptr) {
        fail(404, "not_found", "Django user not found: " + id);
    }
    return *admin;
}

bool isAdminOf(const App& app, const std::string& adminId) {
    return std::find(app.adminIds.begin(), app.adminIds.end(), adminId) != app.adminIds.end();
}

// A Django-user integration of one of the caller's app's operators.
DjangoIntegration& ownIntegration(ApiCall& call, const std::string& id, const char* type) {
    DjangoIntegration* integration = call.store.integration(id);
    if (integration == nullptr || !isAdminOf(*call.app, integration->djangoUserId)) {
        fail(404, "not_found", "Integration not found: " + id);
    }
    if (type != nullptr && integration->type != type) {
        fail(400, "invalid_integration", "Integration " + id + " is not of type " + type);
    }
    return *integration;
}

json::value getDjangoUserApps(ApiCall& call) {
    const Admin& admin = knownDjangoUser(call, call.captures[0]);
    json::array apps;
    for (const auto& [id, app] : call.store.apps()) {
        if (isAdminOf(app, admin.id)) {
            json::object o;
            o["id"] = app.appId;
            o["name"] = app.name;
            apps.emplace_back(std::move(o));
        }
    }
    return apps;
}

// An operator of the caller's app gets their own integrations; a caller asking
// with their own user id (as a client does) is no operator and has none.
json::value getDjangoUserIntegrations(ApiCall& call) {
    const std::string& djangoUserId = call.captures[0];
    const bool self = call.user != nullptr && call.user->id == djangoUserId;
    if (!self &&
        (call.store.admin(djangoUserId) == nullptr || !isAdminOf(*call.app, djangoUserId))) {
        fail(404, "not_found", "Django user not found: " + djangoUserId);
    }
    const std::string* type = call.param("type");
    json::array own;
    for (const auto& [id, integration] : call.store.integrations()) {
        if (!self && integration.djangoUserId == djangoUserId &&
            (type == nullptr || integration.type == *type)) {
            own.emplace_back(integrationJson(integration));
        }
    }
    json::array active;
    for (const auto& item : call.app->integrations) {
        const auto* o = item.if_object();
        if (o != nullptr && o->contains("active") && o->at("active") == json::value(true) &&
            o->contains("type")) {
            active.push_back(o->at("type"));
        }
    }
    json::object data;
    data["django_user_integrations"] = std::move(own);
    data["app_active_integrations"] = std::move(active);
    return data;
}

json::value getAppIntegrations(ApiCall& call) {
    call.requireOwnApp(call.captures[0]);
    return call.app->integrations;
}

json::value createIntegration(ApiCall& call) {
    const std::string type = call.required("type");
    json::error_code ec;
    json::value settings = json::parse(call.required("settings"), ec);
    if (ec || !settings.is_object()) {
        fail(400, "invalid_parameter", "settings is not a JSON object");
    }
    const char* needed = type == "calendly" ? "calendly_api_key"
                         : type == "zoom"   ? "code"
                                            : nullptr;
    if (needed == nullptr) {
        fail(400, "invalid_parameter", "Unsupported integration type: " + type);
    }
    const auto* value = settings.as_object().if_contains(needed);
    if (value == nullptr || !value->is_string() || value->as_string().empty()) {
        fail(400, "invalid_parameter", std::string("settings needs ") + needed);
    }
    DjangoIntegration integration;
    integration.type = type;
    integration.djangoUserId = call.store.ownerOf(*call.app).id;
    integration.settings = settings.as_object();
    return integrationJson(call.store.addIntegration(std::move(integration)));
}

json::value deleteIntegration(ApiCall& call) {
    const std::string id = ownIntegration(call, call.captures[0], nullptr).id;
    call.store.removeIntegration(id);
    json::object data;
    data["id"] = id;
    data["deleted"] = true;
    return data;
}

json::value calendlyEventTypes(ApiCall& call) {
    const DjangoIntegration& integration = ownIntegration(call, call.captures[0], "calendly");
    const bool onlyActive = call.flag("active", false);
    const Admin& owner = knownDjangoUser(call, integration.djangoUserId);
    std::string handle;
    for (char c : owner.name) {
        if (std::isalnum(static_cast<unsigned char>(c)) != 0) {
            handle.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
        } else if (!handle.empty() && handle.back() != '-') {
            handle.push_back('-');
        }
    }
    struct Kind {
        const char* slug;
        const char* name;
        const char* color;
        int duration;
        bool active;
        const char* description;
    };
    static constexpr Kind kKinds[] = {
        {"15min", "15 Minute Call", "#8247f5", 15, true, "A quick call to get you unstuck."},
        {"30min", "30 Minute Meeting", "#0069ff", 30, true, "A walk through your set-up."},
        {"onboarding", "Onboarding Session", "#17e885", 60, false, nullptr},
    };
    json::array events;
    for (const Kind& k : kKinds) {
        if (onlyActive && !k.active) {
            continue;
        }
        json::object attributes;
        attributes["name"] = k.name;
        attributes["color"] = k.color;
        attributes["duration"] = k.duration;
        attributes["created_at"] = "2024-01-15T09:00:00.000000Z";
        attributes["updated_at"] = "2024-03-02T14:30:00.000000Z";
        attributes["slug"] = k.slug;
        attributes["active"] = k.active;
        attributes["location"] = "Zoom";
        if (k.description != nullptr) {
            attributes["description"] = k.description;
        }
        attributes["url"] = "https://calendly.com/" + handle + "/" + k.slug;
        json::object event;
        event["type"] = "event_types";
        event["id"] = integration.id + "-" + k.slug;
        event["attributes"] = std::move(attributes);
        events.emplace_back(std::move(event));
    }
    return events;
}

// The signature binds the user to the listed values under the app's user auth key, so a booking
// page can prove who asked for it.
json::value signature(ApiCall& call) {
    call.requireSelf(call.captures[0]);
    const std::string service = call.required("external_service");
    json::error_code ec;
    const json::value values = json::parse(call.required("additional_signed_values"), ec);
    if (ec || !values.is_array()) {
        fail(400, "invalid_parameter", "additional_signed_values is not a JSON array");
    }
    std::string message = service + ":" + call.user->id;
    for (const auto& v : values.as_array()) {
        if (!v.is_string()) {
            fail(400, "invalid_parameter", "additional_signed_values must hold strings");
        }
        message += ":" + std::string(v.as_string());
    }
    json::object data;
    data["user_signature"] = hmacSha256Hex(call.app->userAuthKey, message);
    return data;
}

json::value zoomLoginUrl(ApiCall& call) {
    const std::string id = call.captures[0];
    call.requireOwnApp(call.required("app"));
    bool known = false;
    for (const auto& item : call.app->integrations) {
        const auto* o = item.if_object();
        known = known || (o != nullptr && o->contains("id") && o->at("id") == json::value(id) &&
                          o->contains("type") && o->at("type") == json::value("zoom"));
    }
    const DjangoIntegration* django = call.store.integration(id);
    known = known || (django != nullptr && django->type == "zoom" &&
                      isAdminOf(*call.app, django->djangoUserId));
    if (!known) {
        fail(404, "not_found", "Zoom integration not found: " + id);
    }
    json::object data;
    data["url"] = "https://zoom.us/oauth/authorize?response_type=code&client_id=vesk-dev&state=" +
                  call.app->appId + "-" + id;
    return data;
}

json::value createMeeting(ApiCall& call) {
    const DjangoIntegration& integration = ownIntegration(call, call.captures[0], "zoom");
    const std::string topic = call.required("topic");
    const std::string meetingNumber =
        std::to_string(8'000'000'000LL + std::stoll(call.store.nextId()));
    const std::string password = randomHex(3);
    json::object meeting;
    meeting["uuid"] = randomHex(16);
    meeting["id"] = std::stoll(meetingNumber);
    meeting["topic"] = topic;
    meeting["start_url"] = "https://zoom.us/s/" + meetingNumber + "?zak=" + randomHex(12);
    meeting["join_url"] = "https://zoom.us/j/" + meetingNumber + "?pwd=" + password;
    meeting["password"] = password;
    meeting["django_user_integration"] = integration.id;
    json::object data;
    data["meeting"] = std::move(meeting);
    return data;
}

}  // namespace

void addIntegrationRoutes(std::vector<Route>& routes) {
    routes.push_back({"GET", "djangousers/*", true, &getDjangoUserApps});
    routes.push_back({"GET", "djangousers/*/integrations", true, &getDjangoUserIntegrations});
    routes.push_back({"GET", "apps/*/integrations", true, &getAppIntegrations});
    routes.push_back({"POST", "integrations/djangousers", true, &createIntegration});
    routes.push_back({"DELETE", "integrations/djangousers/*", true, &deleteIntegration});
    routes.push_back(
        {"GET", "integrations/djangousers/*/calendly/event_types", true, &calendlyEventTypes});
    routes.push_back({"GET", "users/*/signature", true, &signature});
    routes.push_back({"GET", "integrations/*/zoom/oauth_login_url", true, &zoomLoginUrl});
    routes.push_back(
        {"POST", "integrations/djangousers/*/zoom/create_meeting", true, &createMeeting});
}

}  // namespace vesk::dev
