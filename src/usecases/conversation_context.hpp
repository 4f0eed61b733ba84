// What the conversation use cases of one library instance work on: the
// repositories, the standard store ("dialogId"), the main scheduler, the API
// endpoint, the files host and the current network settings.
//
// The composition root builds one and hands it to every use case; tests build
// their own on a virtual clock.
// Threading: main executor.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "services/network/api_endpoint.hpp"
#include "services/network/network_settings.hpp"
#include "usecases/current_state_repository.hpp"
#include "usecases/dialog_repository.hpp"
#include "usecases/messages_repository.hpp"
#include "usecases/messenger_repository.hpp"
#include "usecases/popup_repository.hpp"
#include "vesk/clock.hpp"
#include "vesk/key_value_store.hpp"

namespace vesk {

class ConversationContext {
  public:
    struct Dependencies {
        std::shared_ptr<KeyValueStore> standardStore;
        // Runs popup expiries; outlives the context.
        Scheduler* scheduler = nullptr;
        ApiEndpointPtr api;
        // The connection requests are made with; null while there is none.
        std::function<NetworkSettingsPtr()> settings;
        // The base of avatars named without a host.
        std::optional<std::string> filesUrl;
    };

    // Requires: a store and a scheduler.
    explicit ConversationContext(Dependencies dependencies);
    ConversationContext(const ConversationContext&) = delete;
    ConversationContext& operator=(const ConversationContext&) = delete;

    [[nodiscard]] Scheduler& scheduler() const { return *scheduler_; }
    [[nodiscard]] const ApiEndpointPtr& api() const { return api_; }
    [[nodiscard]] const std::optional<std::string>& filesUrl() const { return filesUrl_; }
    [[nodiscard]] NetworkSettingsPtr settings() const { return settings_ ? settings_() : nullptr; }
    // Whole seconds since 1970 (truncated) on the scheduler's clock.
    [[nodiscard]] std::int64_t nowSeconds() const;
    [[nodiscard]] Clock::WallTime wallNow() const { return scheduler_->clock().wallNow(); }

    const std::shared_ptr<KeyValueStore> store;
    MessengerRepository messenger;
    CurrentStateRepository currentState;
    PopupRepository popups;
    MessagesManager messages;
    // Last: it cancels its expiries, which refer to the others, first.
    DialogRepository dialogs;

  private:
    Scheduler* scheduler_;
    ApiEndpointPtr api_;
    std::function<NetworkSettingsPtr()> settings_;
    std::optional<std::string> filesUrl_;
};

}  // namespace vesk
