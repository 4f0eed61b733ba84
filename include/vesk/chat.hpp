// The chat without its screens: the conversations of the current user, their
// messages, sending, and the real-time changes to all of them.
//
// What the library's own chat window shows goes through the same state, so a
// host (or a terminal tool) that drives the chat itself sees exactly what the
// window would. Each facade has one (`Vesk::chat()`), over its own state.
// Threading: call from the main executor's thread; every handler is called
// there, at most once for the one-shot calls. Once the facade is gone nothing
// is called.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vesk {

class Library;

struct ChatMessage {
    std::string id;
    std::int64_t randomId = 0;
    std::string body;
    std::string type;          // "reply_user", "reply_admin", "auto_reply", ...
    std::int64_t created = 0;  // seconds since 1970
    std::string direction;     // "u2a" or "a2u"
    bool read = false;
    std::optional<std::string> conversation;
    // The operator's name when an operator wrote it.
    std::optional<std::string> authorName;
    // The message as the service sent it (JSON text).
    std::string json;
};

struct ChatConversation {
    std::string id;
    std::string type;  // "conversation", "popup_chat", "block_popup_small"
    std::int64_t lastUpdate = 0;
    int partsCount = 0;
    int unreadCount = 0;  // the user's unread operator messages
    ChatMessage lastMessage;
    std::optional<std::string> operatorName;
};

struct TypingNotice {
    std::string conversation;  // "0" when the server sent none
    std::string adminId;       // "0" when unknown
    std::optional<std::string> adminName;
};

// A change of the download of a message's attachment, started from the chat window.
struct ChatDownload {
    std::string messageId;
    std::string url;
    std::string state;  // "progress", "done", "error" or "none"
    int percent = 0;    // progress: 0 to 100
    std::string path;   // done: the local file
    std::string error;  // error: what went wrong
};

// Keeps a subscription alive; destroying or resetting it ends it.
class ChatSubscription {
  public:
    ChatSubscription() = default;
    explicit ChatSubscription(std::function<void()> cancel) : cancel_(std::move(cancel)) {}
    ChatSubscription(ChatSubscription&& other) noexcept : cancel_(std::move(other.cancel_)) {
        other.cancel_ = nullptr;
    }
    ChatSubscription& operator=(ChatSubscription&& other) noexcept {
        if (this != &other) {
            reset();
            cancel_ = std::move(other.cancel_);
            other.cancel_ = nullptr;
        }
        return *this;
    }
    ChatSubscription(const ChatSubscription&) = delete;
    ChatSubscription& operator=(const ChatSubscription&) = delete;
    ~ChatSubscription() { reset(); }

    void reset() {
        if (cancel_) {
            auto cancel = std::move(cancel_);
            cancel_ = nullptr;
            cancel();
        }
    }

  private:
    std::function<void()> cancel_;
};

class Chat {
  public:
    // Errors are the texts the chat window would show.
    using ErrorHandler = std::function<void(const std::string& message)>;

    // Made by the facade.
    explicit Chat(std::weak_ptr<Library> library) : library_(std::move(library)) {}

    // Loads the next page of conversations into the list. `done(more)` tells
    // whether more pages exist; `failed` gets what went wrong (no connection
    // yet, or the page could not be loaded).
    void loadNextConversations(std::function<void(bool more)> done, ErrorHandler failed);
    // Loads the next (older) page of a conversation's messages. The first call
    // for a conversation made current by `open` loads the newest page.
    void loadMessages(const std::string& conversationId,
                      std::function<void(std::vector<ChatMessage> page)> done, ErrorHandler failed);
    // Makes a conversation current (none: the welcome state, where sending
    // starts a new conversation).
    void open(const std::optional<std::string>& conversationId);
    [[nodiscard]] std::optional<std::string> currentConversation() const;

    // Sends a message to the current conversation (or starts one). The message
    // is listed at once and `status` reports "loading"; then "warning" on
    // failure, or "" once the service has it (its echo arrived, or the new
    // conversation was started). `failed` is called when no connection exists.
    // A message that failed is kept (across restarts too) and sent again when
    // the connection returns; its echo then reaches `onMessage`.
    void send(const std::string& text,
              std::function<void(std::int64_t randomId, const std::string& status)> status,
              ErrorHandler failed);

    // The whole list now and after every change.
    [[nodiscard]] ChatSubscription onConversations(
        std::function<void(const std::vector<ChatConversation>&)> handler);
    // Every message the real-time channel delivers, once merged into its
    // conversation (operator replies and echoes of the user's own messages).
    [[nodiscard]] ChatSubscription onMessage(std::function<void(const ChatMessage&)> handler);
    [[nodiscard]] ChatSubscription onTyping(std::function<void(const TypingNotice&)> handler);
    // Every state of each attachment download the chat window follows.
    [[nodiscard]] ChatSubscription onDownload(std::function<void(const ChatDownload&)> handler);

  private:
    std::weak_ptr<Library> library_;
};

}  // namespace vesk
