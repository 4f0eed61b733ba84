// The launcher button: its colour and items from the messenger settings, its
// badge from the conversation list, its bubble from the newest unread
// conversation whose last message the user has not closed. A tap on the
// bubble opens that conversation in the chat; a tap on the button unfolds the
// channels' menu (or opens the chat when there is none).
//
// Threading: main executor.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/rx/rx.hpp"
#include "services/models/dialog.hpp"
#include "services/models/message.hpp"
#include "services/models/user.hpp"
#include "ui/chat_dependencies.hpp"
#include "vesk/launcher.hpp"

namespace vesk {

// The bubble's text for a conversation's last message: the rate-operator text
// for a vote, an article's name, tags and emoji shortcodes resolved; "..."
// when nothing is left.
[[nodiscard]] std::string buildBody(const Message& message);

// The badge for `unread` conversations: none below 1, "..." above 99.
[[nodiscard]] std::optional<std::string> badgeText(int unread);

// A channel of the menu and the link its item opens.
struct LauncherChannel {
    LauncherItem item;
    std::string link;
};

// The visible channels that have a text to link to, in menu order (VK, Viber,
// Facebook, Telegram).
[[nodiscard]] std::vector<LauncherChannel> socialChannels(const Messenger& messenger);

class LauncherPresenter final : public LauncherListener,
                                public std::enable_shared_from_this<LauncherPresenter> {
  public:
    struct Actions {
        // Opens the chat on a conversation, or on none.
        std::function<void(const std::optional<std::string>& conversation)> open;
    };

    static std::shared_ptr<LauncherPresenter> attach(ChatDependencies& deps,
                                                     std::shared_ptr<LauncherView> view,
                                                     Actions actions);

    // The host's icon; none goes back to the library's image.
    void setIcon(std::optional<Image> icon);
    // Takes the button out of its view; nothing is shown after.
    void remove();

    [[nodiscard]] const LauncherContent& content() const { return content_; }

    void buttonTapped() override;
    void bubbleTapped() override;
    void bubbleCloseTapped() override;
    void itemTapped(std::size_t index) override;
    void overlayTapped() override;

  private:
    LauncherPresenter(ChatDependencies& deps, std::shared_ptr<LauncherView> view, Actions actions);
    void start();
    void publish();

    ChatDependencies& deps_;
    std::shared_ptr<LauncherView> view_;
    Actions actions_;
    LauncherContent content_;
    std::optional<LauncherContent> shown_;
    std::vector<std::string> links_;
    std::optional<Dialog> bubbleDialog_;
    bool removed_ = false;
    rx::DisposeBag disposeBag_;
};

}  // namespace vesk
