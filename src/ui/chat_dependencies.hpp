// What the chat's screens of one library instance work with, handed to the
// flow and its presenters by the composition root.
// Threading: main executor.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/rx/rx.hpp"
#include "ui/download_service.hpp"
#include "ui/screen_state.hpp"
#include "ui/sdk_step.hpp"
#include "usecases/conversation_context.hpp"
#include "usecases/outbox.hpp"
#include "vesk/chat_window.hpp"
#include "vesk/clock.hpp"
#include "vesk/user_property.hpp"

namespace vesk {

struct ChatDependencies {
    ConversationContext& conversations;
    ScreenState& screen;
    // Debounces, typing expiry and the progress indicator's delay.
    Scheduler& scheduler;
    // Where presenters send their steps; the flow of the open window follows it.
    rx::PublishRelay<Step>& steps;
    ChatPlatform& platform;
    DownloadService& downloads;
    // The host of the widget's pages.
    std::string widgetUrl;
    std::optional<std::string> providerName;
    // The user's language ("ru", "en", ...), read when a page is filled.
    std::function<std::optional<std::string>()> languageCode;
    // Whether the service can be reached now, and that status then each change.
    std::function<bool()> isReachable;
    rx::Observable<bool> reachable;
    // The id of the user messages are sent as.
    std::function<std::string()> userId;
    // The facade's events and properties, for what pages report.
    std::function<void(const std::string& name, const std::string& params)> trackEvent;
    std::function<void(std::vector<UserProperty> properties)> setUserProperty;
    // Where the user's text messages go until the service has them; they
    // outlive the screen that sent them.
    Outbox& outbox;
};

}  // namespace vesk
