#include "chat_commands.hpp"

#include <memory>
#include <optional>
#include <vector>

#include "vesk/chat.hpp"
#include "vesk/vesk.hpp"

namespace vesk::chat {

namespace {

JsonValue optText(const std::optional<std::string>& text) {
    return text ? JsonValue(*text) : JsonValue();
}

JsonObject messageFields(const ChatMessage& m) {
    return {{"id", JsonValue(m.id)},
            {"randomId", JsonValue(m.randomId)},
            {"conversation", optText(m.conversation)},
            {"type", JsonValue(m.type)},
            {"direction", JsonValue(m.direction)},
            {"body", JsonValue(m.body)},
            {"author", optText(m.authorName)},
            {"created", JsonValue(m.created)}};
}

std::string readableMessage(const ChatMessage& m) {
    const std::string who = m.direction == "u2a" ? "you" : m.authorName.value_or("operator");
    return "[" + m.conversation.value_or("0") + "] " + who + ": " + m.body;
}

JsonValue conversationsJson(const std::vector<ChatConversation>& list) {
    JsonArray items;
    items.reserve(list.size());
    for (const auto& d : list) {
        items.emplace_back(
            JsonObject{{"id", JsonValue(d.id)},
                       {"type", JsonValue(d.type)},
                       {"unread", JsonValue(static_cast<std::int64_t>(d.unreadCount))},
                       {"parts", JsonValue(static_cast<std::int64_t>(d.partsCount))},
                       {"lastUpdate", JsonValue(d.lastUpdate)},
                       {"last", JsonValue(d.lastMessage.body)},
                       {"operator", optText(d.operatorName)}});
    }
    return JsonValue(std::move(items));
}

std::string readableConversations(const std::vector<ChatConversation>& list) {
    std::string out = std::to_string(list.size()) + " conversation(s)";
    for (const auto& d : list) {
        out += "\n  " + d.id + " (" + d.type + ", " + std::to_string(d.unreadCount) +
               " unread): " + d.lastMessage.body;
    }
    return out;
}

// Lives for the process, like the library's own subscriptions.
struct Printers {
    ChatSubscription messages;
    ChatSubscription typing;
    ChatSubscription unread;
    bool unreadOn = false;
};

Printers& printers() {
    static auto* p = new Printers();
    return *p;
}

}  // namespace

void installChatPrinter(EventSink sink) {
    printers().messages = Vesk::shared().chat().onMessage(
        [sink](const ChatMessage& m) { sink("message", messageFields(m), readableMessage(m)); });
    printers().typing = Vesk::shared().chat().onTyping([sink](const TypingNotice& t) {
        sink("typing",
             {{"conversation", JsonValue(t.conversation)},
              {"adminId", JsonValue(t.adminId)},
              {"admin", optText(t.adminName)}},
             "[" + t.conversation + "] " + t.adminName.value_or("operator") + " is typing");
    });
}

bool runChatCommand(const std::string& name, const std::string& rest, const EventSink& sink,
                    const std::function<void()>& hold, std::function<void()> release) {
    const auto fail = [sink, release](const std::string& event) {
        return [sink, release, event](const std::string& error) {
            sink(event, {{"ok", JsonValue(false)}, {"error", JsonValue(error)}},
                 event + " failed: " + error);
            release();
        };
    };
    if (name == "dialogs") {
        hold();
        Vesk::shared().chat().loadNextConversations(
            [sink, release](bool more) {
                // The whole list after the page was merged.
                auto list = std::make_shared<std::vector<ChatConversation>>();
                auto once = Vesk::shared().chat().onConversations(
                    [list](const std::vector<ChatConversation>& all) { *list = all; });
                sink("dialogs",
                     {{"ok", JsonValue(true)},
                      {"more", JsonValue(more)},
                      {"items", conversationsJson(*list)}},
                     readableConversations(*list) + (more ? " (more: dialogs)" : ""));
                release();
            },
            fail("dialogs"));
        return true;
    }
    if (name == "messages") {
        if (rest.empty()) {
            sink("error", {{"error", JsonValue(std::string("usage: messages <dialogId>"))}},
                 "usage: messages <dialogId>");
            return true;
        }
        hold();
        Vesk::shared().chat().loadMessages(
            rest,
            [sink, release, rest](const std::vector<ChatMessage>& page) {
                JsonArray items;
                std::string readable = std::to_string(page.size()) + " message(s) of " + rest;
                for (const auto& m : page) {
                    items.emplace_back(messageFields(m));
                    readable += "\n  " + readableMessage(m);
                }
                sink("messages",
                     {{"ok", JsonValue(true)},
                      {"conversation", JsonValue(rest)},
                      {"items", JsonValue(std::move(items))}},
                     readable);
                release();
            },
            fail("messages"));
        return true;
    }
    if (name == "open" || name == "new") {
        if (name == "open" && rest.empty()) {
            sink("error", {{"error", JsonValue(std::string("usage: open <dialogId>"))}},
                 "usage: open <dialogId>");
            return true;
        }
        const std::optional<std::string> id =
            name == "open" ? std::optional<std::string>(rest) : std::nullopt;
        Vesk::shared().chat().open(id);
        sink("open", {{"conversation", optText(id)}},
             id ? "conversation " + *id + " is current" : "no conversation is current");
        return true;
    }
    if (name == "send") {
        if (rest.empty()) {
            sink("error", {{"error", JsonValue(std::string("usage: send <text>"))}},
                 "usage: send <text>");
            return true;
        }
        Vesk::shared().chat().send(
            rest,
            [sink](std::int64_t randomId, const std::string& status) {
                const std::string shown = status.empty() ? "sent" : status;
                sink("send", {{"randomId", JsonValue(randomId)}, {"status", JsonValue(status)}},
                     "message " + std::to_string(randomId) + ": " + shown);
            },
            [sink](const std::string& error) {
                sink("send", {{"ok", JsonValue(false)}, {"error", JsonValue(error)}},
                     "send failed: " + error);
            });
        return true;
    }
    if (name == "unread") {
        if (!printers().unreadOn) {
            printers().unreadOn = true;
            Vesk::shared().getUreadConversations([sink](int count) {
                sink("unread", {{"count", JsonValue(static_cast<std::int64_t>(count))}},
                     "unread conversations: " + std::to_string(count));
            });
        }
        return true;
    }
    return false;
}

}  // namespace vesk::chat
