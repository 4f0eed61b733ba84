// The operator's side of the control API: replies (one or a flood), typing notices, popups and
// chat popups, each stored like the service stores them and queued for real-time delivery.
#include <boost/json/parse.hpp>
#include <boost/json/serialize.hpp>

#include "control.hpp"
#include "envelope.hpp"
#include "files.hpp"
#include "seed.hpp"
#include "wire.hpp"

namespace vesk::dev {

namespace json = boost::json;

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

namespace {

// A whole number under either spelling; absent when missing or out of range.
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
// A chat popup: a conversation of type "popup_chat" with the operator's text, sent as a dialog.
}  // namespace

namespace {

// Appends an operator part to the targeted conversation and queues its real-time delivery.
HttpReply deliverOperatorPart(ServerState& state, const json::object& body, std::string text,
                              const std::string& type, const std::string& replyType,
                              std::optional<json::value> bodyJson) {
    Store& store = state.store;
    HttpReply why;
    Conversation* conversation = targetConversation(store, body, why);
    if (conversation == nullptr) {
        return why;
    }
    const Admin* admin = operatorFor(store, body, *conversation, why);
    if (admin == nullptr) {
        return why;
    }
    Part made = operatorPart(store, *admin, std::move(text), type);
    made.replyType = replyType;
    made.bodyJson = std::move(bodyJson);
    Part& part = store.appendPart(*conversation, std::move(made));
    json::object partObject = partJson(store, part);
    store.outbox.push_back(
        {conversation->appId, conversation->userId, "conversation_reply", partObject});
    return jsonReply(201, json::object{{"conversation", dialogJson(store, *conversation)},
                                       {"part", std::move(partObject)}});
}

}  // namespace

HttpReply operatorReply(ServerState& state, const json::object& body) {
    std::string text = member(body, "text", "body");
    if (text.empty()) {
        return controlError(400, "text is required");
    }
    return deliverOperatorPart(state, body, std::move(text), member(body, "type", "type"), "text",
                               std::nullopt);
}

// A booking card: the widget shows a button that asks the library to open the booking page.
HttpReply operatorBooking(ServerState& state, const json::object& body) {
    std::string url = member(body, "url", "url");
    if (url.empty()) {
        url = "https://calendly.com/vesk-demo/30min";
    }
    std::string text = member(body, "text", "body");
    if (text.empty()) {
        text = "Pick a time for a call";
    }
    return deliverOperatorPart(state, body, std::move(text), "reply_admin", "calendly",
                               json::value(json::object{{"type", "calendly"}, {"url", url}}));
}

// A reply whose text carries a meeting link, which the widget offers to join.
HttpReply operatorMeeting(ServerState& state, const json::object& body) {
    std::string url = member(body, "url", "url");
    if (url.empty()) {
        url = "https://zoom.us/j/5551234567";
    }
    return deliverOperatorPart(state, body, "Join the call: " + url, "reply_admin", "text",
                               std::nullopt);
}

// A file the operator sends: "content" as its bytes, or "size" generated ones (default 1024).
HttpReply operatorReplyFile(ServerState& state, const json::object& body) {
    Store& store = state.store;
    std::string filename = member(body, "filename", "fileName");
    if (filename.empty()) {
        filename = "file.bin";
    }
    if (filename.find('/') != std::string::npos) {
        return controlError(400, "filename must not contain '/'");
    }
    std::string bytes;
    if (const json::value* content = body.if_contains("content")) {
        if (!content->is_string()) {
            return controlError(400, "content must be a string");
        }
        bytes = std::string(content->as_string());
    } else {
        const std::optional<std::int64_t> size =
            body.contains("size") ? integerMember(body, "size", "size") : 1024;
        if (!size || *size < 0 || static_cast<std::uint64_t>(*size) > kGeneratedLimit) {
            return controlError(400, "size must be 0 to 268435456");
        }
        bytes = generatedBytes(static_cast<std::size_t>(*size));
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
    Attachment a;
    a.filename = filename;
    a.mimeType = mimeTypeFor(filename, member(body, "mime_type", "mimeType"));
    a.type = a.mimeType.rfind("image/", 0) == 0 ? "image" : "file";
    a.bytes = std::move(bytes);
    const Attachment& stored = store.addAttachment(std::move(a));
    Part p =
        operatorPart(store, *admin, member(body, "text", "body"), member(body, "type", "type"));
    p.attachmentIds.push_back(stored.id);
    Part& part = store.appendPart(*conversation, std::move(p));
    json::object partObject = partJson(store, part);
    store.outbox.push_back(
        {conversation->appId, conversation->userId, "conversation_reply", partObject});
    return jsonReply(201, json::object{{"conversation", dialogJson(store, *conversation)},
                                       {"part", std::move(partObject)},
                                       {"attachment", attachmentJson(store, stored)}});
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

}  // namespace vesk::dev
