// The chat window's overlay and navigation bar: what each state of the
// overlay shows, when a retry fires, and what the bar shows for the screen on
// top (the operator, the unread count, its buttons).
//
// Threading: main executor.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "core/rx/rx.hpp"
#include "services/models/person.hpp"
#include "ui/navigation_view_state.hpp"
#include "vesk/chat_window.hpp"
#include "vesk/clock.hpp"

namespace vesk {

// What the overlay shows for `state`: the loading indicator, an error panel
// with the state's texts (a retry button unless it is the empty-data note),
// or nothing. A server error while the service cannot be reached is shown as
// the connection error it most likely is.
OverlayContent overlayFor(const NavigationViewState& state, bool reachable);

class NavigationViewPresenter {
  public:
    // `window` outlives the presenter. `online` gives the current status, then each change.
    NavigationViewPresenter(ChatWindow& window, Scheduler& scheduler,
                            std::function<bool()> isReachable, const rx::Observable<bool>& online);

    void show(const NavigationViewState& state);
    // The retry button, as the window reports it; taps 200 ms apart or closer retry once.
    void retryTapped();

    [[nodiscard]] const std::optional<NavigationViewState>& state() const { return state_; }

    // Fires on retry, and when the service becomes reachable again while an
    // error is shown.
    rx::PublishSubject<rx::Unit> errorRetryAction;

  private:
    ChatWindow& window_;
    Scheduler& scheduler_;
    std::function<bool()> isReachable_;
    std::optional<NavigationViewState> state_;
    TimerHandle retryDebounce_;
    rx::DisposeBag disposeBag_;
};

class NavigationBarPresenter {
  public:
    // `admins` replays the operator of the conversation shown; `unread` the
    // unread count, then every change.
    NavigationBarPresenter(ChatWindow& window, const rx::Observable<std::optional<Admin>>& admins,
                           const rx::Observable<int>& unread);

    // The bar follows the screen on top.
    void screenOnTop(ChatScreen screen);

  private:
    void publish();

    ChatWindow& window_;
    ChatScreen top_ = ChatScreen::start;
    std::optional<Admin> admin_;
    int unread_ = 0;
    std::optional<NavigationBarContent> shown_;
    rx::DisposeBag disposeBag_;
};

}  // namespace vesk
