// The conversation screen. `MessageListWebViewPresenter` owns the page: it
// keeps what the page shows in step with the conversation's messages, sending
// only what changed, and turns the page's messages into actions (links,
// votes, contact details, attachments, images, booking, meetings, the sheet of
// a failed message). `MessageListPresenter` decides which conversation is
// shown and loads it once the page is ready.
//
// Threading: main executor.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/rx/rx.hpp"
#include "ui/bridge/page_events.hpp"
#include "ui/chat_dependencies.hpp"
#include "ui/message_entity.hpp"
#include "ui/web_view.hpp"
#include "usecases/message_list.hpp"

namespace vesk {

class MessageListWebViewPresenter {
  public:
    MessageListWebViewPresenter(ChatDependencies& deps, ChatWindow& window,
                                std::shared_ptr<WebView> page);

    // The page's first fill; false (and nothing sent) while the messenger
    // settings are unknown.
    bool initWebView();
    // Forgets what the page shows, and empties the page when it showed anything.
    void clearMessages();
    // Shows `list`: what it gained since the list shown last is added, or
    // updated where the page shows it already.
    void addOrUpdateMessages(const MessageList& list);
    // A single message (the welcome message), added or updated.
    void addOrUpdate(const Message& message, const std::string& status);
    // A message's status on the page ("loading", "warning", "" ...).
    void showStatus(const std::string& id, const std::string& status);
    // A typing operator, shown for 10 seconds from its latest notice.
    void showTyping(const Message& typing);

    [[nodiscard]] const std::shared_ptr<WebView>& page() const { return page_; }
    [[nodiscard]] std::size_t displayedCount() const { return displayed_.size(); }

  private:
    void onPageMessage(const PageMessage& message);
    void act(const ConversationPageEvent& event);
    void send(const std::vector<MessageEntity>& added);
    enum class Download { start, cancel, open };

    void openLink(const std::string& text);
    void identify(const page::Arguments& arguments);
    void loadOlder();
    void sendMeta(const std::string& messageId, const JsonValue& meta);
    void openErrorMessage(const std::string& messageId);
    void resend(const Message& failed);
    void openImage(const std::string& url);
    void followDownload(const std::string& messageId, Download what);
    [[nodiscard]] const Message* findMessage(const std::string& id) const;
    [[nodiscard]] std::string unsentStatus(const Message& message) const;
    [[nodiscard]] std::optional<std::string> currentConversation() const;
    void forget(const std::string& id);

    ChatDependencies& deps_;
    ChatWindow& window_;
    std::shared_ptr<WebView> page_;
    // What the page shows, in page order, found by id and by non-zero randomId.
    std::vector<MessageEntity> displayed_;
    std::unordered_map<std::string, std::size_t> byId_;
    std::unordered_map<std::int64_t, std::size_t> byRandomId_;
    std::optional<MessageList> shownList_;
    bool webViewIsLoadContent_ = false;
    std::map<std::string, TimerHandle> typing_;
    // One pending action per distinct page message: a burst of the same one acts once.
    std::map<std::string, TimerHandle> debounced_;
    TimerHandle progress_;
    struct Follower {
        rx::DisposeBag states;
        DownloadState last;
    };
    std::map<std::string, Follower> downloads_;
    rx::DisposeBag requests_;
    rx::DisposeBag disposeBag_;
};

class MessageListPresenter {
  public:
    MessageListPresenter(ChatDependencies& deps, ChatWindow& window, std::shared_ptr<WebView> page);

    // The screen came on top: its conversation counts as read.
    void appeared();
    // Reloads the page (the retry of an error).
    void retry();

    [[nodiscard]] MessageListWebViewPresenter& webViewPresenter() { return webViewPresenter_; }

  private:
    void loadData();
    void show(const std::optional<std::string>& conversation);

    ChatDependencies& deps_;
    MessageListWebViewPresenter webViewPresenter_;
    std::optional<std::string> shownConversation_;
    rx::DisposeBag reads_;
    rx::DisposeBag dialogDisposeBag_;
    rx::DisposeBag loadMessagesDisposeBag_;
    rx::DisposeBag disposeBag_;
};

}  // namespace vesk
