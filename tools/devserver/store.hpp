// The development server's in-memory state: apps, operators, users, conversations and their
// parts, uploaded files, integrations and the knowledge base.
//
// Threading: not synchronised; the owner (Service) guards every access with its mutex.
#pragma once

#include <boost/json/array.hpp>
#include <boost/json/object.hpp>
#include <boost/json/value.hpp>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "dev_server.hpp"

namespace vesk::dev {

struct KbCategory {
    std::string id, name, icon;
};

struct KbArticle {
    std::string id, name, description, content, categoryId;
};

struct KnowledgeBase {
    std::string domain, fullDomain;
    std::vector<KbCategory> categories;
    std::vector<KbArticle> articles;
};

struct App {
    std::string apiKey, appId, userAuthKey, name;
    boost::json::object settings;       // messenger settings, as connect returns them
    boost::json::array integrations;    // app integrations, as their list returns them
    boost::json::array serviceEvents;   // as received
    std::vector<std::string> adminIds;  // operators of the app; the first one owns it
    KnowledgeBase knowledgeBase;
};

// An operator; the service also calls them Django users.
struct Admin {
    std::string id, name, avatar, email;
};

struct DjangoIntegration {
    std::string id, type, djangoUserId;
    std::int64_t created = 0;
    boost::json::object settings;
};

struct PushSubscription {
    std::string token, deviceGuid, type, userAgent;
    std::int64_t created = 0;
};

struct User {
    std::string id, appId, token;
    std::string externalId;  // the host's user id once identified; empty while anonymous
    bool isBanned = false;
    std::string presence = "offline";
    std::int64_t lastSeen = 0;
    boost::json::object props;
    boost::json::array events;
    boost::json::object session;  // what the last connect said about the device
    std::vector<PushSubscription> pushes;
};

struct Attachment {
    std::string id, type, filename, mimeType, bytes;
    std::int64_t created = 0;
};

struct Part {
    std::string id;
    std::int64_t randomId = 0;
    std::string body, type, direction, sentVia, replyType = "text";
    std::int64_t created = 0;
    bool read = false;
    boost::json::value from;
    std::string conversationId;
    std::optional<boost::json::value> bodyJson, metaData;
    std::vector<std::string> attachmentIds;
    double position = 0;  // paging cursor: unique, grows with time, never a whole number
};

struct Conversation {
    std::string id, appId, userId;
    std::string type = "conversation";
    std::string message;  // the opening text
    std::string lastAdminId;
    std::int64_t created = 0, lastUpdate = 0;
    std::optional<std::int64_t> expirationTime;
    std::optional<boost::json::value> bodyJson;
    int userUnreadCount = 0;
    double position = 0;  // paging cursor of the conversation list
    std::vector<Part> parts;
};

// Something the real-time channel will deliver to one user (the hook is filled in later).
struct Publication {
    std::string appId, userId, channel;
    boost::json::value message;
};

class Store {
  public:
    // False when the api key or app id is taken or either is empty.
    bool addApp(App app);
    App* appByKey(const std::string& apiKey);
    App* appById(const std::string& appId);
    const std::map<std::string, App>& apps() const { return apps_; }

    void addAdmin(Admin admin);
    const Admin* admin(const std::string& id) const;
    const std::vector<Admin>& admins() const { return admins_; }
    const Admin& ownerOf(const App& app) const;

    User& createUser(const std::string& appId, const std::string& externalId = {});
    bool addUser(User user);  // seeded users; false when the id or token is taken
    User* userById(const std::string& id);
    User* userByToken(const std::string& token);
    User* userByExternalId(const std::string& appId, const std::string& externalId);
    const std::map<std::string, User>& users() const { return users_; }

    // Requires: `id`, when given, is not taken.
    Conversation& createConversation(const User& user, const std::string& type = "conversation",
                                     std::string id = {});
    Conversation* conversation(const std::string& id);
    const std::map<std::string, Conversation>& conversations() const { return conversations_; }
    std::vector<const Conversation*> conversationsOf(const std::string& userId) const;

    // Gives the part its id, time and cursor, appends it and updates the conversation's counters.
    Part& appendPart(Conversation& conversation, Part part);
    Part* part(const std::string& id, Conversation** owner = nullptr);
    bool removePart(const std::string& id);

    Attachment& addAttachment(Attachment attachment);
    const Attachment* attachment(const std::string& id) const;

    DjangoIntegration& addIntegration(DjangoIntegration integration);
    DjangoIntegration* integration(const std::string& id);
    bool removeIntegration(const std::string& id);
    const std::map<std::string, DjangoIntegration>& integrations() const { return integrations_; }

    std::string nextId();                   // decimal text, unique across every kind of object
    void reserveId(const std::string& id);  // a seeded id that nextId() must never repeat
    static std::int64_t now();

    // "http(s)://127.0.0.1:PORT/": file and avatar URLs are built on it.
    std::string baseUrl;
    std::vector<Publication> outbox;

  private:
    double nextPosition();

    std::map<std::string, App> apps_;  // by app id
    std::unordered_map<std::string, std::string> appIdByKey_;
    std::vector<Admin> admins_;
    std::map<std::string, User> users_;
    std::unordered_map<std::string, std::string> userIdByToken_;
    std::map<std::string, Conversation> conversations_;
    std::unordered_map<std::string, std::string> conversationByPart_;
    std::map<std::string, Attachment> attachments_;
    std::map<std::string, DjangoIntegration> integrations_;
    std::uint64_t nextId_ = 10000;
    double lastPosition_ = 0;
};

}  // namespace vesk::dev
