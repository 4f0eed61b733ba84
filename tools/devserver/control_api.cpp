// The /_dev/ control API: recorded requests, faults, state and apps, and the dispatch to the
// operator controls (control_operator.cpp). Plain JSON, no envelope.
#include <boost/json/parse.hpp>
#include <boost/json/serialize.hpp>
#include <boost/json/value_from.hpp>

#include "control.hpp"
#include "envelope.hpp"
#include "seed.hpp"
#include "service.hpp"
#include "wire.hpp"

namespace vesk::dev {

namespace json = boost::json;

namespace {

constexpr std::size_t kInlineBodyLimit = 64 * 1024;

bool validUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t extra = 0;
        std::uint32_t min = 0;
        if (c < 0x80) {
            ++i;
            continue;
        }
        if ((c & 0xe0) == 0xc0) {
            extra = 1;
            min = 0x80;
        } else if ((c & 0xf0) == 0xe0) {
            extra = 2;
            min = 0x800;
        } else if ((c & 0xf8) == 0xf0) {
            extra = 3;
            min = 0x10000;
        } else {
            return false;
        }
        if (i + extra >= s.size()) {
            return false;
        }
        std::uint32_t code = c & (0x3fu >> extra);
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xc0) != 0x80) {
                return false;
            }
            code = (code << 6) | (d & 0x3fu);
        }
        if (code < min || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) {
            return false;
        }
        i += extra + 1;
    }
    return true;
}

// "size" always; the bytes as "body" only when they are short UTF-8 text.
void putBody(json::object& o, const std::string& body) {
    o["size"] = body.size();
    if (body.size() <= kInlineBodyLimit && validUtf8(body)) {
        o["body"] = body;
    }
}

json::array pairsJson(const Pairs& pairs) {
    json::array out;
    for (const auto& [k, v] : pairs) {
        out.emplace_back(json::array{json::value(k), json::value(v)});
    }
    return out;
}

std::optional<Fault::Action> actionNamed(std::string_view name) {
    if (name == "delay") {
        return Fault::Action::delay;
    }
    if (name == "drop") {
        return Fault::Action::drop;
    }
    if (name == "truncate") {
        return Fault::Action::truncate;
    }
    if (name == "reply") {
        return Fault::Action::reply;
    }
    if (name == "hang") {
        return Fault::Action::hang;
    }
    if (name == "slow") {
        return Fault::Action::slow;
    }
    if (name == "stall") {
        return Fault::Action::stall;
    }
    return std::nullopt;
}

const char* actionName(Fault::Action action) {
    switch (action) {
        case Fault::Action::delay:
            return "delay";
        case Fault::Action::drop:
            return "drop";
        case Fault::Action::truncate:
            return "truncate";
        case Fault::Action::reply:
            return "reply";
        case Fault::Action::hang:
            return "hang";
        case Fault::Action::slow:
            return "slow";
        case Fault::Action::stall:
            return "stall";
    }
    return "drop";
}

std::optional<Fault> faultFrom(const json::value& v, std::string& why) {
    if (!v.is_object()) {
        why = "a fault must be an object";
        return std::nullopt;
    }
    const json::object& o = v.as_object();
    Fault f;
    const std::string path = member(o, "path", "pathPrefix");
    f.pathPrefix = path.empty() ? member(o, "path_prefix", "prefix") : path;
    if (f.pathPrefix.empty()) {
        f.pathPrefix = "*";
    }
    const auto action = actionNamed(member(o, "action", "action"));
    if (!action) {
        why = "action must be delay, drop, truncate, reply, hang, slow or stall";
        return std::nullopt;
    }
    f.action = *action;
    auto integer = [&](const char* snake, const char* camel, std::int64_t fallback) {
        for (const char* key : {snake, camel}) {
            if (const json::value* n = o.if_contains(key); n != nullptr && n->is_int64()) {
                return n->as_int64();
            }
        }
        return fallback;
    };
    f.count = static_cast<int>(integer("count", "count", 1));
    f.delay = std::chrono::milliseconds(integer("delay_ms", "delayMs", 0));
    f.status = static_cast<int>(integer("status", "status", 500));
    const std::int64_t chunk = integer("chunk_bytes", "chunkBytes", 4096);
    if (const json::value* body = o.if_contains("body")) {
        f.body = body->is_string() ? std::string(body->as_string()) : json::serialize(*body);
    }
    const std::string type = member(o, "content_type", "contentType");
    if (!type.empty()) {
        f.contentType = type;
    }
    if (f.count == 0 || f.count < -1 || f.delay.count() < 0 || f.status < 100 || f.status > 999 ||
        chunk < 1) {
        why =
            "count must be -1 or positive, delay_ms not negative, status from 100 to 999, "
            "chunk_bytes positive";
        return std::nullopt;
    }
    f.chunkBytes = static_cast<std::size_t>(chunk);
    return f;
}

json::object faultList(const ServerState& state) {
    json::array faults;
    for (const auto& f : state.faults) {
        faults.emplace_back(faultJson(f));
    }
    return json::object{{"faults", std::move(faults)}};
}

json::object stateJson(ServerState& state) {
    Store& store = state.store;
    json::array apps;
    for (const auto& [id, app] : store.apps()) {
        json::object o = appJson(app);
        o["api_key"] = app.apiKey;
        o["user_auth_key"] = app.userAuthKey;
        o["admins"] = json::value_from(app.adminIds);
        o["integrations"] = app.integrations;
        o["service_events"] = app.serviceEvents;
        apps.emplace_back(std::move(o));
    }
    json::array admins;
    for (const auto& a : store.admins()) {
        json::object o = adminJson(store, a);
        o["email"] = a.email;
        admins.emplace_back(std::move(o));
    }
    json::array users;
    for (const auto& [id, user] : store.users()) {
        json::object o = userJson(store, user);
        o["app_id"] = user.appId;
        o["token"] = user.token;
        o["props"] = user.props;
        o["events"] = user.events;
        o["session"] = user.session;
        json::array pushes;
        for (const auto& p : user.pushes) {
            pushes.emplace_back(json::object{{"token", p.token},
                                             {"device_guid", p.deviceGuid},
                                             {"type", p.type},
                                             {"user_agent", p.userAgent},
                                             {"created", p.created}});
        }
        o["pushes"] = std::move(pushes);
        users.emplace_back(std::move(o));
    }
    json::array conversations;
    for (const auto& [id, c] : store.conversations()) {
        json::object o = dialogJson(store, c);
        json::array parts;
        for (const auto& p : c.parts) {
            parts.emplace_back(partJson(store, p));
        }
        o["parts"] = std::move(parts);
        conversations.emplace_back(std::move(o));
    }
    json::array integrations;
    for (const auto& [id, i] : store.integrations()) {
        json::object o = integrationJson(i);
        o["settings"] = i.settings;
        integrations.emplace_back(std::move(o));
    }
    return json::object{{"apps", std::move(apps)},
                        {"admins", std::move(admins)},
                        {"users", std::move(users)},
                        {"conversations", std::move(conversations)},
                        {"django_integrations", std::move(integrations)}};
}

HttpReply addApp(ServerState& state, const json::object& body) {
    AppKeys keys{member(body, "api_key", "apiKey"), member(body, "app_id", "appId"),
                 member(body, "user_auth_key", "userAuthKey"), member(body, "name", "name")};
    if (keys.apiKey.empty() || keys.appId.empty() || keys.userAuthKey.empty()) {
        return controlError(400, "api_key, app_id and user_auth_key are required");
    }
    if (keys.appId.find('.') != std::string::npos || keys.appId.find('/') != std::string::npos) {
        return controlError(400, "app_id must not contain '.' or '/'");
    }
    if (!state.store.addApp(makeApp(state.store, keys))) {
        return controlError(409, "api_key or app_id already taken");
    }
    const App& app = *state.store.appById(keys.appId);
    json::object o = appJson(app);
    o["api_key"] = app.apiKey;
    o["user_auth_key"] = app.userAuthKey;
    return jsonReply(201, o);
}

HttpReply realtimeStats(const Realtime& realtime) {
    json::array users;
    std::size_t total = 0;
    for (const auto& u : realtime.stats()) {
        json::array channels;
        for (const auto& list : u.channels) {
            channels.emplace_back(json::value_from(list));
        }
        total += u.sockets;
        users.emplace_back(json::object{
            {"user_id", u.userId}, {"sockets", u.sockets}, {"channels", std::move(channels)}});
    }
    return jsonReply(200, json::object{{"tag", realtime.tag()},
                                       {"last_id", realtime.lastSequence()},
                                       {"sockets", total},
                                       {"users", std::move(users)}});
}

}  // namespace

bool isControlPath(std::string_view path) {
    return path.substr(0, 6) == "/_dev/" && path != "/_dev/echo" && path != "/_dev/blob";
}

json::object recordedJson(const RecordedRequest& request) {
    json::object o;
    o["method"] = request.method;
    o["path"] = request.path;
    o["query"] = request.query;
    o["query_items"] = pairsJson(request.queryItems);
    o["headers"] = pairsJson(request.headers);
    o["form_fields"] = pairsJson(request.formFields);
    json::array parts;
    for (const auto& p : request.parts) {
        json::object po{
            {"name", p.name}, {"filename", p.filename}, {"content_type", p.contentType}};
        putBody(po, p.body);
        parts.emplace_back(std::move(po));
    }
    o["parts"] = std::move(parts);
    putBody(o, request.body);
    o["connection_id"] = request.connectionId;
    return o;
}

json::object faultJson(const Fault& fault) {
    return json::object{{"path", fault.pathPrefix},
                        {"action", actionName(fault.action)},
                        {"count", fault.count},
                        {"delay_ms", fault.delay.count()},
                        {"chunk_bytes", fault.chunkBytes},
                        {"status", fault.status},
                        {"body", fault.body},
                        {"content_type", fault.contentType}};
}

HttpReply controlApi(ServerState& state, const RecordedRequest& request) {
    const std::string& path = request.path;
    const std::string& method = request.method;
    json::value body;
    if (method == "POST") {
        json::error_code ec;
        body = json::parse(request.body, ec);
        if (ec) {
            return controlError(400, "the body must be JSON");
        }
    }
    if (path == "/_dev/requests") {
        if (method == "GET") {
            json::array out;
            for (const auto& r : state.requests) {
                out.emplace_back(recordedJson(r));
            }
            return jsonReply(200, json::object{{"requests", std::move(out)}});
        }
        if (method == "DELETE") {
            const std::size_t n = state.requests.size();
            state.requests.clear();
            return jsonReply(200, json::object{{"cleared", n}});
        }
    } else if (path == "/_dev/faults") {
        if (method == "GET") {
            return jsonReply(200, faultList(state));
        }
        if (method == "POST") {
            std::vector<Fault> added;
            std::string why;
            const json::array single{body};
            for (const auto& item : body.is_array() ? body.as_array() : single) {
                auto fault = faultFrom(item, why);
                if (!fault) {
                    return controlError(400, why);
                }
                added.push_back(std::move(*fault));
            }
            state.faults.insert(state.faults.end(), added.begin(), added.end());
            return jsonReply(201, faultList(state));
        }
        if (method == "DELETE") {
            const std::size_t n = state.faults.size();
            state.faults.clear();
            return jsonReply(200, json::object{{"cleared", n}});
        }
    } else if (path == "/_dev/state") {
        if (method == "GET") {
            return jsonReply(200, stateJson(state));
        }
    } else if (path == "/_dev/apps") {
        if (method == "POST") {
            return body.is_object() ? addApp(state, body.as_object())
                                    : controlError(400, "the body must be an object");
        }
    } else if (path == "/_dev/realtime") {
        if (method == "GET") {
            return realtimeStats(*state.realtime);
        }
    } else if (path.rfind("/_dev/operator/", 0) == 0 || path.rfind("/_dev/realtime/", 0) == 0) {
        using Action = HttpReply (*)(ServerState&, const json::object&);
        static const std::pair<std::string_view, Action> kActions[] = {
            {"/_dev/operator/reply", operatorReply},
            {"/_dev/operator/reply_file", operatorReplyFile},
            {"/_dev/operator/booking", operatorBooking},
            {"/_dev/operator/meeting", operatorMeeting},
            {"/_dev/operator/flood", operatorFlood},
            {"/_dev/operator/typing", operatorTyping},
            {"/_dev/operator/popup", operatorPopup},
            {"/_dev/operator/popup_chat", operatorPopupChat},
            {"/_dev/realtime/drop",
             [](ServerState& s, const json::object& o) {
                 const std::string userId = member(o, "user_id", "userId");
                 if (userId.empty()) {
                     return controlError(400, "user_id is required");
                 }
                 return jsonReply(200, json::object{{"dropped", s.realtime->drop(userId)}});
             }},
            {"/_dev/realtime/restart",
             [](ServerState& s, const json::object&) {
                 return jsonReply(200, json::object{{"dropped", s.realtime->restart()},
                                                    {"tag", s.realtime->tag()}});
             }},
            {"/_dev/realtime/raw",
             [](ServerState& s, const json::object& o) {
                 const std::string userId = member(o, "user_id", "userId");
                 const json::value* text = o.if_contains("text");
                 if (userId.empty() || text == nullptr || !text->is_string()) {
                     return controlError(400, "user_id and text are required");
                 }
                 const std::size_t sent = s.realtime->pushRaw(
                     userId, member(o, "channel", "channel"), text->as_string());
                 return jsonReply(200, json::object{{"sent", sent}});
             }},
        };
        for (const auto& [name, action] : kActions) {
            if (path != name) {
                continue;
            }
            if (method != "POST") {
                break;
            }
            return body.is_object() ? action(state, body.as_object())
                                    : controlError(400, "the body must be an object");
        }
        bool known = false;
        for (const auto& entry : kActions) {
            known = known || path == entry.first;
        }
        if (!known) {
            return controlError(404, "unknown control path: " + path);
        }
    } else {
        return controlError(404, "unknown control path: " + path);
    }
    return controlError(405, "method " + method + " not allowed on " + path);
}

}  // namespace vesk::dev
