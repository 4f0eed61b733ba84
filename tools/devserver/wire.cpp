#include "wire.hpp"

#include <algorithm>
#include <cctype>

namespace vesk::dev {

namespace json = boost::json;

json::object userJson(const Store& store, const User& user) {
    json::array unread;
    bool hasConversations = false;
    for (const Conversation* c : store.conversationsOf(user.id)) {
        hasConversations = true;
        if (c->userUnreadCount > 0) {
            unread.emplace_back(c->id);
        }
    }
    json::object o;
    o["id"] = user.id;
    o["app"] = user.appId;
    o["user_id"] = user.externalId.empty() ? json::value(nullptr) : json::value(user.externalId);
    o["is_banned"] = user.isBanned;
    o["has_conversations"] = hasConversations;
    o["conversations_unread"] = std::move(unread);
    o["presence"] = user.presence;
    o["last_seen"] = user.lastSeen;
    return o;
}

json::object appJson(const App& app) {
    json::object o;
    o["id"] = app.appId;
    o["name"] = app.name;
    o["settings"] = app.settings;
    return o;
}

json::object adminJson(const Store& store, const Admin& admin) {
    json::object o;
    o["id"] = admin.id;
    o["type"] = "admin";
    o["name"] = admin.name;
    o["avatar"] = admin.avatar.empty() || admin.avatar.find("://") != std::string::npos
                      ? admin.avatar
                      : store.baseUrl + "files/avatars/" + admin.avatar;
    return o;
}

std::string fileUrl(const Store& store, const Attachment& attachment) {
    std::string name;
    for (char ch : attachment.filename) {
        const auto c = static_cast<unsigned char>(ch);
        static constexpr char kHex[] = "0123456789ABCDEF";
        if (std::isalnum(c) != 0 || c == '-' || c == '.' || c == '_' || c == '~') {
            name.push_back(static_cast<char>(c));
        } else {
            name += '%';
            name += kHex[c >> 4];
            name += kHex[c & 0x0f];
        }
    }
    return store.baseUrl + "files/" + attachment.id + "/" + name;
}

json::object attachmentJson(const Store& store, const Attachment& attachment) {
    json::object o;
    o["id"] = attachment.id;
    o["created"] = attachment.created;
    o["type"] = attachment.type;
    o["filename"] = attachment.filename;
    o["mime_type"] = attachment.mimeType;
    o["url"] = fileUrl(store, attachment);
    o["size"] = static_cast<std::int64_t>(attachment.bytes.size());
    return o;
}

json::object partJson(const Store& store, const Part& part) {
    json::object o;
    o["id"] = part.id;
    o["random_id"] = part.randomId;
    o["body"] = part.body;
    o["type"] = part.type;
    o["created"] = part.created;
    o["direction"] = part.direction;
    o["read"] = part.read;
    o["sent_via"] = part.sentVia;
    o["reply_type"] = part.replyType;
    o["from"] = part.from;
    o["conversation"] = part.conversationId;
    if (part.bodyJson) {
        o["body_json"] = *part.bodyJson;
    }
    if (part.metaData) {
        o["meta_data"] = *part.metaData;
    }
    json::array attachments;
    for (const auto& id : part.attachmentIds) {
        if (const Attachment* a = store.attachment(id)) {
            attachments.emplace_back(attachmentJson(store, *a));
        }
    }
    o["attachments"] = std::move(attachments);
    return o;
}

json::object dialogJson(const Store& store, const Conversation& c) {
    int unreadParts = 0;
    bool replied = false;
    for (const auto& p : c.parts) {
        if (p.direction == "a2u") {
            replied = true;
            if (!p.read) {
                ++unreadParts;
            }
        }
    }
    json::object o;
    o["id"] = c.id;
    o["created"] = c.created;
    o["replied"] = replied;
    o["message"] = c.message;
    o["type"] = c.type;
    o["reply_type"] = "text";
    if (!c.parts.empty()) {
        o["part_last"] = partJson(store, c.parts.back());
    }
    o["parts_count"] = static_cast<std::int64_t>(c.parts.size());
    const Admin* admin = store.admin(c.lastAdminId);
    o["last_admin"] = adminJson(store, admin != nullptr ? *admin : Admin{"0", "Operator", "", ""});
    o["last_update"] = c.lastUpdate;
    o["unread_parts_count"] = unreadParts;
    if (c.bodyJson) {
        o["body_json"] = *c.bodyJson;
    }
    o["user_unread_count"] = c.userUnreadCount;
    if (c.expirationTime) {
        o["expiration_time"] = *c.expirationTime;
    }
    o["user"] = c.userId;
    return o;
}

json::object integrationJson(const DjangoIntegration& integration) {
    json::object o;
    o["id"] = integration.id;
    o["type"] = integration.type;
    o["created"] = std::to_string(integration.created);
    o["django_user"] = integration.djangoUserId;
    return o;
}

json::object categoryJson(const KbCategory& category, const KnowledgeBase* countIn) {
    json::object o;
    o["id"] = category.id;
    o["name"] = category.name;
    o["icon"] = category.icon;
    if (countIn != nullptr) {
        o["articles_counter"] =
            std::count_if(countIn->articles.begin(), countIn->articles.end(),
                          [&](const KbArticle& a) { return a.categoryId == category.id; });
    }
    return o;
}

json::object articleJson(const KbArticle& article) {
    json::object o;
    o["id"] = article.id;
    o["name"] = article.name;
    o["description"] = article.description;
    o["content"] = article.content;
    o["category_id"] = article.categoryId;
    return o;
}

}  // namespace vesk::dev
