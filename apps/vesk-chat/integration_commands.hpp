// vesk-chat's knowledge-base and integration commands:
//   kb settings | kb categories | kb articles <categoryId> | kb article <id> |
//   kb search <text...> | integrations
// Each reads through the public API and writes one event with its outcome.
// Threading: the session's main executor (the library's).
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "command_line.hpp"
#include "vesk/json_value.hpp"

namespace vesk::chat {

// Writes one event: its name, its fields for --json and its readable form.
using EventWriter =
    std::function<void(const std::string& name, JsonObject fields, const std::string& readable)>;

// "kb" and "integrations".
bool isIntegrationCommand(std::string_view name);

// Starts `c` (an integration command); `done` is called once its outcome (or a
// usage line) has been written, possibly before this returns.
void runIntegrationCommand(const Command& c, EventWriter write, std::function<void()> done);

}  // namespace vesk::chat
