// A chat platform without a toolkit. The window keeps the stack, overlay,
// navigation bar, sheet and input text it is asked to show; each page fetches
// its URL over HTTP (a 2xx status counts as loaded, anything else as failed)
// and keeps every script run in it. Every fact shown is reported as one event,
// and the owner acts as the user would: a page navigates, text is typed, a
// button is tapped.
//
// vesk-chat runs the chat on it; tests and hosts without a screen can too.
//
// Events (name: fields), one per fact:
//   script: screen, script        navigation: screen, url, allowed
//   screens: stack (names, top last; empty once the window is gone)
//   overlay: state ("hidden", "loading", "error"), title, description, retry,
//            screen (null over every screen, else the one screen it covers)
//   bar: title, avatar (or null), unread       input: enabled, text
//   sheet: actions (titles)       progress: shown
//   open-url: url                 open-file: path       open-image: urls, index
//   popup: id (the card's number, from 1), shown, frame (x, y, width, height),
//          pill (whether the card shows the powered-by pill)
//   button: shown, color, image (the host's icon path or the library's image
//           name), badge (or null), bubble ({text, avatar} or null), items
//           (labels), menuOpen
// `screen` is the page's mode name: "messages", "dialogs", "popup", "calendly".
//
// Threading: construct anywhere; everything else, the observer's calls
// included, on the main executor given at construction.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "vesk/chat_window.hpp"
#include "vesk/executor.hpp"
#include "vesk/json_value.hpp"

namespace vesk {

class HeadlessChatPlatform final : public ChatPlatform {
  public:
    using Observer = std::function<void(const std::string& event, const JsonObject& fields)>;

    // Requires: `executor` runs for as long as the platform lives.
    explicit HeadlessChatPlatform(std::shared_ptr<Executor> executor);
    ~HeadlessChatPlatform() override;
    HeadlessChatPlatform(const HeadlessChatPlatform&) = delete;
    HeadlessChatPlatform& operator=(const HeadlessChatPlatform&) = delete;

    void setObserver(Observer observer);

    std::shared_ptr<ChatWindow> createChatWindow() override;
    std::shared_ptr<WebPage> createWebPage(PageMode mode) override;
    std::shared_ptr<PopupCard> createPopupCard(std::shared_ptr<WebPage> page) override;
    // 375 x 667 until set.
    [[nodiscard]] ScreenSize screenSize() const override;
    void setScreenSize(ScreenSize size);
    // The launcher records what it shows; it has no view to sit in.
    std::shared_ptr<LauncherView> createLauncher(
        const std::shared_ptr<PlatformView>& host) override;

    // ---- the user ----------------------------------------------------------------
    // The newest page of `mode` navigates to `url`, as when the user acts on
    // it. False when there is no such page.
    bool navigate(PageMode mode, const std::string& url);
    // These are false when there is no chat window.
    bool typeText(const std::string& text);
    bool tapSend();
    bool attachFile(const std::filesystem::path& file);
    bool tapClose();
    bool tapList();
    bool tapBack();
    bool tapNewConversation();
    bool tapRetry();
    bool swipe(ChatWindowListener::Edge edge);
    // False also when no sheet is open or `index` is not one of its actions.
    bool chooseSheetAction(std::size_t index);
    // Taps the close button of the top popup card; false when none is shown.
    bool closePopup();
    // Taps a part of the launcher; false when it is not shown, or the part
    // (the bubble, the open menu's item or overlay) is not there.
    enum class LauncherTap { button, bubble, bubbleClose, item, overlay };
    bool tapLauncher(LauncherTap tap, std::size_t item = 0);

    // ---- what is shown -----------------------------------------------------------
    // Screen names, top last; empty without a window.
    [[nodiscard]] std::vector<std::string> stack() const;
    // Every script run in the newest page of `mode`, in order.
    [[nodiscard]] std::vector<std::string> scripts(PageMode mode) const;
    [[nodiscard]] OverlayContent overlay() const;
    [[nodiscard]] NavigationBarContent navigationBar() const;
    [[nodiscard]] bool inputEnabled() const;
    [[nodiscard]] std::string inputText() const;
    // The titles of the open sheet; empty when none is open.
    [[nodiscard]] std::vector<std::string> sheet() const;

    struct State;

  private:
    std::shared_ptr<State> state_;
};

}  // namespace vesk
