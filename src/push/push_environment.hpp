// What the push layer needs from the runtime context above it. The app layer
// fills it from SdkApp; tests fill it themselves.
// Threading: main executor.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/network_settings.hpp"
#include "core/rx/rx.hpp"
#include "vesk/device_information.hpp"
#include "vesk/key_value_store.hpp"
#include "vesk/notification_center.hpp"

namespace vesk {

// The chat screen on top of the chat window.
enum class ChatScreen { messageList, dialogList, other };

struct PushEnvironment {
    // The current connection; null before the first setup.
    std::function<NetworkSettingsPtr()> networkSettings;
    // True while the library is initialised; replays its latest value.
    rx::Observable<bool> isInit;
    // Absent while there is no chat window.
    std::function<std::optional<ChatScreen>()> topScreen;
    // Makes the conversation current and shows the chat on it.
    std::function<void(const std::string& conversationId)> openConversation;
    // Opens the chat as the facade does.
    std::function<void()> openChat;
    std::function<std::shared_ptr<NotificationCenter>()> center = [] {
        return notificationCenter();
    };
    std::function<std::shared_ptr<DeviceInformation>()> device = [] { return deviceInformation(); };
    // Opens app-group suites; null means the library's stores.
    std::shared_ptr<KeyValueStoreFactory> stores;
};

}  // namespace vesk
