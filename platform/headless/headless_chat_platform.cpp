#include <map>
#include <utility>

#include "net/http_client.hpp"
#include "vesk/headless_platform.hpp"

namespace vesk {

namespace {

JsonValue stringArray(const std::vector<std::string>& items) {
    JsonArray out;
    out.reserve(items.size());
    for (const auto& item : items) {
        out.emplace_back(item);
    }
    return JsonValue(std::move(out));
}

const char* overlayStateName(OverlayContent::Kind kind) {
    switch (kind) {
        case OverlayContent::Kind::loading:
            return "loading";
        case OverlayContent::Kind::error:
            return "error";
        case OverlayContent::Kind::hidden:
            break;
    }
    return "hidden";
}

class HeadlessPage;
class HeadlessWindow;
class HeadlessPopupCard;
class HeadlessLauncher;

}  // namespace

struct HeadlessChatPlatform::State {
    explicit State(std::shared_ptr<Executor> mainExecutor)
        : executor(std::move(mainExecutor)), http(std::make_shared<net::HttpClient>(*executor)) {}

    void emit(const std::string& event, JsonObject fields) const {
        if (observer) {
            observer(event, fields);
        }
    }

    std::shared_ptr<Executor> executor;
    std::shared_ptr<net::HttpClient> http;
    Observer observer;
    std::weak_ptr<HeadlessWindow> window;
    std::map<PageMode, std::weak_ptr<HeadlessPage>> pages;
    // Shown cards, oldest first.
    std::vector<std::weak_ptr<HeadlessPopupCard>> cards;
    ScreenSize screen{375, 667};
    int nextCard = 1;
    std::weak_ptr<HeadlessLauncher> launcher;
};

namespace {

using State = HeadlessChatPlatform::State;

class HeadlessPage final : public WebPage, public std::enable_shared_from_this<HeadlessPage> {
  public:
    HeadlessPage(std::shared_ptr<State> state, PageMode mode)
        : state_(std::move(state)), mode_(mode) {}
    ~HeadlessPage() override { cancelLoad(); }

    void setListener(std::weak_ptr<WebPageListener> listener) override {
        listener_ = std::move(listener);
    }

    void load(const std::string& url, std::chrono::milliseconds timeout) override {
        if (!decide(url)) {
            return;
        }
        cancelLoad();
        auto request = net::HttpRequest::get(url);
        request.totalTimeout = timeout;
        std::weak_ptr<HeadlessPage> weak = weak_from_this();
        loading_ = state_->http->send(std::move(request), [weak](Expected<net::HttpReply> reply) {
            auto self = weak.lock();
            if (!self) {
                return;
            }
            self->loading_ = {};
            const auto listener = self->listener_.lock();
            if (!listener) {
                return;
            }
            if (reply && reply->status >= 200 && reply->status < 300) {
                listener->didFinishLoading();
            } else {
                listener->didFailLoading(reply ? "status " + std::to_string(reply->status)
                                               : reply.error().description);
            }
        });
    }

    void evaluateScript(const std::string& script) override {
        scripts_.push_back(script);
        state_->emit("script",
                     {{"screen", JsonValue(pageModeName(mode_))}, {"script", JsonValue(script)}});
    }

    // A navigation the page starts, as when the user acts on it.
    void navigate(const std::string& url) { decide(url); }

    [[nodiscard]] const std::vector<std::string>& scripts() const { return scripts_; }

  private:
    bool decide(const std::string& url) {
        const auto listener = listener_.lock();
        const bool allowed =
            !listener || listener->decideNavigation(url) == WebPageListener::Decision::allow;
        state_->emit("navigation", {{"screen", JsonValue(pageModeName(mode_))},
                                    {"url", JsonValue(url)},
                                    {"allowed", JsonValue(allowed)}});
        return allowed;
    }

    void cancelLoad() {
        if (loading_) {
            state_->http->cancel(std::exchange(loading_, {}));
        }
    }

    std::shared_ptr<State> state_;
    PageMode mode_;
    std::weak_ptr<WebPageListener> listener_;
    std::vector<std::string> scripts_;
    net::RequestId loading_;
};

// The pill's text, as a toolkit's font might measure it.
constexpr double kPillTextWidth = 100;
constexpr double kPillMargins = 10 + 5 + 16 + 10;  // text, gap, logo, edge

JsonValue rectJson(const Rect& r) {
    return JsonValue(JsonObject{{"x", JsonValue(r.x)},
                                {"y", JsonValue(r.y)},
                                {"width", JsonValue(r.width)},
                                {"height", JsonValue(r.height)}});
}

class HeadlessPopupCard final : public PopupCard {
  public:
    HeadlessPopupCard(std::shared_ptr<State> state, int number)
        : state_(std::move(state)), number_(number) {}

    void setListener(std::weak_ptr<PopupCardListener> listener) override {
        listener_ = std::move(listener);
    }
    void present() override {
        shown_ = true;
        report();
    }
    void dismiss() override {
        if (std::exchange(shown_, false)) {
            report();
        }
    }
    void setLayout(const PopupLayout& layout) override {
        layout_ = layout;
        if (shown_) {
            report();
        }
    }
    [[nodiscard]] double pillWidth(const std::string&) const override {
        return kPillTextWidth + kPillMargins;
    }
    void openUrl(const std::string& url) override {
        state_->emit("open-url", {{"url", JsonValue(url)}});
    }

    [[nodiscard]] bool shown() const { return shown_; }
    void tapClose() const {
        if (const auto listener = listener_.lock()) {
            listener->closeTapped();
        }
    }

  private:
    void report() const {
        state_->emit("popup", {{"id", JsonValue(static_cast<std::int64_t>(number_))},
                               {"shown", JsonValue(shown_)},
                               {"frame", rectJson(layout_.card)},
                               {"pill", JsonValue(layout_.pill.has_value())}});
    }

    std::shared_ptr<State> state_;
    int number_;
    std::weak_ptr<PopupCardListener> listener_;
    PopupLayout layout_;
    bool shown_ = false;
};

class HeadlessLauncher final : public LauncherView {
  public:
    explicit HeadlessLauncher(std::shared_ptr<State> state) : state_(std::move(state)) {}

    void setListener(std::weak_ptr<LauncherListener> listener) override {
        listener_ = std::move(listener);
    }
    void show(const LauncherContent& content) override {
        shown_ = true;
        content_ = content;
        report();
    }
    void remove() override {
        if (std::exchange(shown_, false)) {
            report();
        }
    }
    void openUrl(const std::string& url) override {
        state_->emit("open-url", {{"url", JsonValue(url)}});
    }

    [[nodiscard]] bool shown() const { return shown_; }
    [[nodiscard]] const LauncherContent& content() const { return content_; }
    template <class F>
    void tell(F f) const {
        if (const auto listener = listener_.lock()) {
            f(*listener);
        }
    }

  private:
    void report() const {
        std::vector<std::string> labels;
        for (const auto& item : content_.items) {
            labels.push_back(item.label);
        }
        JsonValue bubble;
        if (content_.bubble) {
            bubble = JsonValue(JsonObject{
                {"text", JsonValue(content_.bubble->text)},
                {"avatar",
                 content_.bubble->avatarUrl ? JsonValue(*content_.bubble->avatarUrl) : JsonValue()},
                {"frame", rectJson(content_.bubble->frame)}});
        }
        state_->emit("button",
                     {{"shown", JsonValue(shown_)},
                      {"color", JsonValue(content_.color)},
                      {"image", JsonValue(content_.icon ? content_.icon->path : content_.image)},
                      {"badge", content_.badge ? JsonValue(*content_.badge) : JsonValue()},
                      {"bubble", std::move(bubble)},
                      {"items", stringArray(labels)},
                      {"menuOpen", JsonValue(content_.menuOpen)}});
    }

    std::shared_ptr<State> state_;
    std::weak_ptr<LauncherListener> listener_;
    LauncherContent content_;
    bool shown_ = false;
};

class HeadlessInputBar final : public InputBar {
  public:
    explicit HeadlessInputBar(std::shared_ptr<State> state) : state_(std::move(state)) {}

    void setListener(std::weak_ptr<InputBarListener> listener) override {
        listener_ = std::move(listener);
    }
    void setEnabled(bool enabled) override {
        enabled_ = enabled;
        report();
    }
    void setText(const std::string& text) override {
        text_ = text;
        report();
    }

    void type(const std::string& text) {
        setText(text);
        if (const auto listener = listener_.lock()) {
            listener->textChanged(text);
        }
    }
    void tapSend() const {
        if (const auto listener = listener_.lock(); listener && enabled_) {
            listener->sendTapped();
        }
    }
    void attach(const std::filesystem::path& file) const {
        if (const auto listener = listener_.lock()) {
            listener->fileChosen(file);
        }
    }

    [[nodiscard]] bool enabled() const { return enabled_; }
    [[nodiscard]] const std::string& text() const { return text_; }

  private:
    void report() const {
        state_->emit("input", {{"enabled", JsonValue(enabled_)}, {"text", JsonValue(text_)}});
    }

    std::shared_ptr<State> state_;
    std::weak_ptr<InputBarListener> listener_;
    bool enabled_ = false;
    std::string text_;
};

class HeadlessWindow final : public ChatWindow {
  public:
    explicit HeadlessWindow(std::shared_ptr<State> state)
        : state_(std::move(state)), input_(std::make_shared<HeadlessInputBar>(state_)) {}

    void setListener(std::weak_ptr<ChatWindowListener> listener) override {
        listener_ = std::move(listener);
    }
    void present() override {}
    void dismiss() override {
        screens_.clear();
        reportScreens();
    }

    void push(ChatScreenEntry entry, bool /*animated*/) override {
        screens_.push_back(std::move(entry));
        reportScreens();
        appeared();
    }
    void pop(bool /*animated*/) override {
        if (screens_.empty()) {
            return;
        }
        screens_.pop_back();
        reportScreens();
        appeared();
    }
    void setScreens(std::vector<ChatScreenEntry> entries) override {
        screens_ = std::move(entries);
        reportScreens();
        appeared();
    }

    void showOverlay(const OverlayContent& overlay) override {
        overlay_ = overlay;
        reportOverlay(std::nullopt, overlay);
    }
    void showScreenOverlay(ChatScreen screen, const OverlayContent& overlay) override {
        reportOverlay(screen, overlay);
    }
    void setNavigationBar(const NavigationBarContent& bar) override {
        bar_ = bar;
        state_->emit("bar", {{"title", JsonValue(bar.title)},
                             {"avatar", bar.avatarUrl ? JsonValue(*bar.avatarUrl) : JsonValue()},
                             {"unread", JsonValue(bar.unread)}});
    }
    void setAccentColor(const std::string& /*color*/) override {}
    void showActivity(bool shown) override {
        state_->emit("progress", {{"shown", JsonValue(shown)}});
    }
    void showActionSheet(const std::vector<SheetAction>& actions) override {
        sheet_.clear();
        for (const auto& action : actions) {
            sheet_.push_back(action.title);
        }
        state_->emit("sheet", {{"actions", stringArray(sheet_)}});
    }

    std::shared_ptr<InputBar> inputBar() override { return input_; }

    void openFile(const std::filesystem::path& file) override {
        state_->emit("open-file", {{"path", JsonValue(file.string())}});
    }
    void openImages(const std::vector<std::string>& urls, std::size_t index) override {
        state_->emit("open-image", {{"urls", stringArray(urls)},
                                    {"index", JsonValue(static_cast<std::int64_t>(index))}});
    }
    void openUrl(const std::string& url) override {
        state_->emit("open-url", {{"url", JsonValue(url)}});
    }

    // ---- the user ----
    template <class F>
    void tell(F f) const {
        if (const auto listener = listener_.lock()) {
            f(*listener);
        }
    }
    bool choose(std::size_t index) {
        if (index >= sheet_.size()) {
            return false;
        }
        sheet_.clear();
        tell([index](ChatWindowListener& l) { l.sheetActionChosen(index); });
        return true;
    }

    [[nodiscard]] std::vector<std::string> stackNames() const {
        std::vector<std::string> names;
        names.reserve(screens_.size());
        for (const auto& entry : screens_) {
            names.emplace_back(chatScreenName(entry.screen));
        }
        return names;
    }
    [[nodiscard]] const OverlayContent& overlay() const { return overlay_; }
    [[nodiscard]] const NavigationBarContent& bar() const { return bar_; }
    [[nodiscard]] const std::vector<std::string>& sheet() const { return sheet_; }
    [[nodiscard]] HeadlessInputBar& input() const { return *input_; }

  private:
    void reportOverlay(std::optional<ChatScreen> screen, const OverlayContent& overlay) const {
        state_->emit("overlay",
                     {{"state", JsonValue(overlayStateName(overlay.kind))},
                      {"title", JsonValue(overlay.title)},
                      {"description", JsonValue(overlay.description)},
                      {"retry", JsonValue(!overlay.retry.empty())},
                      {"screen", screen ? JsonValue(chatScreenName(*screen)) : JsonValue()}});
    }
    void reportScreens() const { state_->emit("screens", {{"stack", stringArray(stackNames())}}); }
    // As on a screen, a screen appears on a later turn, once it is laid out.
    void appeared() const {
        if (screens_.empty()) {
            return;
        }
        state_->executor->post([listener = listener_, top = screens_.back().screen] {
            if (const auto l = listener.lock()) {
                l->screenAppeared(top);
            }
        });
    }

    std::shared_ptr<State> state_;
    std::shared_ptr<HeadlessInputBar> input_;
    std::weak_ptr<ChatWindowListener> listener_;
    std::vector<ChatScreenEntry> screens_;
    OverlayContent overlay_;
    NavigationBarContent bar_;
    std::vector<std::string> sheet_;
};

}  // namespace

HeadlessChatPlatform::HeadlessChatPlatform(std::shared_ptr<Executor> executor)
    : state_(std::make_shared<State>(std::move(executor))) {}

HeadlessChatPlatform::~HeadlessChatPlatform() = default;

void HeadlessChatPlatform::setObserver(Observer observer) {
    state_->observer = std::move(observer);
}

std::shared_ptr<ChatWindow> HeadlessChatPlatform::createChatWindow() {
    auto window = std::make_shared<HeadlessWindow>(state_);
    state_->window = window;
    return window;
}

std::shared_ptr<WebPage> HeadlessChatPlatform::createWebPage(PageMode mode) {
    auto page = std::make_shared<HeadlessPage>(state_, mode);
    state_->pages[mode] = page;
    return page;
}

std::shared_ptr<PopupCard> HeadlessChatPlatform::createPopupCard(std::shared_ptr<WebPage> page) {
    (void)page;  // the page is reached by its mode
    auto card = std::make_shared<HeadlessPopupCard>(state_, state_->nextCard++);
    std::erase_if(state_->cards, [](const auto& c) { return c.expired(); });
    state_->cards.push_back(card);
    return card;
}

ScreenSize HeadlessChatPlatform::screenSize() const {
    return state_->screen;
}

std::shared_ptr<LauncherView> HeadlessChatPlatform::createLauncher(
    const std::shared_ptr<PlatformView>& host) {
    (void)host;  // nothing to place it in
    auto launcher = std::make_shared<HeadlessLauncher>(state_);
    state_->launcher = launcher;
    return launcher;
}

bool HeadlessChatPlatform::tapLauncher(LauncherTap tap, std::size_t item) {
    const auto launcher = state_->launcher.lock();
    if (!launcher || !launcher->shown()) {
        return false;
    }
    const auto& content = launcher->content();
    switch (tap) {
        case LauncherTap::button:
            launcher->tell([](LauncherListener& l) { l.buttonTapped(); });
            return true;
        case LauncherTap::bubble:
        case LauncherTap::bubbleClose:
            if (!content.bubble) {
                return false;
            }
            launcher->tell([tap](LauncherListener& l) {
                if (tap == LauncherTap::bubble) {
                    l.bubbleTapped();
                } else {
                    l.bubbleCloseTapped();
                }
            });
            return true;
        case LauncherTap::item:
            if (!content.menuOpen || item >= content.items.size()) {
                return false;
            }
            launcher->tell([item](LauncherListener& l) { l.itemTapped(item); });
            return true;
        case LauncherTap::overlay:
            if (!content.menuOpen) {
                return false;
            }
            launcher->tell([](LauncherListener& l) { l.overlayTapped(); });
            return true;
    }
    return false;
}

void HeadlessChatPlatform::setScreenSize(ScreenSize size) {
    state_->screen = size;
}

bool HeadlessChatPlatform::closePopup() {
    for (auto it = state_->cards.rbegin(); it != state_->cards.rend(); ++it) {
        if (const auto card = it->lock(); card && card->shown()) {
            card->tapClose();
            return true;
        }
    }
    return false;
}

namespace {

template <class F>
bool withWindow(const HeadlessChatPlatform::State& state, F f) {
    const auto window = state.window.lock();
    if (!window) {
        return false;
    }
    f(*window);
    return true;
}

}  // namespace

bool HeadlessChatPlatform::navigate(PageMode mode, const std::string& url) {
    const auto found = state_->pages.find(mode);
    const auto page = found == state_->pages.end() ? nullptr : found->second.lock();
    if (!page) {
        return false;
    }
    page->navigate(url);
    return true;
}

bool HeadlessChatPlatform::typeText(const std::string& text) {
    return withWindow(*state_, [&text](HeadlessWindow& w) { w.input().type(text); });
}

bool HeadlessChatPlatform::tapSend() {
    return withWindow(*state_, [](HeadlessWindow& w) { w.input().tapSend(); });
}

bool HeadlessChatPlatform::attachFile(const std::filesystem::path& file) {
    return withWindow(*state_, [&file](HeadlessWindow& w) { w.input().attach(file); });
}

bool HeadlessChatPlatform::tapClose() {
    return withWindow(
        *state_, [](HeadlessWindow& w) { w.tell([](ChatWindowListener& l) { l.closeTapped(); }); });
}

bool HeadlessChatPlatform::tapList() {
    return withWindow(
        *state_, [](HeadlessWindow& w) { w.tell([](ChatWindowListener& l) { l.listTapped(); }); });
}

bool HeadlessChatPlatform::tapBack() {
    return withWindow(
        *state_, [](HeadlessWindow& w) { w.tell([](ChatWindowListener& l) { l.backTapped(); }); });
}

bool HeadlessChatPlatform::tapNewConversation() {
    return withWindow(*state_, [](HeadlessWindow& w) {
        w.tell([](ChatWindowListener& l) { l.newConversationTapped(); });
    });
}

bool HeadlessChatPlatform::tapRetry() {
    return withWindow(
        *state_, [](HeadlessWindow& w) { w.tell([](ChatWindowListener& l) { l.retryTapped(); }); });
}

bool HeadlessChatPlatform::swipe(ChatWindowListener::Edge edge) {
    return withWindow(*state_, [edge](HeadlessWindow& w) {
        w.tell([edge](ChatWindowListener& l) { l.swiped(edge); });
    });
}

bool HeadlessChatPlatform::chooseSheetAction(std::size_t index) {
    bool chosen = false;
    withWindow(*state_, [&](HeadlessWindow& w) { chosen = w.choose(index); });
    return chosen;
}

std::vector<std::string> HeadlessChatPlatform::stack() const {
    const auto window = state_->window.lock();
    return window ? window->stackNames() : std::vector<std::string>{};
}

std::vector<std::string> HeadlessChatPlatform::scripts(PageMode mode) const {
    const auto found = state_->pages.find(mode);
    const auto page = found == state_->pages.end() ? nullptr : found->second.lock();
    return page ? page->scripts() : std::vector<std::string>{};
}

OverlayContent HeadlessChatPlatform::overlay() const {
    const auto window = state_->window.lock();
    return window ? window->overlay() : OverlayContent{};
}

NavigationBarContent HeadlessChatPlatform::navigationBar() const {
    const auto window = state_->window.lock();
    return window ? window->bar() : NavigationBarContent{};
}

bool HeadlessChatPlatform::inputEnabled() const {
    const auto window = state_->window.lock();
    return window && window->input().enabled();
}

std::string HeadlessChatPlatform::inputText() const {
    const auto window = state_->window.lock();
    return window ? window->input().text() : std::string();
}

std::vector<std::string> HeadlessChatPlatform::sheet() const {
    const auto window = state_->window.lock();
    return window ? window->sheet() : std::vector<std::string>{};
}

}  // namespace vesk
