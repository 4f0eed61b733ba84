// What the engine tests and the desktop bench both need of the GLib main loop, the real
// engine and the development server: no test framework here.
#pragma once

#include <webkit/webkit.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "dev_server.hpp"

namespace vesk::gtk::engine {

// Runs the main loop until `fact` holds or `deadline` passes; the fact's last value.
bool runUntil(const std::function<bool()>& fact, std::chrono::milliseconds deadline);
// The JSON of `script`'s value in `view`; none when it threw or there is no view.
std::optional<std::string> evaluate(WebKitWebView* view, const std::string& script);
// The server's id of the user the host knows as `hostId`, from the server's state.
std::string serverIdOf(const dev::DevServer& server, const std::string& hostId);

}  // namespace vesk::gtk::engine
