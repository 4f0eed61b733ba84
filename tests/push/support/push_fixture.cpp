#include "tests/push/support/push_fixture.hpp"

#include "tests/app/support/session_fixture.hpp"

namespace vesk::testing {

void PushTest::SetUp() {
    testLoop();
}

void PushTest::TearDown() {
    testLoop().runPending();
}

void PushTest::showChat(std::optional<ChatScreen> screen, std::optional<std::string> conversation,
                        bool isOpen) {
    top = screen;
    current = std::move(conversation);
    open = isOpen;
}

void PushTest::loadMessenger() {
    messengerLoaded = true;
}

PushEnvironment PushTest::environment() {
    PushEnvironment env;
    env.api = endpointWithoutClient();
    env.networkSettings = [] { return NetworkSettingsPtr(); };
    env.isInit = rx::just(false);
    env.hasMessenger = [this] { return messengerLoaded; };
    env.conversationOnScreen = [this]() -> std::optional<std::string> {
        return open && top == ChatScreen::messageList ? current : std::nullopt;
    };
    env.openConversation = [this](const std::string& id) { opened.push_back(id); };
    env.openChat = [this] { opened.emplace_back(); };
    env.center = [c = center] { return std::static_pointer_cast<NotificationCenter>(c); };
    env.device = [] {
        return std::make_shared<FixedDevice>("A1B2C3D4-0000-4000-8000-00000000000F");
    };
    env.stores = stores;
    return env;
}

JsonValue payload(std::initializer_list<JsonObject::Member> members) {
    return JsonValue(JsonObject(members));
}

Message reply(std::string id, std::optional<std::string> conversation, std::string body) {
    Message m;
    m.id = std::move(id);
    m.body = std::move(body);
    m.type = "reply_admin";
    m.direction = "in";
    m.from = JsonValue(JsonObject{{"type", JsonValue("admin")}, {"name", JsonValue("Olga")}});
    m.conversation = std::move(conversation);
    return m;
}

}  // namespace vesk::testing
