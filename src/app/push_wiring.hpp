// The push service of the process, bound to the runtime context.
// Threading: main executor.
#pragma once

#include "push/push_environment.hpp"
#include "push/push_notification_service.hpp"

namespace vesk {

// The runtime context as the push layer sees it. The chat window is not built
// yet, so there is never a screen on top; a tap makes its conversation current
// and opens the chat.
PushEnvironment appPushEnvironment();

// Created on first use, with its registration pipeline subscribed.
PushNotificationService& pushNotificationService();

// Runs `completion` on the main executor.
std::function<void(bool)> onMainExecutor(std::function<void(bool)> completion);

}  // namespace vesk
