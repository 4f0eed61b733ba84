// The runtime context every part reads: the current network settings, whether the
// library is initialised, the host's bundle, and the chat's close signal. It also
// records the application's background flag for a notification extension.
//
// It owns the real-time manager: every new settings value stops all sockets and
// starts the one of its application. The chat window and its flow, and the
// popups' presentation, join this context with their own parts.
// Threading: main executor.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "app/sdk_step.hpp"
#include "core/network_settings.hpp"
#include "core/rx/rx.hpp"
#include "services/realtime/rts_manager.hpp"
#include "vesk/bundle.hpp"
#include "vesk/key_value_store.hpp"

namespace vesk {

class SdkApp {
  public:
    static SdkApp& shared();

    // `appGroupStore`: where "isBackground" goes; null writes nothing.
    explicit SdkApp(std::shared_ptr<KeyValueStore> appGroupStore);

    void navigateTo(SdkStep step) const { sdkStepper.steps.accept(step); }
    // The stored "dialogId", else the first conversation listed; absent when
    // neither exists.
    [[nodiscard]] std::optional<std::string> getCurrentDialogId() const;
    // Opens the chat. No chat window exists yet in this library, so opening
    // only marks the chat open (what popups and notifications consult);
    // `closeChat` or `chatCloseAction` marks it closed again.
    void createFlowAndOpen();

    // Null while no connection has been made.
    rx::BehaviorRelay<NetworkSettingsPtr> networkSetting{nullptr};
    rx::DisposeBag disposeBag;
    SdkStepper sdkStepper;
    rx::PublishSubject<rx::Unit> chatCloseAction;
    // True while the shared messenger repository holds a messenger.
    rx::Observable<bool> isInit;
    // The app id of each messenger the repository holds.
    rx::Observable<std::string> appId;
    std::optional<Bundle> bundle;
    std::unique_ptr<RtsManager> rtsManager;

  private:
    std::shared_ptr<KeyValueStore> appGroupStore_;
};

// The suite named by the configured app-group id (the library default when unset).
std::shared_ptr<KeyValueStore> appGroupStore();

}  // namespace vesk
