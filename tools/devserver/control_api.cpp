// The /_dev/ control API: recorded requests, faults, state, apps and operator replies. Plain
// JSON, no envelope.
#include <boost/json/parse.hpp>
#include <boost/json/serialize.hpp>
#include <boost/json/value_from.hpp>

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

HttpReply controlError(int status, const std::string& message) {
    return jsonReply(status, json::object{{"error", message}});
}

// A member under either of its two spellings ("conversation_id" or "conversationId").
std::string member(const json::object& o, const char* snake, const char* camel) {
    for (const char* key : {snake, camel}) {
        if (const json::value* v = o.if_contains(key)) {
            if (v->is_string()) {
                return std::string(v->as_string());
            }
            if (v->is_int64()) {
                return std::to_string(v->as_int64());
            }
        }
    }
    return {};
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
        why = "action must be delay, drop, truncate, reply or hang";
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
    if (const json::value* body = o.if_contains("body")) {
        f.body = body->is_string() ? std::string(body->as_string()) : json::serialize(*body);
    }
    const std::string type = member(o, "content_type", "contentType");
    if (!type.empty()) {
        f.contentType = type;
    }
    if (f.count == 0 || f.count < -1 || f.delay.count() < 0 || f.status < 100 || f.status > 999) {
        why = "count must be -1 or positive, delay_ms not negative, status from 100 to 999";
        return std::nullopt;
    }
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

std::optional<std::int64_t> integerMember(const json::object& o, const char* snake,
                                          const char* camel) {
    for (const char* key : {snake, camel}) {
        if (const json::value* v = o.if_contains(key)) {
            if (v->is_int64()) {
                return v->as_int64();
            }
            if (v->is_uint64() && v->as_uint64() <= static_cast<std::uint64_t>(INT64_MAX)) {
                return static_cast<std::int64_t>(v->as_uint64());
            }
        }
    }
    return std::nullopt;
}

// The conversation a control request names: `conversation_id`, or the newest one of `user_id`
// (opened when they have none). Null with `why` set when there is none.
Conversation* targetConversation(Store& store, const json::object& body, HttpReply& why) {
    const std::string conversationId = member(body, "conversation_id", "conversationId");
    const std::string userId = member(body, "user_id", "userId");
    Conversation* conversation = nullptr;
    if (!conversationId.empty()) {
        conversation = store.conversation(conversationId);
    } else if (!userId.empty()) {
        if (const User* user = store.userById(userId)) {
            for (const Conversation* c : store.conversationsOf(userId)) {
                if (conversation == nullptr || c->position > conversation->position) {
                    conversation = store.conversation(c->id);
                }
            }
            if (conversation == nullptr) {
                conversation = &store.createConversation(*user);
            }
        }
    } else {
        why = controlError(400, "conversation_id or user_id is required");
        return nullptr;
    }
    if (conversation == nullptr) {
        why = controlError(404, "no such conversation or user");
    }
    return conversation;
}

// `admin_id`, else the conversation's last operator, else the app's owner.
const Admin* operatorFor(Store& store, const json::object& body, const Conversation& c,
                         HttpReply& why) {
    std::string adminId = member(body, "admin_id", "adminId");
    if (adminId.empty()) {
        const App* app = store.appById(c.appId);
        adminId = !c.lastAdminId.empty() ? c.lastAdminId
                                         : (app != nullptr ? store.ownerOf(*app).id : "1");
    }
    const Admin* admin = store.admin(adminId);
    if (admin == nullptr) {
        why = controlError(404, "no such operator: " + adminId);
    }
    return admin;
}

Part operatorPart(const Store& store, const Admin& admin, std::string text, std::string type) {
    Part p;
    p.body = std::move(text);
    p.type = type.empty() ? "reply_admin" : std::move(type);
    p.direction = "a2u";
    p.sentVia = "web";
    p.from = adminJson(store, admin);
    return p;
}

// Appends an operator part to a conversation, named directly or as the user's newest one
// (created when the user has none), and queues its real-time delivery.
HttpReply operatorReply(ServerState& state, const json::object& body) {
    Store& store = state.store;
    std::string text = member(body, "text", "body");
    if (text.empty()) {
        return controlError(400, "text is required");
    }
    HttpReply why;
    Conversation* conversation = targetConversation(store, body, why);
    if (conversation == nullptr) {
        return why;
    }
    const Admin* admin = operatorFor(store, body, *conversation, why);
    if (admin == nullptr) {
        return why;
    }
    Part& part = store.appendPart(
        *conversation, operatorPart(store, *admin, std::move(text), member(body, "type", "type")));
    json::object partObject = partJson(store, part);
    store.outbox.push_back(
        {conversation->appId, conversation->userId, "conversation_reply", partObject});
    return jsonReply(201, json::object{{"conversation", dialogJson(store, *conversation)},
                                       {"part", std::move(partObject)}});
}

// Many operator replies at once, for load: stored like single ones and sent as one batch.
constexpr std::int64_t kFloodLimit = 1000000;

HttpReply operatorFlood(ServerState& state, const json::object& body) {
    Store& store = state.store;
    const std::int64_t count = integerMember(body, "count", "count").value_or(0);
    if (count < 1 || count > kFloodLimit) {
        return controlError(400, "count must be from 1 to 1000000");
    }
    std::string text = member(body, "text", "body");
    if (text.empty()) {
        text = "Reply";
    }
    HttpReply why;
    Conversation* conversation = targetConversation(store, body, why);
    if (conversation == nullptr) {
        return why;
    }
    const Admin* admin = operatorFor(store, body, *conversation, why);
    if (admin == nullptr) {
        return why;
    }
    const std::int64_t first = integerMember(body, "first_number", "firstNumber").value_or(1);
    const Part model = operatorPart(store, *admin, {}, {});
    std::string firstId, lastId;
    store.outbox.reserve(store.outbox.size() + static_cast<std::size_t>(count));
    for (std::int64_t i = first; i < first + count; ++i) {
        Part p = model;
        p.body = text + " " + std::to_string(i);
        Part& part = store.appendPart(*conversation, std::move(p));
        if (firstId.empty()) {
            firstId = part.id;
        }
        lastId = part.id;
        store.outbox.push_back({conversation->appId, conversation->userId, "conversation_reply",
                                partJson(store, part)});
    }
    return jsonReply(201, json::object{{"conversation_id", conversation->id},
                                       {"count", count},
                                       {"first_part_id", firstId},
                                       {"last_part_id", lastId}});
}

HttpReply operatorTyping(ServerState& state, const json::object& body) {
    Store& store = state.store;
    const std::string conversationId = member(body, "conversation_id", "conversationId");
    if (conversationId.empty()) {
        return controlError(400, "conversation_id is required");
    }
    const Conversation* conversation = store.conversation(conversationId);
    if (conversation == nullptr) {
        return controlError(404, "no such conversation: " + conversationId);
    }
    HttpReply why;
    const Admin* admin = operatorFor(store, body, *conversation, why);
    if (admin == nullptr) {
        return why;
    }
    json::object message{{"conversation", conversation->id}, {"admin", adminJson(store, *admin)}};
    store.outbox.push_back(
        {conversation->appId, conversation->userId, "conversation_typing", message});
    return jsonReply(200, json::object{{"message", std::move(message)}});
}

// A conversation of `type` opened by an operator part, for a popup or a chat popup; sets `why`
// and returns null when the user or operator is unknown or a member is malformed.
Conversation* operatorConversation(ServerState& state, const json::object& body,
                                   const std::string& type, Part part, HttpReply& why) {
    Store& store = state.store;
    const std::string userId = member(body, "user_id", "userId");
    if (userId.empty()) {
        why = controlError(400, "user_id is required");
        return nullptr;
    }
    const User* user = store.userById(userId);
    if (user == nullptr) {
        why = controlError(404, "no such user: " + userId);
        return nullptr;
    }
    std::optional<std::int64_t> expiration;
    if (body.contains("expiration_time") || body.contains("expirationTime")) {
        expiration = integerMember(body, "expiration_time", "expirationTime");
        if (!expiration) {
            why = controlError(400, "expiration_time must be an integer");
            return nullptr;
        }
    }
    const App* app = store.appById(user->appId);
    Conversation probe;
    probe.appId = user->appId;
    probe.lastAdminId = app != nullptr ? store.ownerOf(*app).id : "1";
    const Admin* admin = operatorFor(store, body, probe, why);
    if (admin == nullptr) {
        return nullptr;
    }
    Conversation& c = store.createConversation(*user, type);
    c.expirationTime = expiration;
    Part p = operatorPart(store, *admin, std::move(part.body), std::move(part.type));
    p.bodyJson = std::move(part.bodyJson);
    store.appendPart(c, std::move(p));
    return &c;
}

// A popup: a conversation of type "block_popup_small" whose "body_json" is JSON text, sent on
// the "conversation" channel as a dialog with "recipient_type".
HttpReply operatorPopup(ServerState& state, const json::object& body) {
    const json::value* page = body.if_contains("body_json");
    if (page == nullptr) {
        page = body.if_contains("bodyJson");
    }
    if (page == nullptr) {
        return controlError(400, "body_json is required");
    }
    const std::string text =
        page->is_string() ? std::string(page->as_string()) : json::serialize(*page);
    std::string recipient = member(body, "recipient_type", "recipientType");
    if (recipient.empty()) {
        recipient = "sdk";
    }
    Part part;
    part.type = "block_popup_small";
    part.bodyJson = json::string(text);
    HttpReply why;
    Conversation* c = operatorConversation(state, body, "block_popup_small", std::move(part), why);
    if (c == nullptr) {
        return why;
    }
    c->bodyJson = json::string(text);
    json::object message = dialogJson(state.store, *c);
    message["recipient_type"] = recipient;
    state.store.outbox.push_back({c->appId, c->userId, "conversation", message});
    return jsonReply(201, json::object{{"conversation", std::move(message)}});
}

// A chat popup: a conversation of type "popup_chat" with the operator's text, sent as a dialog.
HttpReply operatorPopupChat(ServerState& state, const json::object& body) {
    Part part;
    part.body = member(body, "text", "body");
    if (part.body.empty()) {
        return controlError(400, "text is required");
    }
    HttpReply why;
    Conversation* c = operatorConversation(state, body, "popup_chat", std::move(part), why);
    if (c == nullptr) {
        return why;
    }
    json::object message = dialogJson(state.store, *c);
    state.store.outbox.push_back({c->appId, c->userId, "conversation", message});
    return jsonReply(201, json::object{{"conversation", std::move(message)}});
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
