// vesk-chat's push commands and the printing of local notifications.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "vesk/json_value.hpp"

namespace vesk::chat {

// Writes one event (see Printer in main.cpp).
using EventSink =
    std::function<void(const std::string& name, JsonObject fields, const std::string& readable)>;

// Makes the library schedule into a centre that prints each local notification as
// a "notification" event. Call before the library's first use.
void installNotificationPrinter(EventSink sink);

// Runs push-token, push-delete, show-push or click-push; false for any other name.
// `appGroup` is the store shared with a notification extension (none: no
// de-duplication). show-push calls `hold` and, once it has printed its answer,
// `release`, so later lines wait for it.
bool runPushCommand(const std::string& name, const std::string& rest,
                    const std::optional<std::string>& appGroup, const EventSink& sink,
                    const std::function<void()>& hold, std::function<void()> release);

extern const char* const kPushUsage;

}  // namespace vesk::chat
