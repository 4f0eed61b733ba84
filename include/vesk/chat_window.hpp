// What the chat's screens need of a toolkit: one chat window over the host,
// holding a stack of screens (each but the start screen one web page), an
// overlay for loading and error states, a navigation bar, an input bar under
// the conversation, and the system's viewers for files, images and links.
//
// The library decides everything shown; the window only shows it and reports
// what the user did. It holds no state of its own beyond what it shows.
//
// Threading: the library calls a window on the main executor only, and the
// window calls its listeners there too.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "vesk/launcher.hpp"
#include "vesk/popup_card.hpp"
#include "vesk/web_page.hpp"

namespace vesk {

// The screens of the chat window.
enum class ChatScreen { start, conversation, list, booking };

[[nodiscard]] const char* chatScreenName(ChatScreen screen) noexcept;

struct ChatScreenEntry {
    ChatScreen screen = ChatScreen::start;
    // The screen's page; none for the start screen.
    std::shared_ptr<WebPage> page;
};

// What lies over the screens.
struct OverlayContent {
    enum class Kind { hidden, loading, error };
    Kind kind = Kind::hidden;
    // For `error`: the texts of the panel, and the label of its retry button (empty when it
    // offers none).
    std::string title;
    std::string description;
    std::string retry;

    friend bool operator==(const OverlayContent&, const OverlayContent&) = default;
};

// The navigation bar over the screen on top.
struct NavigationBarContent {
    std::string title;
    // The operator's picture; none shows a placeholder.
    std::optional<std::string> avatarUrl;
    // Unread conversations, shown on the list button (0: no badge).
    int unread = 0;
    // The left button opens the conversation list; the back button returns from it.
    bool listButton = false;
    bool backButton = false;
    bool closeButton = true;

    friend bool operator==(const NavigationBarContent&, const NavigationBarContent&) = default;
};

struct SheetAction {
    enum class Style { normal, cancel, destructive };
    std::string title;
    Style style = Style::normal;
};

// The text field under the conversation.
class InputBarListener {
  public:
    virtual ~InputBarListener() = default;
    virtual void textChanged(const std::string& text) = 0;
    virtual void sendTapped() = 0;
    // The user picked a local file to send.
    virtual void fileChosen(const std::filesystem::path& file) = 0;
};

class InputBar {
  public:
    virtual ~InputBar() = default;
    virtual void setListener(std::weak_ptr<InputBarListener> listener) = 0;
    // Whether the send button takes taps.
    virtual void setEnabled(bool enabled) = 0;
    virtual void setText(const std::string& text) = 0;
};

class ChatWindowListener {
  public:
    enum class Edge { left, right };

    virtual ~ChatWindowListener() = default;
    virtual void closeTapped() = 0;
    virtual void listTapped() = 0;
    virtual void backTapped() = 0;
    // The list's button that starts a new conversation.
    virtual void newConversationTapped() = 0;
    virtual void retryTapped() = 0;
    // The user completed a swipe that started at `edge` of the window and moved inward.
    virtual void swiped(Edge edge) = 0;
    // An action of the open sheet was chosen (its index); the sheet is gone.
    virtual void sheetActionChosen(std::size_t index) = 0;
    // `screen` came on top (after a push, a pop or a new stack). Reported on a
    // later turn of the main executor, never from inside the call that changed
    // the stack.
    virtual void screenAppeared(ChatScreen screen) = 0;
};

class ChatWindow {
  public:
    virtual ~ChatWindow() = default;

    virtual void setListener(std::weak_ptr<ChatWindowListener> listener) = 0;
    // Brings the window in front of the host (it is already shown).
    virtual void present() = 0;
    // Takes the window away; the library releases it right after.
    virtual void dismiss() = 0;

    virtual void push(ChatScreenEntry entry, bool animated) = 0;
    virtual void pop(bool animated) = 0;
    virtual void setScreens(std::vector<ChatScreenEntry> entries) = 0;

    // The overlay over every screen (loading, the errors of the conversation).
    virtual void showOverlay(const OverlayContent& overlay) = 0;
    // An overlay of one screen only, shown while it is on top (the empty list).
    virtual void showScreenOverlay(ChatScreen screen, const OverlayContent& overlay) = 0;
    virtual void setNavigationBar(const NavigationBarContent& bar) = 0;
    // The messenger's colour, "#rrggbb", for buttons and the activity indicator.
    virtual void setAccentColor(const std::string& color) = 0;
    // The activity indicator over the whole window.
    virtual void showActivity(bool shown) = 0;
    // The choice comes back through the listener.
    virtual void showActionSheet(const std::vector<SheetAction>& actions) = 0;

    // The input bar of the conversation screen, for as long as the window lives.
    virtual std::shared_ptr<InputBar> inputBar() = 0;

    virtual void openFile(const std::filesystem::path& file) = 0;
    virtual void openImages(const std::vector<std::string>& urls, std::size_t index) = 0;
    // An http(s) or mailto link the user chose, for the system to open.
    virtual void openUrl(const std::string& url) = 0;
};

// What the host gives the library once: how to make the chat window, its
// pages, popup cards and the launcher. Without one the library uses a headless platform that shows
// nothing and records everything (see headless_platform.hpp).
class ChatPlatform {
  public:
    virtual ~ChatPlatform() = default;
    // Made when the chat opens, released when it closes.
    virtual std::shared_ptr<ChatWindow> createChatWindow() = 0;
    virtual std::shared_ptr<WebPage> createWebPage(PageMode mode) = 0;
    // A popup's card around its page; nullptr for a host that shows no popups.
    virtual std::shared_ptr<PopupCard> createPopupCard(std::shared_ptr<WebPage> page) {
        (void)page;
        return nullptr;
    }
    // The launcher button in `host`, one of the host's views (see
    // Vesk::showButton); nullptr for a view this platform cannot hold one in.
    virtual std::shared_ptr<LauncherView> createLauncher(
        const std::shared_ptr<PlatformView>& host) {
        (void)host;
        return nullptr;
    }
    // The screen popup cards are laid out on, asked for at each layout.
    [[nodiscard]] virtual ScreenSize screenSize() const { return {375, 667}; }
};

// Installs the host's platform for the process's library instance; nullptr
// goes back to the headless one. Takes effect when that instance is built:
// call it before the library's first use. Any thread.
void setChatPlatform(std::shared_ptr<ChatPlatform> platform);
[[nodiscard]] std::shared_ptr<ChatPlatform> chatPlatform();

}  // namespace vesk
