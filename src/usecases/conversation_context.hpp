// What the conversation use cases work on: the repositories, the standard
// store ("dialogId"), the main scheduler and the current network settings.
//
// The shared context uses the shared repositories and what the runtime
// installs; tests build their own with fresh repositories and a virtual clock.
// Threading: main executor.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "core/network_settings.hpp"
#include "usecases/current_state_repository.hpp"
#include "usecases/dialog_repository.hpp"
#include "usecases/messages_repository.hpp"
#include "usecases/messenger_repository.hpp"
#include "usecases/popup_repository.hpp"
#include "vesk/clock.hpp"
#include "vesk/key_value_store.hpp"

namespace vesk {

// Called by the runtime once its scheduler exists, and by the runtime context
// with its settings relay. Until then the shared context has no scheduler
// (expiries are not scheduled) and no settings (no request is made).
void installConversationScheduler(std::shared_ptr<Scheduler> scheduler);
void installConversationSettings(std::function<NetworkSettingsPtr()> settings);

class ConversationContext {
  public:
    static ConversationContext& shared();

    // A null scheduler or settings function falls back to the installed ones.
    ConversationContext(DialogRepository& dialogRepository, MessagesManager& messagesManager,
                        CurrentStateRepository& currentStateRepository,
                        PopupRepository& popupRepository, MessengerRepository& messengerRepository,
                        std::shared_ptr<KeyValueStore> standardStore,
                        std::shared_ptr<Scheduler> scheduler = nullptr,
                        std::function<NetworkSettingsPtr()> settings = nullptr);

    [[nodiscard]] Scheduler* scheduler() const;
    [[nodiscard]] NetworkSettingsPtr settings() const;
    // Whole seconds since 1970 (truncated) on the scheduler's clock.
    [[nodiscard]] std::int64_t nowSeconds() const;
    [[nodiscard]] Clock::WallTime wallNow() const;

    DialogRepository& dialogs;
    MessagesManager& messages;
    CurrentStateRepository& currentState;
    PopupRepository& popups;
    MessengerRepository& messenger;
    std::shared_ptr<KeyValueStore> store;

  private:
    std::shared_ptr<Scheduler> scheduler_;
    std::function<NetworkSettingsPtr()> settings_;
};

}  // namespace vesk
