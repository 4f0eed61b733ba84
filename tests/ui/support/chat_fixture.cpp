#include "tests/ui/support/chat_fixture.hpp"

#include "net/http_client.hpp"
#include "tests/support/api_endpoint.hpp"
#include "tests/support/temp_dir.hpp"
#include "ui/bridge/page_scripts.hpp"
#include "ui/message_entity.hpp"
#include "ui/presentation.hpp"

namespace vesk::testing {

ChatTest::ChatTest()
    : ctx({store, scheduler.get(), endpointWithoutClient(), [this] { return settings; },
           "https://files.example"}),
      downloads(loop, std::make_shared<net::HttpClient>(loop), store,
                std::filesystem::temp_directory_path() / "vesk-ui-tests"),
      deps{.conversations = ctx,
           .screen = screen,
           .scheduler = *scheduler,
           .steps = steps,
           .platform = *platform,
           .downloads = downloads,
           .widgetUrl = "https://widget.test",
           .providerName = std::nullopt,
           .languageCode = [] { return std::optional<std::string>("en"); },
           .isReachable = [this] { return online.value(); },
           .reachable = online.asObservable(),
           .userId = [] { return std::string("user-1"); },
           .trackEvent = nullptr,
           .setUserProperty = nullptr,
           .outbox = outbox} {
    bag.insert(steps.asObservable().subscribe([this](const Step& step) { sent.push_back(step); }));
    bag.insert(showOutboxChanges(outbox, screen));
}

ChatTest::~ChatTest() {
    bag.dispose();
    flow.reset();
}

void ChatTest::knowMessenger() {
    Messenger messenger;
    messenger.appId = "app";
    messenger.color = "ff0000";
    messenger.connectData = SharedJson(JsonValue(JsonObject{{"locale", JsonValue("en")}}));
    ctx.messenger.messenger.accept(messenger);
}

FakeWindow& ChatTest::openChat() {
    flow = SdkFlow::open(deps, [this] { ++closed; });
    auto& window = platform->window();
    window.appear();  // the start screen
    conversationPage().finish();
    listPage().finish();
    window.appear();  // the conversation
    return window;
}

Message ChatTest::reply(const std::string& id, const std::string& conversation,
                        std::int64_t randomId, const std::string& type) {
    Message m;
    m.id = id;
    m.randomId = randomId;
    m.body = "text " + id;
    m.type = type;
    m.created = 100;
    m.direction = type == "reply_user" ? "u2a" : "a2u";
    m.replyType = "text";
    m.conversation = conversation;
    return m;
}

Dialog ChatTest::dialog(const std::string& id, std::int64_t lastUpdate, int unread) {
    Dialog d;
    d.id = id;
    d.type = "conversation";
    d.lastUpdate = lastUpdate;
    d.userUnreadCount = unread;
    d.unreadPartsCount = unread;
    d.partLast = reply("last-" + id, id);
    return d;
}

std::string ChatTest::added(const std::vector<Message>& messages, const std::string& status) {
    std::vector<MessageEntity> entities;
    for (const auto& m : messages) {
        entities.push_back(getMessageEntity(m, status, ""));
    }
    return script::addMessages(entities);
}

}  // namespace vesk::testing
