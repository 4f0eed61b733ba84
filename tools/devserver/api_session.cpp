// Session, presence, user properties and events, push subscriptions.
#include <algorithm>
#include <boost/json/parse.hpp>
#include <boost/json/serialize.hpp>
#include <cstdlib>

#include "api.hpp"
#include "crypto.hpp"
#include "wire.hpp"

namespace vesk::dev {
namespace {

namespace json = boost::json;

json::value connect(ApiCall& call) {
    const std::string apiKey = call.required("api_key");
    App* app = call.store.appByKey(apiKey);
    if (app == nullptr) {
        fail(400, "invalid_api_key", "Unknown api_key");
    }
    // A client that still holds a token of this app keeps its user; anyone else starts anonymous.
    User* user = nullptr;
    if (const std::string* token = call.param("auth_token"); token != nullptr && !token->empty()) {
        User* known = call.store.userByToken(*token);
        if (known != nullptr && known->appId == app->appId) {
            user = known;
        }
    }
    if (user == nullptr) {
        user = &call.store.createUser(app->appId);
    }
    json::object session;
    for (const char* key :
         {"start_session_random_id", "browser", "os", "device", "device_type", "token_type"}) {
        session[key] = call.optional(key);
    }
    session["created"] = Store::now();
    user->session = session;
    user->lastSeen = Store::now();

    json::object data;
    data["user"] = userJson(call.store, *user);
    data["auth_token"] = user->token;
    data["app"] = appJson(*app);
    data["session"] = std::move(session);
    return data;
}

json::value authenticate(ApiCall& call) {
    const std::string userId = call.required("user_id");
    const std::string hash = call.required("hash");
    if (userId.empty()) {
        fail(400, "invalid_parameter", "user_id is empty");
    }
    if (hash != hmacSha256Hex(call.app->userAuthKey, userId)) {
        fail(403, "invalid_hash", "The hash does not match user_id");
    }
    User* user = call.store.userByExternalId(call.app->appId, userId);
    if (user == nullptr) {
        user = &call.store.createUser(call.app->appId, userId);
    }
    user->lastSeen = Store::now();
    json::object data;
    data["user"] = userJson(call.store, *user);
    data["auth_token"] = user->token;
    data["result"] = "ok";
    return data;
}

json::value setPresence(ApiCall& call) {
    call.requireSelf(call.captures[0]);
    const std::string presence = call.optional("presence", "online");
    if (presence.empty()) {
        fail(400, "invalid_parameter", "presence is empty");
    }
    call.user->presence = presence;
    call.user->lastSeen = Store::now();
    json::object data;
    data["presence"] = presence;
    data["last_seen"] = call.user->lastSeen;
    return data;
}

json::value trackEvent(ApiCall& call) {
    call.requireSelf(call.captures[0]);
    const std::string event = call.required("event");
    if (event.empty()) {
        fail(400, "invalid_parameter", "event is empty");
    }
    json::object record;
    record["id"] = call.store.nextId();
    record["event"] = event;
    if (const std::string* params = call.param("params")) {
        record["params"] = jsonOrText(*params);
    }
    record["created"] = Store::now();
    json::object data;
    data["id"] = record["id"];
    call.user->events.emplace_back(std::move(record));
    return data;
}

double numberOf(const json::value& v) {
    if (v.is_int64()) {
        return static_cast<double>(v.as_int64());
    }
    if (v.is_uint64()) {
        return static_cast<double>(v.as_uint64());
    }
    if (v.is_double()) {
        return v.as_double();
    }
    if (v.is_string()) {
        const std::string text(v.as_string());
        char* end = nullptr;
        const double d = std::strtod(text.c_str(), &end);
        if (!text.empty() && end == text.c_str() + text.size()) {
            return d;
        }
    }
    fail(400, "invalid_parameter", "Not a number: " + json::serialize(v));
}

json::value number(double d) {
    if (d == static_cast<double>(static_cast<std::int64_t>(d))) {
        return static_cast<std::int64_t>(d);
    }
    return d;
}

// Applies one operation of the props list; operations combine values as their names say.
void applyOperation(json::object& props, const json::object& operation) {
    const auto* op = operation.if_contains("op");
    const auto* key = operation.if_contains("key");
    if (op == nullptr || !op->is_string() || key == nullptr || !key->is_string() ||
        key->as_string().empty()) {
        fail(400, "invalid_parameter", "Each operation needs a string op and key");
    }
    const json::value value = operation.contains("value") ? operation.at("value") : json::value();
    const std::string name(key->as_string());
    const std::string_view kind = op->as_string();
    json::value* current = props.if_contains(name);
    auto asArray = [&]() -> json::array& {
        if (current == nullptr || !current->is_array()) {
            json::array fresh;
            if (current != nullptr && !current->is_null()) {
                fresh.push_back(*current);
            }
            props[name] = std::move(fresh);
            current = props.if_contains(name);
        }
        return current->as_array();
    };
    if (kind == "update_or_create") {
        props[name] = value;
    } else if (kind == "set_once") {
        if (current == nullptr) {
            props[name] = value;
        }
    } else if (kind == "add") {
        const double base = current == nullptr ? 0 : numberOf(*current);
        props[name] = number(base + numberOf(value));
    } else if (kind == "delete") {
        props.erase(name);
    } else if (kind == "append") {
        asArray().push_back(value);
    } else if (kind == "union") {
        json::array& list = asArray();
        if (std::find(list.begin(), list.end(), value) == list.end()) {
            list.push_back(value);
        }
    } else if (kind == "exclude") {
        if (current != nullptr && current->is_array()) {
            json::array& list = current->as_array();
            json::array kept;
            for (const auto& item : list) {
                if (item != value) {
                    kept.push_back(item);
                }
            }
            list = std::move(kept);
        }
    } else {
        fail(400, "invalid_parameter", "Unknown op: " + std::string(kind));
    }
}

json::value setProps(ApiCall& call) {
    call.requireSelf(call.captures[0]);
    const std::string text = call.required("operations");
    json::error_code ec;
    json::value operations = json::parse(text, ec);
    if (ec || !operations.is_array()) {
        fail(400, "invalid_parameter", "operations is not a JSON array");
    }
    json::object props = call.user->props;  // all or nothing
    for (const auto& operation : operations.as_array()) {
        if (!operation.is_object()) {
            fail(400, "invalid_parameter", "Each operation must be an object");
        }
        applyOperation(props, operation.as_object());
    }
    call.user->props = props;
    json::object data;
    data["props"] = std::move(props);
    return data;
}

json::value trackServiceEvent(ApiCall& call) {
    call.requireOwnApp(call.captures[0]);
    const std::string event = call.required("event_type");
    if (event.empty()) {
        fail(400, "invalid_parameter", "event_type is empty");
    }
    json::object record;
    record["id"] = call.store.nextId();
    record["event_type"] = event;
    record["user"] = call.user->id;
    if (const std::string* props = call.param("event_props")) {
        record["event_props"] = jsonOrText(*props);
    }
    if (const std::string* roles = call.param("admin_roles")) {
        record["admin_roles"] = jsonOrText(*roles);
    }
    record["created"] = Store::now();
    json::object data;
    data["id"] = record["id"];
    call.app->serviceEvents.emplace_back(std::move(record));
    return data;
}

json::value subscribePush(ApiCall& call) {
    call.requireSelf(call.captures[0]);
    PushSubscription s;
    s.token = call.required("token");
    s.deviceGuid = call.required("device_guid");
    s.type = call.optional("type");
    s.userAgent = call.optional("user_agent");
    s.created = Store::now();
    if (s.token.empty() || s.deviceGuid.empty()) {
        fail(400, "invalid_parameter", "token and device_guid must not be empty");
    }
    auto& pushes = call.user->pushes;
    std::erase_if(pushes, [&](const PushSubscription& p) {
        return p.deviceGuid == s.deviceGuid && p.type == s.type;
    });
    json::object data;
    data["device_guid"] = s.deviceGuid;
    data["type"] = s.type;
    data["subscribed"] = true;
    pushes.push_back(std::move(s));
    return data;
}

json::value unsubscribePush(ApiCall& call) {
    call.requireSelf(call.captures[0]);
    const std::string device = call.required("device_guid");
    const std::string* type = call.param("type");
    const auto removed = std::erase_if(call.user->pushes, [&](const PushSubscription& p) {
        return p.deviceGuid == device && (type == nullptr || p.type == *type);
    });
    json::object data;
    data["device_guid"] = device;
    data["removed"] = removed;
    return data;
}

}  // namespace

void addSessionRoutes(std::vector<Route>& routes) {
    routes.push_back({"POST", "connect", false, &connect});
    routes.push_back({"POST", "auth/userappauth", true, &authenticate});
    routes.push_back({"POST", "users/*/setpresence", true, &setPresence});
    routes.push_back({"POST", "users/*/events", true, &trackEvent});
    routes.push_back({"POST", "users/*/props", true, &setProps});
    routes.push_back({"POST", "apps/*/service_events", true, &trackServiceEvent});
    routes.push_back({"POST", "users/*/pushes_subscribe", true, &subscribePush});
    routes.push_back({"POST", "users/*/pushes_unsubscribe", true, &unsubscribePush});
}

}  // namespace vesk::dev
