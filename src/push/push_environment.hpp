// What the push layer needs from the library instance above it. The
// composition root fills it; tests fill it themselves. The platform parts
// default to what the host installed (an extension process has nothing else).
// Threading: main executor.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/rx/rx.hpp"
#include "services/network/api_endpoint.hpp"
#include "services/network/network_settings.hpp"
#include "vesk/device_information.hpp"
#include "vesk/key_value_store.hpp"
#include "vesk/notification_center.hpp"

namespace vesk {

struct PushEnvironment {
    ApiEndpointPtr api;
    // The current connection; null before the first setup.
    std::function<NetworkSettingsPtr()> networkSettings;
    // True while the library is initialised; replays its latest value.
    rx::Observable<bool> isInit;
    // Whether the messenger settings are known now.
    std::function<bool()> hasMessenger;
    // The conversation the user is reading: absent unless the chat is open on
    // the conversation screen with a conversation current.
    std::function<std::optional<std::string>()> conversationOnScreen;
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
