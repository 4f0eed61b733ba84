#include "app/push_wiring.hpp"

#include "app/runtime.hpp"
#include "app/sdk_app.hpp"
#include "usecases/current_state_repository.hpp"

namespace vesk {

PushEnvironment appPushEnvironment() {
    PushEnvironment environment;
    environment.networkSettings = [] { return SdkApp::shared().networkSetting.value(); };
    environment.isInit = SdkApp::shared().isInit;
    environment.topScreen = []() -> std::optional<ChatScreen> { return std::nullopt; };
    environment.openConversation = [](const std::string& conversationId) {
        keyValueStoreFactory()->standard()->setString("dialogId", conversationId);
        CurrentStateRepository::shared().dialogId.onNext(conversationId);
        SdkApp::shared().createFlowAndOpen();
    };
    environment.openChat = [] { SdkApp::shared().createFlowAndOpen(); };
    return environment;
}

PushNotificationService& pushNotificationService() {
    static auto* service = new std::shared_ptr<PushNotificationService>(
        PushNotificationService::make(appPushEnvironment()));
    return **service;
}

std::function<void(bool)> onMainExecutor(std::function<void(bool)> completion) {
    return [completion = std::move(completion)](bool value) {
        Runtime::shared().dispatch([completion, value] { completion(value); });
    };
}

}  // namespace vesk
