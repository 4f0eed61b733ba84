// The runtime context every part reads: the current network settings, whether
// the library is initialised, the host's bundle, the chat's steps and its
// close signal. It also records the application's background flag for a
// notification extension.
//
// It owns the real-time manager: every new settings value stops all sockets and
// starts the one of its application. The chat window and its flow, and the
// popups' presentation, join this context with their own parts.
// Threading: main executor.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "app/app_state_service.hpp"
#include "app/reachability_service.hpp"
#include "core/rx/rx.hpp"
#include "services/network/network_settings.hpp"
#include "services/realtime/rts_manager.hpp"
#include "ui/chat_dependencies.hpp"
#include "ui/screen_state.hpp"
#include "ui/sdk_flow.hpp"
#include "ui/sdk_step.hpp"
#include "usecases/conversation_context.hpp"
#include "vesk/bundle.hpp"
#include "vesk/executor.hpp"
#include "vesk/key_value_store.hpp"

namespace vesk {

class SdkApp {
  public:
    struct Dependencies {
        // Outlives the context; socket restarts are posted to it.
        Executor& executor;
        // The base URL of the real-time sockets, and how they connect.
        std::string realtimeBase;
        SocketOptions socketOptions;
        ConversationContext& conversations;
        ScreenState& screen;
        AppStateService& appState;
        ReachabilityService& reachability;
        // Where the sockets deliver their frames; outlives the context.
        RtsServiceProtocol& rts;
        // Where "isBackground" goes; null writes nothing.
        std::shared_ptr<KeyValueStore> appGroupStore;
        // The steps of the chat; outlives the context.
        SdkStepper& stepper;
        // What the chat window is built from; outlives the context.
        ChatDependencies& chat;
    };

    // The process's instance: the one of the library's composition root.
    static SdkApp& shared();

    explicit SdkApp(Dependencies dependencies);
    SdkApp(const SdkApp&) = delete;
    SdkApp& operator=(const SdkApp&) = delete;

    void navigateTo(const Step& step) const { sdkStepper.steps.accept(step); }
    // The stored "dialogId", else the first conversation listed; absent when
    // neither exists.
    [[nodiscard]] std::optional<std::string> getCurrentDialogId() const;
    // Opens the chat window on the current conversation, or brings the open
    // one forward; the step `closeChat` closes it.
    void createFlowAndOpen();
    // The conversation the open chat shows; none while closed or on a new one.
    [[nodiscard]] std::optional<std::string> conversationOnScreen() const;
    // The open chat's flow; null while closed.
    [[nodiscard]] const std::shared_ptr<SdkFlow>& flow() const { return flow_; }

    // Null while no connection has been made.
    rx::BehaviorRelay<NetworkSettingsPtr> networkSetting{nullptr};
    SdkStepper& sdkStepper;
    rx::PublishSubject<rx::Unit> chatCloseAction;
    // True while the messenger repository holds a messenger.
    rx::Observable<bool> isInit;
    // The app id of each messenger the repository holds.
    rx::Observable<std::string> appId;
    std::optional<Bundle> bundle;
    std::unique_ptr<RtsManager> rtsManager;
    // Last: its subscriptions end before the state they touch goes.
    rx::DisposeBag disposeBag;

  private:
    void closeChat();

    Executor& executor_;
    ConversationContext& conversations_;
    ScreenState& screen_;
    ChatDependencies& chat_;
    std::shared_ptr<SdkFlow> flow_;
    // Tasks posted to the executor may run after the context is gone.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace vesk
