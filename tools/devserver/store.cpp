#include "store.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "crypto.hpp"

namespace vesk::dev {

bool Store::addApp(App app) {
    if (app.apiKey.empty() || app.appId.empty() || appIdByKey_.count(app.apiKey) != 0 ||
        apps_.count(app.appId) != 0) {
        return false;
    }
    appIdByKey_.emplace(app.apiKey, app.appId);
    std::string id = app.appId;
    apps_.emplace(std::move(id), std::move(app));
    return true;
}

App* Store::appByKey(const std::string& apiKey) {
    auto it = appIdByKey_.find(apiKey);
    return it == appIdByKey_.end() ? nullptr : appById(it->second);
}

App* Store::appById(const std::string& appId) {
    auto it = apps_.find(appId);
    return it == apps_.end() ? nullptr : &it->second;
}

void Store::addAdmin(Admin admin) {
    auto it = std::find_if(admins_.begin(), admins_.end(),
                           [&](const Admin& a) { return a.id == admin.id; });
    if (it != admins_.end()) {
        *it = std::move(admin);
    } else {
        admins_.push_back(std::move(admin));
    }
}

const Admin* Store::admin(const std::string& id) const {
    auto it =
        std::find_if(admins_.begin(), admins_.end(), [&](const Admin& a) { return a.id == id; });
    return it == admins_.end() ? nullptr : &*it;
}

const Admin& Store::ownerOf(const App& app) const {
    for (const auto& id : app.adminIds) {
        if (const Admin* a = admin(id)) {
            return *a;
        }
    }
    static const Admin kNobody{"0", "Operator", "", ""};
    return admins_.empty() ? kNobody : admins_.front();
}

User& Store::createUser(const std::string& appId, const std::string& externalId) {
    User user;
    user.id = nextId();
    user.appId = appId;
    user.externalId = externalId;
    user.token = randomHex(16);
    user.lastSeen = now();
    userIdByToken_.emplace(user.token, user.id);
    std::string id = user.id;
    return users_.emplace(std::move(id), std::move(user)).first->second;
}

bool Store::addUser(User user) {
    if (user.id.empty() || user.token.empty() || users_.count(user.id) != 0 ||
        userIdByToken_.count(user.token) != 0) {
        return false;
    }
    userIdByToken_.emplace(user.token, user.id);
    std::string id = user.id;
    users_.emplace(std::move(id), std::move(user));
    return true;
}

User* Store::userById(const std::string& id) {
    auto it = users_.find(id);
    return it == users_.end() ? nullptr : &it->second;
}

User* Store::userByToken(const std::string& token) {
    auto it = userIdByToken_.find(token);
    return it == userIdByToken_.end() ? nullptr : userById(it->second);
}

User* Store::userByExternalId(const std::string& appId, const std::string& externalId) {
    for (auto& [id, user] : users_) {
        if (user.appId == appId && user.externalId == externalId) {
            return &user;
        }
    }
    return nullptr;
}

Conversation& Store::createConversation(const User& user, const std::string& type, std::string id) {
    Conversation c;
    c.id = id.empty() ? nextId() : std::move(id);
    c.appId = user.appId;
    c.userId = user.id;
    c.type = type;
    c.created = now();
    c.lastUpdate = c.created;
    c.position = nextPosition();
    if (const App* app = appById(user.appId)) {
        c.lastAdminId = ownerOf(*app).id;
    }
    std::string key = c.id;
    return conversations_.emplace(std::move(key), std::move(c)).first->second;
}

Conversation* Store::conversation(const std::string& id) {
    auto it = conversations_.find(id);
    return it == conversations_.end() ? nullptr : &it->second;
}

std::vector<const Conversation*> Store::conversationsOf(const std::string& userId) const {
    std::vector<const Conversation*> out;
    for (const auto& [id, c] : conversations_) {
        if (c.userId == userId) {
            out.push_back(&c);
        }
    }
    return out;
}

Part& Store::appendPart(Conversation& conversation, Part part) {
    if (part.id.empty()) {
        part.id = nextId();
    }
    if (part.created == 0) {
        part.created = now();
    }
    part.conversationId = conversation.id;
    part.position = nextPosition();
    conversation.lastUpdate = std::max(conversation.lastUpdate, part.created);
    conversation.position = part.position;
    if (part.direction == "a2u") {
        if (!part.read) {
            ++conversation.userUnreadCount;
        }
        if (part.from.is_object()) {
            if (const auto* id = part.from.as_object().if_contains("id");
                id != nullptr && id->is_string()) {
                conversation.lastAdminId = std::string(id->as_string());
            }
        }
    }
    if (conversation.message.empty() && conversation.parts.empty()) {
        conversation.message = part.body;
    }
    conversationByPart_[part.id] = conversation.id;
    conversation.parts.push_back(std::move(part));
    return conversation.parts.back();
}

Part* Store::part(const std::string& id, Conversation** owner) {
    auto it = conversationByPart_.find(id);
    if (it == conversationByPart_.end()) {
        return nullptr;
    }
    Conversation* c = conversation(it->second);
    if (c == nullptr) {
        return nullptr;
    }
    for (auto& p : c->parts) {
        if (p.id == id) {
            if (owner != nullptr) {
                *owner = c;
            }
            return &p;
        }
    }
    return nullptr;
}

bool Store::removePart(const std::string& id) {
    Conversation* c = nullptr;
    Part* p = part(id, &c);
    if (p == nullptr) {
        return false;
    }
    if (p->direction == "a2u" && !p->read && c->userUnreadCount > 0) {
        --c->userUnreadCount;
    }
    c->parts.erase(c->parts.begin() + (p - c->parts.data()));
    conversationByPart_.erase(id);
    return true;
}

Attachment& Store::addAttachment(Attachment attachment) {
    attachment.id = nextId();
    attachment.created = now();
    std::string id = attachment.id;
    return attachments_.emplace(std::move(id), std::move(attachment)).first->second;
}

const Attachment* Store::attachment(const std::string& id) const {
    auto it = attachments_.find(id);
    return it == attachments_.end() ? nullptr : &it->second;
}

DjangoIntegration& Store::addIntegration(DjangoIntegration integration) {
    if (integration.id.empty()) {
        integration.id = nextId();
    }
    if (integration.created == 0) {
        integration.created = now();
    }
    std::string id = integration.id;
    auto [it, inserted] = integrations_.insert_or_assign(std::move(id), std::move(integration));
    return it->second;
}

DjangoIntegration* Store::integration(const std::string& id) {
    auto it = integrations_.find(id);
    return it == integrations_.end() ? nullptr : &it->second;
}

bool Store::removeIntegration(const std::string& id) {
    return integrations_.erase(id) != 0;
}

std::string Store::nextId() {
    return std::to_string(++nextId_);
}

void Store::reserveId(const std::string& id) {
    if (id.empty() || id.size() > 18 ||
        !std::all_of(id.begin(), id.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return;
    }
    nextId_ = std::max<std::uint64_t>(nextId_, std::stoull(id));
}

std::int64_t Store::now() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// A cursor that sorts like time but is never a whole number: clients read a whole JSON number as
// an integer and only a fractional one as a double, and the paging meta must stay a double.
double Store::nextPosition() {
    double p = static_cast<double>(now()) + 0.001;
    if (p <= lastPosition_) {
        p = lastPosition_ + 0.001;
    }
    if (p == std::floor(p)) {
        p += 0.001;
    }
    lastPosition_ = p;
    return p;
}

}  // namespace vesk::dev
