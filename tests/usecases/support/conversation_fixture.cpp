#include "tests/usecases/support/conversation_fixture.hpp"

#include "services/models/dialog.hpp"
#include "services/models/message.hpp"
#include "services/user_service.hpp"

namespace vesk::testing {

RunLoop& testLoop() {
    static auto* made = [] {
        auto* loop = new RunLoop();
        loop->runPending();  // the test thread is the loop's from now on
        return loop;
    }();
    return *made;
}

ServerUnderTest::ServerUnderTest() {
    std::string error;
    server = dev::DevServer::start({}, &error);
    if (!server) {
        ADD_FAILURE() << error;
        std::abort();
    }
    api = endpointAt(server->apiBaseUrl(), testLoop());
}

NetworkSettingsPtr ServerUnderTest::connectAnonymous() {
    std::optional<Result<UserSession>> connected;
    rx::DisposeBag bag;
    bag.add(UserService(api, nullptr)
                .connect(server->demoApiKey(), "1.0")
                .subscribe([&](const Result<UserSession>& r) { connected = r; }));
    testLoop().runUntil([&] { return connected.has_value(); }, std::chrono::seconds(20));
    if (!connected || !connected->succeed()) {
        return nullptr;
    }
    const auto& [user, app] = *connected->success();
    return std::make_shared<const NetworkSettings>(NetworkSettings::ConnectionType::sdk,
                                                   user.token.value_or(""), app.appId, user.id);
}

ConversationTest::ConversationTest(ApiEndpointPtr api)
    : ctx({store, scheduler.get(), api ? std::move(api) : endpointWithoutClient(),
           [this] { return currentSettings; }, "https://files.example"}) {}

Message ConversationTest::message(const std::string& id,
                                  const std::optional<std::string>& conversation,
                                  const std::string& type, std::int64_t randomId,
                                  std::int64_t created) {
    Message m;
    m.id = id;
    m.randomId = randomId;
    m.body = "text " + id;
    m.type = type;
    m.created = created;
    m.direction = type == "reply_user" ? "u2a" : "a2u";
    m.sentVia = "web";
    m.replyType = "text";
    m.from = type == "reply_user" ? JsonValue("user-1")
                                  : JsonValue(JsonObject{{"id", JsonValue("7")},
                                                         {"type", JsonValue("admin")},
                                                         {"name", JsonValue("Anna")}});
    m.conversation = conversation;
    return m;
}

Dialog ConversationTest::dialog(const std::string& id, int userUnreadCount, std::int64_t lastUpdate,
                                const std::string& type) {
    Dialog d;
    d.id = id;
    d.type = type;
    d.replyType = "text";
    d.partLast = message("last-" + id, id);
    d.partsCount = 1;
    d.lastAdmin.type = "admin";
    d.lastUpdate = lastUpdate;
    d.userUnreadCount = userUnreadCount;
    return d;
}

JsonValue ConversationTest::messageJson(const std::string& id, const std::string& conversation,
                                        const std::optional<std::string>& adminId) {
    Message m = message(id, conversation, adminId ? "reply_admin" : "reply_user");
    if (adminId) {
        m.from = JsonValue(JsonObject{{"id", JsonValue(*adminId)},
                                      {"type", JsonValue("admin")},
                                      {"name", JsonValue("Anna")}});
    }
    return json::Codec<Message>::encode(m);
}

JsonValue ConversationTest::dialogJson(const std::string& id, const std::string& type) {
    return json::Codec<Dialog>::encode(dialog(id, 2, 50, type));
}

std::string ConversationTest::frame(const std::string& channel, const JsonValue& payload) {
    return JsonValue(JsonObject{{"id", JsonValue(1)},
                                {"channel", JsonValue(channel)},
                                {"message", payload}})
        .encode();
}

std::vector<std::string> ConversationTest::dialogIds() const {
    std::vector<std::string> ids;
    for (const auto& d : dialogs.dialogs.value()) {
        ids.push_back(d.id);
    }
    return ids;
}

std::vector<std::string> ConversationTest::messageIds(const std::string& dialogId) {
    std::vector<std::string> ids;
    for (const auto& m : messages.repository(dialogId).currentMessages()) {
        ids.push_back(m.id);
    }
    return ids;
}

}  // namespace vesk::testing
