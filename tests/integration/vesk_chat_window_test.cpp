// vesk-chat's chat window end to end: the program runs against a development
// server in this process, which plays the operator; the test reads the
// scripts the headless pages receive.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>

#include "services/models/message.hpp"
#include "tests/integration/support/child_process.hpp"
#include "tests/support/temp_dir.hpp"
#include "tools/devserver/dev_server.hpp"
#include "ui/bridge/page_scripts.hpp"
#include "ui/message_entity.hpp"

namespace vesk::testing {
namespace {

using namespace std::chrono_literals;

struct Event {
    std::string name;
    JsonObject fields;

    [[nodiscard]] std::string text(const char* key) const {
        const auto* value = fields.find(key);
        if (value == nullptr || !*value) {
            return {};
        }
        return (*value)->string() ? *(*value)->string() : (*value)->encode();
    }
};

Event eventOf(const std::string& line) {
    auto parsed = JsonValue::parse(line);
    if (!parsed || parsed->object() == nullptr) {
        return {};
    }
    Event e{"", *parsed->object()};
    e.name = e.text("event");
    return e;
}

// The JSON argument of a script "<call>(<json>)".
JsonValue argumentOf(const std::string& script, const std::string& call) {
    if (!script.starts_with(call + "(") || !script.ends_with(")")) {
        return {};
    }
    return JsonValue::parse(script.substr(call.size() + 1, script.size() - call.size() - 2))
        .value_or(JsonValue());
}

// The member at `path` of nested objects; null when absent.
const JsonValue* memberAt(const JsonValue& root, std::initializer_list<const char*> path) {
    const JsonValue* at = &root;
    for (const char* key : path) {
        const auto* object = at->object();
        const auto* member = object ? object->find(key) : nullptr;
        if (member == nullptr || !*member) {
            return nullptr;
        }
        at = &**member;
    }
    return at;
}

class VeskChatWindow : public ::testing::Test {
  protected:
    VeskChatWindow()
        : cache((setenv("XDG_CACHE_HOME", (data.path() / "cache").c_str(), 1),
                 data.path() / "cache")),
          server(dev::DevServer::start({})),
          chat(VESK_BINARY_DIR "/apps/vesk-chat/vesk-chat",
               {"--json", "--api-url", server->apiBaseUrl(), "--wss-url", server->realtimeBaseUrl(),
                "--widget-url", server->baseUrl(), "--api-key", server->demoApiKey(), "--data-dir",
                data.path().string()}) {}

    // The next event that `wanted` accepts; fails the test when none comes.
    Event expect(const std::function<bool(const Event&)>& wanted) {
        const auto line =
            chat.readUntil([&](const std::string& l) { return wanted(eventOf(l)); }, 20s);
        if (!line) {
            std::string seen;
            for (const auto& l : chat.transcript()) {
                seen += l.substr(0, 300) + "\n";
            }
            ADD_FAILURE() << "the awaited event never came; vesk-chat printed:\n" << seen;
            return {};
        }
        return eventOf(*line);
    }
    // Opens the chat; once its page is filled, the user's real-time socket is up.
    std::string openChat() {
        chat.writeLine("chat-open");
        const auto filled = expectScript("messages", "window.webView.initDialogue(");
        const auto settings = argumentOf(filled.text("script"), "window.webView.initDialogue");
        const auto* user = memberAt(settings, {"appSettings", "user", "id"});
        const std::string userId = user && user->string() ? *user->string() : std::string();
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (server->realtimeSocketCount(userId) == 0 &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(10ms);
        }
        EXPECT_GT(server->realtimeSocketCount(userId), 0u);
        return userId;
    }
    Event expectScript(const std::string& screen, const std::string& prefix) {
        return expect([&](const Event& e) {
            return e.name == "script" && e.text("screen") == screen &&
                   e.text("script").starts_with(prefix);
        });
    }

    TempDir data;
    // Where vesk-chat downloads to: under its own cache directory.
    std::filesystem::path cache;
    std::unique_ptr<dev::DevServer> server;
    ChildProcess chat;
};

TEST_F(VeskChatWindow, RepliesSendsAndSwitchingConversationsReachThePages) {
    chat.writeLine("setup");
    openChat();

    // The first message starts a conversation.
    chat.writeLine("input Hello");
    chat.writeLine("input-send");
    // The echo and the page starting over on the new conversation, in either order.
    Event echo;
    bool restarted = false;
    expect([&](const Event& e) {
        if (e.name == "message") {
            echo = e;
        }
        restarted = restarted || (e.name == "script" && e.text("screen") == "messages" &&
                                  e.text("script").starts_with("window.webView.initDialogue("));
        return restarted && !echo.name.empty();
    });
    const std::string first = echo.text("conversation");
    ASSERT_FALSE(first.empty());

    // An operator reply is added with its own entity.
    const auto reply = server->operatorReply(first, "How can we help?");
    auto decoded = json::Codec<Message>::decode(JsonValue::parse(reply).value());
    ASSERT_TRUE(decoded);
    const auto shown = expect([](const Event& e) {
        return e.name == "script" && e.text("screen") == "messages" &&
               e.text("script").find("How can we help?") != std::string::npos;
    });
    // Alone, or with the page's first fill when that came after it.
    const std::string call = "window.webView.addMessages([";
    const auto alone = script::addMessages({getMessageEntity(*decoded, "", "")});
    EXPECT_NE(shown.text("script").find(alone.substr(call.size(), alone.size() - call.size() - 2)),
              std::string::npos)
        << shown.text("script");

    // A reply of the user's is shown at once as loading, then updated in place.
    chat.writeLine("input Thanks");
    chat.writeLine("input-send");
    const auto loading = expect([](const Event& e) {
        return e.name == "script" && e.text("screen") == "messages" &&
               e.text("script").starts_with("window.webView.addMessages(") &&
               e.text("script").find("Thanks") != std::string::npos;
    });
    EXPECT_NE(loading.text("script").find(R"("status":"loading")"), std::string::npos);
    const auto entities = argumentOf(loading.text("script"), "window.webView.addMessages");
    ASSERT_TRUE(entities.array() && entities.array()->size() == 1);
    const auto& entity = *entities.array()->front().object();
    const auto id = entity.find("id") ? (*entity.find("id"))->string() : nullptr;
    ASSERT_NE(id, nullptr);
    expectScript("messages", "window.webView.updateMessage(\"" + *id + "\",");

    // The list page picks another conversation: the conversation page starts over on it.
    chat.writeLine("new");
    chat.writeLine("send Another question");
    const auto second = expect(
        [&](const Event& e) { return e.name == "message" && e.text("conversation") != first; });
    chat.writeLine("bar-list");
    chat.writeLine("page dialogs veskiossdk://selectDialogue?conversationId=" + first);
    const auto refilled = expect([](const Event& e) {
        return e.name == "script" && e.text("screen") == "messages" &&
               e.text("script").find("How can we help?") != std::string::npos;
    });
    EXPECT_TRUE(refilled.text("script").starts_with("window.webView.addMessages("));
    EXPECT_EQ(refilled.text("script").find("Another question"), std::string::npos);
    EXPECT_NE(second.text("conversation"), first);

    chat.writeLine("chat-close");
    expect([](const Event& e) {
        const auto* stack = e.fields.find("stack");
        return e.name == "screens" && stack && *stack && (*stack)->array() &&
               (*stack)->array()->empty();
    });
}

TEST_F(VeskChatWindow, AConversationsPageThatFailsIsReportedAsAFailureNotAsAnEmptyList) {
    chat.writeLine("setup");
    expect([](const Event& e) { return e.name == "setup"; });
    const auto failedDialogs = [&](dev::Fault fault) {
        server->clearFaults();
        fault.pathPrefix = "users/";
        fault.count = -1;
        server->addFault(std::move(fault));
        chat.writeLine("dialogs");
        const auto outcome = expect([](const Event& e) { return e.name == "dialogs"; });
        EXPECT_EQ(outcome.text("ok"), "false");
        EXPECT_FALSE(outcome.text("error").empty());
    };
    failedDialogs({.action = dev::Fault::Action::reply, .status = 500, .body = "{}"});
    failedDialogs({.action = dev::Fault::Action::reply,
                   .status = 200,
                   .body = R"({"data":{"not":"a page"},"meta":{"status":200}})"});
    failedDialogs({.action = dev::Fault::Action::truncate, .body = {}});
}

TEST_F(VeskChatWindow, AnAttachmentDownloadsIntoItsFolder) {
    chat.writeLine("setup");
    const auto userId = openChat();
    chat.writeLine("input Hi");  // a conversation for the file
    chat.writeLine("input-send");
    expect([](const Event& e) { return e.name == "message"; });
    const auto url = server->operatorFile(userId, "report.pdf", 300'000);
    ASSERT_FALSE(url.empty());
    const auto added = expect(
        [](const Event& e) { return e.name == "message" && e.text("type") == "reply_admin"; });
    const auto messageId = added.text("id");
    chat.writeLine("page messages veskiossdk://downloadAttachMessage?messageId=" + messageId);
    chat.writeLine("download-wait " + messageId);
    const auto done = expect([](const Event& e) {
        return e.name == "download" && (e.text("state") == "done" || e.text("state") == "error");
    });
    EXPECT_EQ(done.text("state"), "done");
    const std::filesystem::path file = done.text("path");
    EXPECT_EQ(file, cache / "vesk" / "Downloads" / "report.pdf");
    EXPECT_EQ(std::filesystem::file_size(file), 300'000u);

    // The same file sent back from the input bar: shown at once, then confirmed.
    chat.writeLine("attach " + file.string());
    const auto loading = expectScript("messages", "window.webView.addMessages(");
    EXPECT_NE(loading.text("script").find(R"("status":"loading")"), std::string::npos);
    EXPECT_NE(loading.text("script").find("report.pdf"), std::string::npos)
        << loading.text("script");
    const auto entities = argumentOf(loading.text("script"), "window.webView.addMessages");
    const auto* id = entities.array() && !entities.array()->empty()
                         ? memberAt(entities.array()->front(), {"id"})
                         : nullptr;
    ASSERT_TRUE(id && id->string());
    expectScript("messages", "window.webView.updateMessage(\"" + *id->string() + "\",");
}

TEST_F(VeskChatWindow, APopupIsShownOverTheHostFilledAndClosedByItsPage) {
    chat.writeLine("setup");
    const auto userId = openChat();
    chat.writeLine("chat-close");  // popups show only while the chat is closed
    expect([](const Event& e) { return e.name == "screens" && e.fields.find("stack"); });
    ASSERT_FALSE(server->sendPopup(userId, R"({"title":"Spring sale"})").empty());
    const auto shown = expect([](const Event& e) { return e.name == "popup"; });
    EXPECT_EQ(shown.text("shown"), "true");
    const JsonValue fields(shown.fields);
    const auto* width = memberAt(fields, {"frame", "width"});
    ASSERT_NE(width, nullptr) << shown.text("frame");
    EXPECT_EQ(width->encode(), "345");  // on the default 375-wide screen
    const auto filled = expectScript("popup", "window.webView.initPopup(");
    EXPECT_NE(filled.text("script").find("Spring sale"), std::string::npos);

    chat.writeLine("page popup veskiossdk://closePopUp");
    const auto closed = expect([](const Event& e) { return e.name == "popup"; });
    EXPECT_EQ(closed.text("shown"), "false");
}

TEST_F(VeskChatWindow, AnOperatorReplyShowsTheBubbleAndItsTapOpensThatConversation) {
    chat.writeLine("button-show");
    chat.writeLine("setup");
    const auto shown = expect([](const Event& e) { return e.name == "button"; });
    EXPECT_EQ(shown.text("shown"), "true");
    openChat();
    // The chat closes at once: the message is sent all the same, and listed.
    chat.writeLine("input Hello");
    chat.writeLine("input-send");
    chat.writeLine("chat-close");
    chat.writeLine("new");  // the chat would open on no conversation
    const auto echo = expect([](const Event& e) { return e.name == "message"; });
    const std::string conversation = echo.text("conversation");
    ASSERT_FALSE(conversation.empty());

    server->operatorReply(conversation, "We are here");
    const auto bubble = expect([](const Event& e) {
        return e.name == "button" && e.text("bubble").find("We are here") != std::string::npos;
    });
    EXPECT_EQ(bubble.text("badge"), "1");
    chat.writeLine("bubble-tap");
    expect([](const Event& e) {
        return e.name == "script" && e.text("screen") == "messages" &&
               e.text("script").starts_with("window.webView.addMessages(") &&
               e.text("script").find("We are here") != std::string::npos;
    });
}

}  // namespace
}  // namespace vesk::testing
