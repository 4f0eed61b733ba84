// A toolkit for presenter tests: views that keep what they are told and let
// the test act as the engine or the user would.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "vesk/chat_window.hpp"

namespace vesk::testing {

class FakePage final : public WebPage {
  public:
    void setListener(std::weak_ptr<WebPageListener> listener) override {
        listener_ = std::move(listener);
    }
    void load(const std::string& url, std::chrono::milliseconds /*timeout*/) override {
        loaded.push_back(url);
    }
    void evaluateScript(const std::string& script) override { scripts.push_back(script); }

    // The engine's reports.
    void finish() const { listener_.lock()->didFinishLoading(); }
    void fail() const { listener_.lock()->didFailLoading("test"); }
    // The page navigates, as when the user acts on it.
    WebPageListener::Decision navigate(const std::string& url) const {
        return listener_.lock()->decideNavigation(url);
    }

    // The scripts run since the last call.
    std::vector<std::string> take() { return std::exchange(scripts, {}); }

    std::vector<std::string> loaded;
    std::vector<std::string> scripts;

  private:
    std::weak_ptr<WebPageListener> listener_;
};

class FakeInputBar final : public InputBar {
  public:
    void setListener(std::weak_ptr<InputBarListener> listener) override {
        listener_ = std::move(listener);
    }
    void setEnabled(bool isEnabled) override { enabled = isEnabled; }
    void setText(const std::string& value) override { text = value; }

    void type(const std::string& value) {
        text = value;
        listener_.lock()->textChanged(value);
    }
    void tapSend() const { listener_.lock()->sendTapped(); }

    bool enabled = false;
    std::string text;

  private:
    std::weak_ptr<InputBarListener> listener_;
};

class FakeWindow final : public ChatWindow {
  public:
    void setListener(std::weak_ptr<ChatWindowListener> value) override {
        listener_ = std::move(value);
    }
    void present() override { ++presented; }
    void dismiss() override {
        dismissed = true;
        stack.clear();
    }
    void push(ChatScreenEntry entry, bool /*animated*/) override { stack.push_back(entry.screen); }
    void pop(bool /*animated*/) override { stack.pop_back(); }
    void setScreens(std::vector<ChatScreenEntry> entries) override {
        stack.clear();
        for (const auto& entry : entries) {
            stack.push_back(entry.screen);
        }
    }
    void showOverlay(const OverlayContent& value) override { overlay = value; }
    void showScreenOverlay(ChatScreen screen, const OverlayContent& value) override {
        screenOverlays[screen] = value;
    }
    void setNavigationBar(const NavigationBarContent& value) override { bar = value; }
    void setAccentColor(const std::string& color) override { accent = color; }
    void showActivity(bool shown) override { activity = shown; }
    void showActionSheet(const std::vector<SheetAction>& actions) override { sheet = actions; }
    std::shared_ptr<InputBar> inputBar() override { return input; }
    void openFile(const std::filesystem::path& file) override { files.push_back(file); }
    void openImages(const std::vector<std::string>& list, std::size_t index) override {
        images.push_back({list, index});
    }
    void openUrl(const std::string& url) override { urls.push_back(url); }

    // The user, or the toolkit reporting the screen on top.
    ChatWindowListener& listener() const { return *listener_.lock(); }
    void appear() const { listener().screenAppeared(stack.back()); }

    std::vector<ChatScreen> stack;
    OverlayContent overlay;
    std::map<ChatScreen, OverlayContent> screenOverlays;
    NavigationBarContent bar;
    std::string accent;
    bool activity = false;
    bool dismissed = false;
    int presented = 0;
    std::vector<SheetAction> sheet;
    std::vector<std::filesystem::path> files;
    std::vector<std::pair<std::vector<std::string>, std::size_t>> images;
    std::vector<std::string> urls;
    std::shared_ptr<FakeInputBar> input = std::make_shared<FakeInputBar>();

  private:
    std::weak_ptr<ChatWindowListener> listener_;
};

class FakePopupCard final : public PopupCard {
  public:
    void setListener(std::weak_ptr<PopupCardListener> value) override {
        listener_ = std::move(value);
    }
    void present() override { shown = true; }
    void dismiss() override { shown = false; }
    void setLayout(const PopupLayout& value) override { layout = value; }
    [[nodiscard]] double pillWidth(const std::string&) const override { return 120; }
    void openUrl(const std::string& url) override { urls.push_back(url); }

    void tapClose() const { listener_.lock()->closeTapped(); }
    void resized() const { listener_.lock()->screenChanged(); }

    bool shown = false;
    PopupLayout layout;
    std::vector<std::string> urls;

  private:
    std::weak_ptr<PopupCardListener> listener_;
};

class FakeLauncher final : public LauncherView {
  public:
    void setListener(std::weak_ptr<LauncherListener> value) override {
        listener_ = std::move(value);
    }
    void show(const LauncherContent& value) override {
        shown = true;
        content = value;
        ++shows;
    }
    void remove() override { shown = false; }
    void openUrl(const std::string& url) override { urls.push_back(url); }

    LauncherListener& user() const { return *listener_.lock(); }

    bool shown = false;
    int shows = 0;
    LauncherContent content;
    std::vector<std::string> urls;

  private:
    std::weak_ptr<LauncherListener> listener_;
};

class FakePlatform final : public ChatPlatform {
  public:
    std::shared_ptr<ChatWindow> createChatWindow() override {
        windows.push_back(std::make_shared<FakeWindow>());
        return windows.back();
    }
    std::shared_ptr<WebPage> createWebPage(PageMode mode) override {
        auto page = std::make_shared<FakePage>();
        pages[mode] = page;
        return page;
    }

    std::shared_ptr<PopupCard> createPopupCard(std::shared_ptr<WebPage> /*page*/) override {
        cards.push_back(std::make_shared<FakePopupCard>());
        return cards.back();
    }
    [[nodiscard]] ScreenSize screenSize() const override { return screen; }

    [[nodiscard]] FakeWindow& window() const { return *windows.back(); }
    [[nodiscard]] FakePage& page(PageMode mode) const { return *pages.at(mode); }

    std::vector<std::shared_ptr<FakeWindow>> windows;
    // The newest page of each mode.
    std::map<PageMode, std::shared_ptr<FakePage>> pages;
    std::vector<std::shared_ptr<FakePopupCard>> cards;
    ScreenSize screen{375, 667};
};

}  // namespace vesk::testing
