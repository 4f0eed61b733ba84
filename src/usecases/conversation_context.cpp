#include "usecases/conversation_context.hpp"

#include <chrono>

namespace vesk {

namespace {

std::shared_ptr<Scheduler>& installedScheduler() {
    static std::shared_ptr<Scheduler> scheduler;
    return scheduler;
}

std::function<NetworkSettingsPtr()>& installedSettings() {
    static std::function<NetworkSettingsPtr()> settings;
    return settings;
}

}  // namespace

void installConversationScheduler(std::shared_ptr<Scheduler> scheduler) {
    installedScheduler() = std::move(scheduler);
}

void installConversationSettings(std::function<NetworkSettingsPtr()> settings) {
    installedSettings() = std::move(settings);
}

ConversationContext& ConversationContext::shared() {
    static ConversationContext instance(DialogRepository::shared(), MessagesManager::shared(),
                                        CurrentStateRepository::shared(), PopupRepository::shared(),
                                        MessengerRepository::shared(),
                                        keyValueStoreFactory()->standard());
    return instance;
}

ConversationContext::ConversationContext(
    DialogRepository& dialogRepository, MessagesManager& messagesManager,
    CurrentStateRepository& currentStateRepository, PopupRepository& popupRepository,
    MessengerRepository& messengerRepository, std::shared_ptr<KeyValueStore> standardStore,
    std::shared_ptr<Scheduler> scheduler, std::function<NetworkSettingsPtr()> settings)
    : dialogs(dialogRepository),
      messages(messagesManager),
      currentState(currentStateRepository),
      popups(popupRepository),
      messenger(messengerRepository),
      store(std::move(standardStore)),
      scheduler_(std::move(scheduler)),
      settings_(std::move(settings)) {}

Scheduler* ConversationContext::scheduler() const {
    return scheduler_ ? scheduler_.get() : installedScheduler().get();
}

NetworkSettingsPtr ConversationContext::settings() const {
    if (settings_) {
        return settings_();
    }
    return installedSettings() ? installedSettings()() : nullptr;
}

Clock::WallTime ConversationContext::wallNow() const {
    const auto* s = scheduler();
    return s ? s->clock().wallNow() : std::chrono::system_clock::now();
}

std::int64_t ConversationContext::nowSeconds() const {
    return std::chrono::duration_cast<std::chrono::seconds>(wallNow().time_since_epoch()).count();
}

}  // namespace vesk
