// vesk-chat's conversation commands and the real-time events they print.
#pragma once

#include <functional>
#include <string>

#include "push_commands.hpp"

namespace vesk::chat {

// Prints every merged real-time message ("message") and typing notice
// ("typing") from now on. Call once, on the main executor.
void installChatPrinter(EventSink sink);

// Runs dialogs, messages, open, new, send or unread; false for any other name.
// Commands that wait for the service call `hold` and, once they have printed
// their answer, `release`, so later lines wait for them.
bool runChatCommand(const std::string& name, const std::string& rest, const EventSink& sink,
                    const std::function<void()>& hold, std::function<void()> release);

}  // namespace vesk::chat
