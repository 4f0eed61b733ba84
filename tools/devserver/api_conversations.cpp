// Conversations and their parts: list, load, start, reply (text and file), mark read, metadata,
// votes, delete and edit.
#include <algorithm>
#include <boost/json/parse.hpp>
#include <cstdlib>

#include "api.hpp"
#include "files.hpp"
#include "wire.hpp"

namespace vesk::dev {
namespace {

namespace json = boost::json;

constexpr int kDefaultPageSize = 20;

int pageSize(const ApiCall& call) {
    const std::string* text = call.param("limit");
    if (text == nullptr) {
        return kDefaultPageSize;
    }
    char* end = nullptr;
    const long n = std::strtol(text->c_str(), &end, 10);
    if (text->empty() || end != text->c_str() + text->size() || n < 1 || n > 1000) {
        fail(400, "invalid_parameter", "limit must be a number from 1 to 1000");
    }
    return static_cast<int>(n);
}

// The paging cursor sent back as "after": the position a previous page ended on.
std::optional<double> cursor(const ApiCall& call) {
    const std::string after = call.optional("after");
    if (after.empty()) {
        return std::nullopt;
    }
    char* end = nullptr;
    const double d = std::strtod(after.c_str(), &end);
    if (end != after.c_str() + after.size()) {
        fail(400, "invalid_parameter", "after is not a paging position: " + after);
    }
    return d;
}

bool towardsOlder(const ApiCall& call) {
    const std::string direction = call.optional("paginate_direction", "before");
    if (direction != "before" && direction != "after") {
        fail(400, "invalid_parameter", "paginate_direction must be before or after");
    }
    return direction == "before";
}

std::int64_t randomIdOf(const ApiCall& call) {
    const std::string text = call.optional("random_id");
    if (text.empty()) {
        return 0;
    }
    char* end = nullptr;
    const long long n = std::strtoll(text.c_str(), &end, 10);
    if (end != text.c_str() + text.size()) {
        fail(400, "invalid_parameter", "random_id is not a number: " + text);
    }
    return n;
}

// Newest first going back ("before"), oldest first going forward ("after"); "next_after" names
// the position to continue from and is left out on the last page.
json::value conversationPage(ApiCall& call) {
    const bool including =
        call.flag("paginate_including", false) || call.flag("paginate_include", false);
    const bool older = towardsOlder(call);
    const auto from = cursor(call);
    const int limit = pageSize(call);
    std::vector<const Conversation*> list;
    for (const Conversation* c : call.store.conversationsOf(call.user->id)) {
        if (!from || (older ? (c->position < *from || (including && c->position == *from))
                            : (c->position > *from || (including && c->position == *from)))) {
            list.push_back(c);
        }
    }
    std::sort(list.begin(), list.end(), [&](const Conversation* a, const Conversation* b) {
        return older ? a->position > b->position : a->position < b->position;
    });
    json::array page;
    const std::size_t count = std::min(list.size(), static_cast<std::size_t>(limit));
    for (std::size_t i = 0; i < count; ++i) {
        page.emplace_back(dialogJson(call.store, *list[i]));
    }
    if (list.size() > count) {
        call.meta["next_after"] = list[count - 1]->position;
    }
    return page;
}

json::value listUserConversations(ApiCall& call) {
    call.requireSelf(call.captures[0]);
    return conversationPage(call);
}

json::value listAppConversations(ApiCall& call) {
    call.requireOwnApp(call.captures[0]);
    return conversationPage(call);
}

json::value getConversation(ApiCall& call) {
    return dialogJson(call.store, call.ownConversation(call.captures[0]));
}

Part userPart(const ApiCall& call, std::string body, std::string type) {
    Part p;
    p.body = std::move(body);
    p.type = type.empty() ? "reply_user" : std::move(type);
    p.direction = "u2a";
    p.read = true;
    p.sentVia = "sdk";
    p.from = call.user->id;
    return p;
}

json::value startConversation(ApiCall& call) {
    call.requireSelf(call.captures[0]);
    std::string body = call.required("body");
    if (body.empty()) {
        fail(400, "invalid_parameter", "body is empty");
    }
    Conversation& c = call.store.createConversation(*call.user);
    Part& p = call.store.appendPart(c, userPart(call, std::move(body), {}));
    call.publish("conversation_reply", partJson(call.store, p));
    return dialogJson(call.store, c);
}

// The user's part already stored in `c` under this random id, if any: a retry
// of a reply whose answer was lost must not post it twice.
const Part* sentBefore(const Conversation& c, const ApiCall& call, std::int64_t randomId) {
    if (randomId == 0) {
        return nullptr;
    }
    const json::value user(call.user->id);
    const auto found = std::find_if(c.parts.begin(), c.parts.end(), [&](const Part& p) {
        return p.randomId == randomId && p.direction == "u2a" && p.from == user;
    });
    return found == c.parts.end() ? nullptr : &*found;
}

json::value reply(ApiCall& call) {
    Conversation& c = call.ownConversation(call.captures[0]);
    std::string body = call.required("body");
    const bool fromUser = call.flag("from_user", true);
    if (const Part* stored = fromUser ? sentBefore(c, call, randomIdOf(call)) : nullptr) {
        return partJson(call.store, *stored);
    }
    Part p;
    if (fromUser) {
        p = userPart(call, std::move(body), call.optional("type"));
    } else {
        // An app connection answering as the app: the part comes from the app's owner.
        const Admin& owner = call.store.ownerOf(*call.app);
        p.body = std::move(body);
        p.type = call.optional("type");
        if (p.type.empty()) {
            p.type = "reply_admin";
        }
        p.direction = "a2u";
        p.sentVia = "api";
        p.from = adminJson(call.store, owner);
    }
    p.randomId = randomIdOf(call);
    if (const std::string* bodyJson = call.param("body_json")) {
        p.bodyJson = jsonOrText(*bodyJson);
    }
    Part& stored = call.store.appendPart(c, std::move(p));
    json::object part = partJson(call.store, stored);
    call.publish("conversation_reply", part);
    return part;
}

json::value markRead(ApiCall& call) {
    Conversation& c = call.ownConversation(call.captures[0]);
    for (auto& p : c.parts) {
        if (p.direction == "a2u") {
            p.read = true;
        }
    }
    c.userUnreadCount = 0;
    json::object data;
    data["id"] = c.id;
    data["user_unread_count"] = 0;
    return data;
}

json::value replyFile(ApiCall& call) {
    Conversation& c = call.ownConversation(call.captures[0]);
    const RecordedRequest::Part* file = call.request.part("file");
    if (file == nullptr) {
        fail(400, "missing_parameter", "Missing multipart part: file");
    }
    std::string filename = call.optional("filename");
    if (filename.empty()) {
        filename = file->filename.empty() ? "file" : file->filename;
    }
    Attachment a;
    a.filename = filename;
    a.mimeType = mimeTypeFor(filename, file->contentType);
    a.type = a.mimeType.rfind("image/", 0) == 0 ? "image" : "file";
    a.bytes = file->body;
    Attachment& stored = call.store.addAttachment(std::move(a));

    Part p = userPart(call, "", {});
    p.randomId = randomIdOf(call);
    p.attachmentIds.push_back(stored.id);
    Part& part = call.store.appendPart(c, std::move(p));
    json::object data = partJson(call.store, part);
    call.publish("conversation_reply", data);
    data["attachment"] = attachmentJson(call.store, stored);
    return data;
}

// Oldest first within a page; "next_before_position" holds the position to load older parts
// from and is left out when the page reaches the first part.
json::value listParts(ApiCall& call) {
    Conversation& c = call.ownConversation(call.captures[0]);
    const bool including = call.flag("paginate_include", false);
    const bool older = towardsOlder(call);
    const auto from = cursor(call);
    const int limit = pageSize(call);
    std::vector<const Part*> list;
    for (const auto& p : c.parts) {
        if (!from || (older ? (p.position < *from || (including && p.position == *from))
                            : (p.position > *from || (including && p.position == *from)))) {
            list.push_back(&p);
        }
    }
    const std::size_t count = std::min(list.size(), static_cast<std::size_t>(limit));
    const std::size_t first = older ? list.size() - count : 0;
    json::array page;
    for (std::size_t i = first; i < first + count; ++i) {
        page.emplace_back(partJson(call.store, *list[i]));
    }
    if (older && first > 0) {
        call.meta["next_before_position"] = json::array{list[first]->position};
    } else if (!older && list.size() > count) {
        call.meta["next_after"] = list[count - 1]->position;
    }
    return page;
}

void mergeMeta(Part& part, json::value update) {
    if (part.metaData && part.metaData->is_object() && update.is_object()) {
        for (auto& item : update.as_object()) {
            part.metaData->as_object()[item.key()] = std::move(item.value());
        }
    } else {
        part.metaData = std::move(update);
    }
}

json::value updateMetaData(ApiCall& call) {
    Part& p = call.ownPart(call.captures[0]);
    mergeMeta(p, jsonOrText(call.required("meta_data")));
    return partJson(call.store, p);
}

json::value vote(ApiCall& call) {
    Part& p = call.ownPart(call.captures[0]);
    json::object update;
    update["vote"] = call.required("vote");
    update["comment"] = call.optional("comment");
    mergeMeta(p, std::move(update));
    return partJson(call.store, p);
}

Part& ownUserPart(ApiCall& call) {
    call.requireOwnApp(call.required("app"));
    Part& p = call.ownPart(call.captures[0]);
    if (p.direction != "u2a") {
        fail(403, "forbidden", "Only the user's own parts can be changed");
    }
    return p;
}

json::value deletePart(ApiCall& call) {
    const std::string id = ownUserPart(call).id;
    call.store.removePart(id);
    json::object data;
    data["id"] = id;
    data["deleted"] = true;
    return data;
}

json::value editPart(ApiCall& call) {
    Part& p = ownUserPart(call);
    p.body = call.required("body");
    json::object edited;
    edited["edited"] = Store::now();
    mergeMeta(p, std::move(edited));
    return partJson(call.store, p);
}

}  // namespace

void addConversationRoutes(std::vector<Route>& routes) {
    routes.push_back({"GET", "users/*/conversations", true, &listUserConversations});
    routes.push_back({"GET", "apps/*/conversations", true, &listAppConversations});
    routes.push_back({"GET", "conversations/*", true, &getConversation});
    routes.push_back({"POST", "users/*/startconversation", true, &startConversation});
    routes.push_back({"POST", "conversations/*/reply", true, &reply});
    routes.push_back({"POST", "conversations/*/markread", true, &markRead});
    routes.push_back({"POST", "conversations/*/replyfile", true, &replyFile});
    routes.push_back({"GET", "conversations/*/parts", true, &listParts});
    routes.push_back({"POST", "conversationparts/*/meta_data", true, &updateMetaData});
    routes.push_back({"POST", "conversationparts/*/vote", true, &vote});
    routes.push_back({"DELETE", "conversationparts/*", true, &deletePart});
    routes.push_back({"PUT", "conversationparts/*", true, &editPart});
}

}  // namespace vesk::dev
