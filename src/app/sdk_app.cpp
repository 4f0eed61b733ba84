#include "app/sdk_app.hpp"

namespace vesk {

SdkApp::SdkApp(Dependencies d)
    : sdkStepper(d.stepper),
      executor_(d.executor),
      conversations_(d.conversations),
      screen_(d.screen),
      chat_(d.chat) {
    const auto messenger = conversations_.messenger.messenger.asObservable();
    isInit = messenger | rx::map([](const std::optional<Messenger>& m) { return m.has_value(); }) |
             rx::shareReplay();
    appId = messenger | rx::compact() | rx::map([](const Messenger& m) { return m.appId; }) |
            rx::shareReplay();
    // Shared with replay for the life of the context: keep one subscription each.
    disposeBag.insert(isInit.subscribe());
    disposeBag.insert(appId.subscribe());

    disposeBag.insert(chatCloseAction.asObservable().subscribe(
        [this](rx::Unit) { screen_.isOpen.onNext(false); }));
    // An open window closes itself on this step; without one there is only the state to reset.
    disposeBag.insert(sdkStepper.steps.asObservable().subscribe([this](const Step& step) {
        if (isStep(step, SdkStep::Kind::closeChat) && !flow_) {
            closeChat();
        }
    }));

    rtsManager = std::make_unique<RtsManager>(
        executor_, std::move(d.realtimeBase), std::move(d.socketOptions),
        d.appState.isBackground.asObservable(),
        d.reachability.isReachable.asObservable() | rx::map([](ReachabilityService::Status s) {
            return s == ReachabilityService::Status::online;
        }));
    // The service outlives the context (the composition root says so); the
    // sockets only borrow it.
    const std::shared_ptr<RtsServiceProtocol> rts(std::shared_ptr<void>{}, &d.rts);
    // The socket restarts on the next turn of the main executor: whoever
    // changed the settings (setup, auth, logout) reports to the host first, and
    // a burst of changes restarts it once, for the last of them.
    disposeBag.insert(
        networkSetting.asObservable().subscribe([this, rts](const NetworkSettingsPtr& settings) {
            if (!settings) {
                return;
            }
            executor_.post([this, rts, settings, alive = std::weak_ptr<int>(alive_)] {
                if (alive.expired() || networkSetting.value() != settings) {
                    return;
                }
                rtsManager->stopRtsAll();
                rtsManager->startRts(settings,
                                     {Channel::conversationReply, Channel::conversationTyping,
                                      Channel::conversation},
                                     rts);
            });
        }));

    const auto record = [store = std::move(d.appGroupStore)](bool background) {
        return [store, background](rx::Unit) {
            if (store) {
                store->setBool("isBackground", background);
            }
        };
    };
    disposeBag.insert(d.appState.onBackground().subscribe(record(true)));
    disposeBag.insert(d.appState.onForeground().subscribe(record(false)));
}

std::optional<std::string> SdkApp::getCurrentDialogId() const {
    if (auto stored = conversations_.store->string("dialogId")) {
        return stored;
    }
    const auto& dialogs = conversations_.dialogs.dialogs.value();
    if (dialogs.empty()) {
        return std::nullopt;
    }
    return dialogs.front().id;
}

void SdkApp::createFlowAndOpen() {
    if (flow_) {
        flow_->bringForward();
        return;
    }
    screen_.isOpen.onNext(true);
    flow_ = SdkFlow::open(chat_, [this] {
        // The flow is inside its last step: it goes once that has returned.
        executor_.post([flow = std::move(flow_)] {});
        chatCloseAction.onNext(rx::Unit{});
    });
}

std::optional<std::string> SdkApp::conversationOnScreen() const {
    if (!flow_ || flow_->stack().empty() || flow_->stack().back() != ChatScreen::conversation) {
        return std::nullopt;
    }
    return conversations_.currentState.dialogId.value();
}

void SdkApp::closeChat() {
    // The chat forgets what it showed: the next opening starts afresh.
    if (screen_.isOpen.value()) {
        conversations_.currentState.reset();
    }
    chatCloseAction.onNext(rx::Unit{});
}

}  // namespace vesk
