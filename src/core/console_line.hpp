// The library's diagnostic lines, until every caller goes through the console front end.
//
// Threading: any thread.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "vesk/console.hpp"

namespace vesk {

// Writes one line to the installed sink under the current subsystem. Never throws.
void consoleLine(std::string_view category, std::string_view text);

// The subsystem every line carries ("Vesk" until the host's bundle identifier is known).
void setConsoleSubsystem(std::string subsystem);
std::string consoleSubsystem();

// The sink lines go to now: the platform's default until one is set; null when silenced.
std::shared_ptr<ConsoleSink> currentConsoleSink();

}  // namespace vesk
