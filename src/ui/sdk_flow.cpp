#include "ui/sdk_flow.hpp"

#include <utility>

#include "ui/bridge/page_scripts.hpp"
#include "ui/bridge/page_url.hpp"
#include "ui/color.hpp"
#include "ui/resources.hpp"
#include "usecases/conversation_use_cases.hpp"

namespace vesk {

std::shared_ptr<SdkFlow> SdkFlow::open(ChatDependencies& deps, std::function<void()> closed) {
    std::shared_ptr<SdkFlow> flow(new SdkFlow(deps, std::move(closed)));
    flow->window_->setListener(flow);
    flow->disposeBag_.insert(deps.steps.asObservable().subscribe(
        [weak = std::weak_ptr<SdkFlow>(flow)](const Step& step) {
            if (const auto self = weak.lock()) {
                self->navigate(step);
            }
        }));
    deps.steps.accept(SdkStep::of(SdkStep::Kind::openChat));
    return flow;
}

SdkFlow::SdkFlow(ChatDependencies& deps, std::function<void()> closed)
    : deps_(deps), closed_(std::move(closed)), window_(deps.platform.createChatWindow()) {
    auto& ctx = deps_.conversations;
    navigationView_.emplace(*window_, deps_.scheduler, deps_.isReachable, deps_.reachable);
    navigationBar_.emplace(*window_, ctx.currentState.admin.asObservable(),
                           ctx.dialogs.dialogs.asObservable() | getUreadDialogsCountUseCase());
    disposeBag_.insert(ctx.messenger.messenger.asObservable().subscribe(
        [this](const std::optional<Messenger>& messenger) {
            window_->setAccentColor(
                accentColor(messenger ? std::optional(messenger->color) : std::nullopt));
        }));
    disposeBag_.insert(deps_.screen.state.asObservable().subscribe(
        [this](const NavigationViewState& state) { navigationView_->show(state); }));
    // Losing the network shows it at once; coming back retries (the overlay's presenter).
    disposeBag_.insert(deps_.reachable.subscribe([this](bool online) {
        if (!online) {
            navigationView_->show(NavigationViewState::connectError());
        }
    }));
    disposeBag_.insert(navigationView_->errorRetryAction.asObservable().subscribe([this](rx::Unit) {
        if (messageList_) {
            messageList_->retry();
        }
        if (listPage_ && !listPage_->didFinishLoad.value()) {
            listPage_->load();
        }
    }));

    listPage_ = makePage(PageMode::dialogs);
    dialogList_.emplace(deps_, *window_, listPage_, [this] {
        if (!stack_.empty() && stack_.back() == ChatScreen::list) {
            pop();
        }
    });
}

SdkFlow::~SdkFlow() = default;

std::shared_ptr<WebView> SdkFlow::makePage(PageMode mode) {
    return WebView::make({deps_.platform.createWebPage(mode), mode, pageUrl(deps_.widgetUrl, mode),
                          deps_.screen, deps_.isReachable});
}

void SdkFlow::navigate(const Step& step) {
    if (isClosed()) {
        return;
    }
    if (const auto* vx = std::get_if<VXStep>(&step)) {
        openStep(*vx);
        return;
    }
    const auto& sdk = std::get<SdkStep>(step);
    switch (sdk.kind) {
        case SdkStep::Kind::openChat:
            openChat();
            break;
        case SdkStep::Kind::messageList:
            messageList();
            break;
        case SdkStep::Kind::dialogList:
            dialogList();
            break;
        case SdkStep::Kind::closeChat:
            closeChat();
            break;
        case SdkStep::Kind::openCalendly:
            openCalendly(sdk.url, sdk.signature);
            break;
        case SdkStep::Kind::openActionSheet:
            openActionSheet(sdk.actions);
            break;
        case SdkStep::Kind::showProgress:
            window_->showActivity(true);
            break;
        case SdkStep::Kind::hideProgress:
            window_->showActivity(false);
            break;
    }
}

void SdkFlow::bringForward() {
    if (!isClosed()) {
        window_->present();
    }
}

void SdkFlow::openChat() {
    if (!stack_.empty()) {
        return;  // built once per opening
    }
    stack_ = {ChatScreen::start};
    window_->setScreens({ChatScreenEntry{ChatScreen::start, nullptr}});
    navigationView_->show(NavigationViewState::contentLoading());
    window_->present();
}

void SdkFlow::messageList() {
    if (conversationPage_) {
        return;
    }
    leftSwipe_ = SwipeAction{SdkStep::of(SdkStep::Kind::dialogList)};
    conversationPage_ = makePage(PageMode::messages);
    stack_.clear();
    window_->setScreens({});
    navigationView_->show(NavigationViewState::contentLoading());
    messageList_.emplace(deps_, *window_, conversationPage_);
    inputBar_ = InputBarPresenter::attach(deps_, window_->inputBar());
    push(ChatScreen::conversation, conversationPage_);
    // Both pages load behind the conversation screen; the list's fills itself once loaded.
    conversationPage_->load();
    if (!listPage_->didFinishLoad.value()) {
        listPage_->load();
    }
}

void SdkFlow::dialogList() {
    if (!conversationPage_ || stack_.empty() || stack_.back() != ChatScreen::conversation) {
        return;
    }
    rightSwipe_ = SwipeAction{};
    push(ChatScreen::list, listPage_);
}

void SdkFlow::closeChat() {
    window_->dismiss();
    // The chat forgets what it showed: the next opening starts afresh.
    deps_.conversations.currentState.reset();
    stack_.clear();
    disposeBag_.dispose();
    // Last: the owner may release this flow in response.
    std::exchange(closed_, nullptr)();
}

void SdkFlow::openCalendly(const std::string& url, const std::string& signature) {
    bookingPage_ = makePage(PageMode::calendly);
    bookingBag_ = rx::DisposeBag();
    // The booking page is filled as soon as it has loaded.
    bookingBag_.insert(
        bookingPage_->didFinishLoad.asObservable().subscribe([this, url, signature](bool loaded) {
            if (loaded) {
                bookingPage_->evaluate(script::initCalendlyWidget(url, signature));
            }
        }));
    rightSwipe_ = SwipeAction{};
    push(ChatScreen::booking, bookingPage_);
    bookingPage_->load();
}

void SdkFlow::openActionSheet(std::vector<AlertAction> actions) {
    std::vector<SheetAction> shown;
    shown.reserve(actions.size());
    for (const auto& action : actions) {
        shown.push_back(action.action);
    }
    sheet_ = std::move(actions);
    window_->showActionSheet(shown);
}

void SdkFlow::openStep(const VXStep& step) {
    switch (step.kind) {
        case VXStep::Kind::openFile:
            window_->openFile(step.file);
            break;
        case VXStep::Kind::openImage:
            window_->openImages(step.images, step.index);
            break;
    }
}

void SdkFlow::push(ChatScreen screen, const std::shared_ptr<WebView>& page) {
    stack_.push_back(screen);
    window_->push(ChatScreenEntry{screen, page ? page->page() : nullptr}, true);
    navigationBar_->screenOnTop(screen);
}

void SdkFlow::pop() {
    if (stack_.size() < 2) {
        return;
    }
    stack_.pop_back();
    window_->pop(true);
    navigationBar_->screenOnTop(stack_.back());
}

void SdkFlow::onSwipe(const std::optional<SwipeAction>& action) {
    if (!action) {
        return;
    }
    if (action->step) {
        deps_.steps.accept(*action->step);
    } else {
        pop();
    }
}

// ---- the window -----------------------------------------------------------------

void SdkFlow::closeTapped() {
    if (!stack_.empty() && stack_.back() == ChatScreen::booking) {
        pop();
        return;
    }
    deps_.steps.accept(SdkStep::of(SdkStep::Kind::closeChat));
}

void SdkFlow::listTapped() {
    deps_.steps.accept(SdkStep::of(SdkStep::Kind::dialogList));
}

void SdkFlow::backTapped() {
    pop();
}

void SdkFlow::newConversationTapped() {
    if (dialogList_) {
        dialogList_->newConversation();
    }
}

void SdkFlow::retryTapped() {
    navigationView_->retryTapped();
}

void SdkFlow::swiped(Edge edge) {
    if (stack_.empty()) {
        return;
    }
    // A swipe from the left edge of the conversation opens the list; a swipe
    // from the right returns from a pushed screen.
    if (edge == Edge::left && stack_.back() == ChatScreen::conversation) {
        onSwipe(leftSwipe_);
    } else if (edge == Edge::right && stack_.size() > 1) {
        onSwipe(rightSwipe_);
    }
}

void SdkFlow::sheetActionChosen(std::size_t index) {
    const auto actions = std::exchange(sheet_, {});
    if (index < actions.size() && actions[index].handler) {
        actions[index].handler();
    }
}

void SdkFlow::screenAppeared(ChatScreen screen) {
    if (screen == ChatScreen::start && !started_) {
        started_ = true;
        deps_.steps.accept(SdkStep::of(SdkStep::Kind::messageList));
    } else if (screen == ChatScreen::conversation && messageList_) {
        messageList_->appeared();
    }
}

}  // namespace vesk
