#include "ui/navigation_presenters.hpp"

#include <chrono>

#include "core/config/bundle_lookup.hpp"
#include "ui/resources.hpp"

namespace vesk {

namespace {

constexpr auto kRetryDebounce = std::chrono::milliseconds(200);

bool isError(const NavigationViewState& state) {
    const auto kind = state.kind();
    return kind == NavigationViewState::Case::connectError ||
           kind == NavigationViewState::Case::serverError ||
           kind == NavigationViewState::Case::zeroData;
}

}  // namespace

OverlayContent overlayFor(const NavigationViewState& state, bool reachable) {
    OverlayContent out;
    switch (state.kind()) {
        case NavigationViewState::Case::hide:
            return out;
        case NavigationViewState::Case::frameLoading:
        case NavigationViewState::Case::fullscreenLoading:
        case NavigationViewState::Case::contentLoading:
            out.kind = OverlayContent::Kind::loading;
            return out;
        case NavigationViewState::Case::serverError:
        case NavigationViewState::Case::connectError:
        case NavigationViewState::Case::zeroData:
            break;
    }
    const auto shown = state.kind() == NavigationViewState::Case::serverError && !reachable
                           ? NavigationViewState::connectError()
                           : state;
    out.kind = OverlayContent::Kind::error;
    out.title = shown.getTitle();
    out.description = shown.getDesc();
    if (!shown.isButtonHidden()) {
        out.retry = R::string::retry();
    }
    return out;
}

NavigationViewPresenter::NavigationViewPresenter(ChatWindow& window, Scheduler& scheduler,
                                                 std::function<bool()> isReachable,
                                                 const rx::Observable<bool>& online)
    : window_(window), scheduler_(scheduler), isReachable_(std::move(isReachable)) {
    // Only a return to the network retries, and only while an error is shown:
    // the status replayed now, or repeated, is no return.
    auto wasOnline = std::make_shared<std::optional<bool>>();
    disposeBag_.insert(online.subscribe([this, wasOnline](bool now) {
        const bool returned = wasOnline->has_value() && !**wasOnline && now;
        *wasOnline = now;
        if (returned && state_ && isError(*state_)) {
            errorRetryAction.onNext(rx::Unit{});
        }
    }));
}

void NavigationViewPresenter::show(const NavigationViewState& state) {
    state_ = state;
    window_.showOverlay(overlayFor(state, !isReachable_ || isReachable_()));
}

void NavigationViewPresenter::retryTapped() {
    retryDebounce_.cancel();
    retryDebounce_ =
        scheduler_.schedule(kRetryDebounce, [this] { errorRetryAction.onNext(rx::Unit{}); });
}

NavigationBarPresenter::NavigationBarPresenter(ChatWindow& window,
                                               const rx::Observable<std::optional<Admin>>& admins,
                                               const rx::Observable<int>& unread)
    : window_(window) {
    disposeBag_.insert(admins.subscribe([this](const std::optional<Admin>& admin) {
        if (admin) {
            admin_ = admin;
            publish();
        }
    }));
    disposeBag_.insert(unread.subscribe([this](int count) {
        unread_ = count;
        publish();
    }));
    publish();
}

void NavigationBarPresenter::screenOnTop(ChatScreen screen) {
    top_ = screen;
    publish();
}

void NavigationBarPresenter::publish() {
    NavigationBarContent bar;
    bar.unread = unread_;
    switch (top_) {
        case ChatScreen::list:
            bar.title = localize("vx_sdk.dialogs.title", AppType::sdk);
            bar.backButton = true;
            break;
        case ChatScreen::booking:
            // Its close button leaves the booking, not the chat.
            bar.title = "Calendly";
            break;
        case ChatScreen::start:
        case ChatScreen::conversation:
            bar.listButton = top_ == ChatScreen::conversation;
            if (admin_) {
                bar.title = admin_->name.value_or("Unknown admin name");
                bar.avatarUrl = admin_->avatar;
            }
            break;
    }
    if (shown_ != bar) {
        shown_ = bar;
        window_.setNavigationBar(bar);
    }
}

}  // namespace vesk
