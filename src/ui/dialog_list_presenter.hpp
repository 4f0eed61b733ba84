// The conversation list screen: its page is filled once it has loaded, then
// kept in step with the dialog repository; picking a conversation, or the
// button of a new one, makes it current and returns to the conversation.
//
// Threading: main executor.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/rx/rx.hpp"
#include "services/models/dialog.hpp"
#include "ui/chat_dependencies.hpp"
#include "ui/web_view.hpp"

namespace vesk {

// Follows what the list page shows and tells it only what changed.
class DialogListWebViewPresenter {
  public:
    // `popList` returns from the list to the conversation screen.
    DialogListWebViewPresenter(ChatDependencies& deps, std::shared_ptr<WebView> page,
                               std::function<void()> popList);

    // The first fill: the whole list. Nothing is sent before the page loaded
    // nor while the messenger settings are unknown.
    void fill(const std::vector<Dialog>& dialogs);
    // A list after the first fill: new conversations added, changed ones
    // updated, gone ones removed; a conversation that comes back is new again.
    void apply(const std::vector<Dialog>& dialogs);
    // Makes `id` (none: a new conversation) current and leaves the list.
    void open(const std::optional<std::string>& id);

    [[nodiscard]] bool isInit() const { return isInit_; }
    [[nodiscard]] const std::shared_ptr<WebView>& page() const { return page_; }

  private:
    ChatDependencies& deps_;
    std::shared_ptr<WebView> page_;
    std::function<void()> popList_;
    bool isInit_ = false;
    // Each conversation the page shows, with the lastUpdate it shows.
    std::unordered_map<std::string, std::int64_t> visible_;
    rx::DisposeBag disposeBag_;
};

class DialogListPresenter {
  public:
    DialogListPresenter(ChatDependencies& deps, ChatWindow& window, std::shared_ptr<WebView> page,
                        std::function<void()> popList);

    // The list's button of a new conversation.
    void newConversation() { webViewPresenter_.open(std::nullopt); }

  private:
    ChatDependencies& deps_;
    ChatWindow& window_;
    DialogListWebViewPresenter webViewPresenter_;
    rx::DisposeBag dataDisposeBag_;
};

}  // namespace vesk
