// The chat window of one opening: it builds the window on the platform,
// follows the steps presenters, the bar and the facade send, and turns each
// into a change of what the window shows. Opening starts with `openChat`
// (the start screen, the bar, the loading overlay); the start screen's
// appearance brings `messageList` (the conversation, with the list page
// loading behind it); `closeChat` takes the window away and forgets the
// conversation shown.
//
// Threading: main executor.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/rx/rx.hpp"
#include "ui/chat_dependencies.hpp"
#include "ui/dialog_list_presenter.hpp"
#include "ui/input_bar_presenter.hpp"
#include "ui/message_list_presenter.hpp"
#include "ui/navigation_presenters.hpp"
#include "ui/sdk_step.hpp"
#include "ui/web_view.hpp"
#include "vesk/chat_window.hpp"

namespace vesk {

class SdkFlow final : public ChatWindowListener, public std::enable_shared_from_this<SdkFlow> {
  public:
    // Creates the window and sends `openChat`. `closed` runs once the window
    // is gone; the owner releases the flow then (not from inside `closed`).
    static std::shared_ptr<SdkFlow> open(ChatDependencies& deps, std::function<void()> closed);
    ~SdkFlow() override;
    SdkFlow(const SdkFlow&) = delete;
    SdkFlow& operator=(const SdkFlow&) = delete;

    void navigate(const Step& step);
    // The chat is opened again while open: the same window comes forward.
    void bringForward();

    // The screens shown, top last.
    [[nodiscard]] const std::vector<ChatScreen>& stack() const { return stack_; }
    [[nodiscard]] bool isClosed() const { return closed_ == nullptr; }

    void closeTapped() override;
    void listTapped() override;
    void backTapped() override;
    void newConversationTapped() override;
    void retryTapped() override;
    void swiped(Edge edge) override;
    void sheetActionChosen(std::size_t index) override;
    void screenAppeared(ChatScreen screen) override;

  private:
    // A completed edge swipe either sends its step or pops the screen on top.
    struct SwipeAction {
        std::optional<Step> step;
    };

    SdkFlow(ChatDependencies& deps, std::function<void()> closed);

    void openChat();
    void messageList();
    void dialogList();
    void closeChat();
    void openCalendly(const std::string& url, const std::string& signature);
    void openActionSheet(std::vector<AlertAction> actions);
    void openStep(const VXStep& step);

    std::shared_ptr<WebView> makePage(PageMode mode);
    void push(ChatScreen screen, const std::shared_ptr<WebView>& page);
    void pop();
    void onSwipe(const std::optional<SwipeAction>& action);

    ChatDependencies& deps_;
    std::function<void()> closed_;
    std::shared_ptr<ChatWindow> window_;
    std::optional<NavigationViewPresenter> navigationView_;
    std::optional<NavigationBarPresenter> navigationBar_;
    std::shared_ptr<WebView> listPage_;
    std::optional<DialogListPresenter> dialogList_;
    std::shared_ptr<WebView> conversationPage_;
    std::optional<MessageListPresenter> messageList_;
    std::shared_ptr<InputBarPresenter> inputBar_;
    std::shared_ptr<WebView> bookingPage_;
    rx::DisposeBag bookingBag_;
    std::optional<SwipeAction> leftSwipe_;
    std::optional<SwipeAction> rightSwipe_;
    std::vector<AlertAction> sheet_;
    std::vector<ChatScreen> stack_;
    // Whether the start screen has led to the conversation yet.
    bool started_ = false;
    rx::DisposeBag disposeBag_;
};

}  // namespace vesk
