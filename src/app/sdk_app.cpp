#include "app/sdk_app.hpp"

#include "app/app_state_service.hpp"
#include "app/push_wiring.hpp"
#include "app/reachability_service.hpp"
#include "core/config/info_plist.hpp"
#include "usecases/conversation_context.hpp"
#include "usecases/current_state_repository.hpp"
#include "usecases/dialog_repository.hpp"
#include "usecases/messenger_repository.hpp"
#include "usecases/rts_service.hpp"
#include "vesk/runtime.hpp"

namespace vesk {

std::shared_ptr<KeyValueStore> appGroupStore() {
    const auto domain = InfoPlist::shared().getValue(InfoPlist::Keys::appGroupDomain, AppType::lib);
    return domain ? keyValueStoreFactory()->suite(*domain) : nullptr;
}

SdkApp& SdkApp::shared() {
    static SdkApp instance(appGroupStore());
    [[maybe_unused]] static const bool settingsInstalled = [] {
        installConversationSettings([] { return SdkApp::shared().networkSetting.value(); });
        return true;
    }();
    return instance;
}

SdkApp::SdkApp(std::shared_ptr<KeyValueStore> appGroupStore)
    : appGroupStore_(std::move(appGroupStore)) {
    const auto messenger = MessengerRepository::shared().messenger.asObservable();
    isInit = messenger | rx::map([](const std::optional<Messenger>& m) { return m.has_value(); }) |
             rx::shareReplay();
    appId = messenger | rx::compact() | rx::map([](const Messenger& m) { return m.appId; }) |
            rx::shareReplay();
    // Shared with replay for the life of the process: keep one subscription each.
    disposeBag.insert(isInit.subscribe());
    disposeBag.insert(appId.subscribe());

    disposeBag.insert(chatCloseAction.asObservable().subscribe(
        [](rx::Unit) { CurrentStateRepository::shared().isOpen.onNext(false); }));
    disposeBag.insert(sdkStepper.steps.asObservable().subscribe([this](SdkStep step) {
        if (step == SdkStep::closeChat) {
            chatCloseAction.onNext(rx::Unit{});
        }
    }));

    // The executor outlives the context: both live for the process.
    rtsManager = std::make_unique<RtsManager>(
        *mainExecutor(), AppStateService::shared().isBackground.asObservable(),
        ReachabilityService::shared().isReachable.asObservable() |
            rx::map([](ReachabilityService::Status s) {
                return s == ReachabilityService::Status::online;
            }));
    // The shared dispatch service lives for the process; the socket only borrows it.
    const std::shared_ptr<RtsServiceProtocol> rts(std::shared_ptr<void>{}, &RtsService::shared());
    // Each operator reply may become a local notification.
    disposeBag.insert(RtsService::shared().newMessage.asObservable().subscribe(
        [](const Message& message) { pushNotificationService().addNotification(message); }));
    // The socket restarts on the next turn of the main executor: whoever
    // changed the settings (setup, auth, logout) reports to the host first, and
    // a burst of changes restarts it once, for the last of them.
    disposeBag.insert(
        networkSetting.asObservable().subscribe([this, rts](const NetworkSettingsPtr& settings) {
            if (!settings) {
                return;
            }
            mainExecutor()->post([this, rts, settings] {
                if (networkSetting.value() != settings) {
                    return;
                }
                rtsManager->stopRtsAll();
                rtsManager->startRts(settings,
                                     {Channel::conversationReply, Channel::conversationTyping,
                                      Channel::conversation},
                                     rts);
            });
        }));

    auto store = appGroupStore_;
    const auto record = [store](bool background) {
        return [store, background](rx::Unit) {
            if (store) {
                store->setBool("isBackground", background);
            }
        };
    };
    disposeBag.insert(AppStateService::shared().onBackground().subscribe(record(true)));
    disposeBag.insert(AppStateService::shared().onForeground().subscribe(record(false)));
}

std::optional<std::string> SdkApp::getCurrentDialogId() const {
    if (auto stored = keyValueStoreFactory()->standard()->string("dialogId")) {
        return stored;
    }
    const auto& dialogs = DialogRepository::shared().dialogs.value();
    if (dialogs.empty()) {
        return std::nullopt;
    }
    return dialogs.front().id;
}

void SdkApp::createFlowAndOpen() {
    CurrentStateRepository::shared().isOpen.onNext(true);
}

}  // namespace vesk
