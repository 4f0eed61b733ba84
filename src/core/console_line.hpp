// The library's diagnostic lines, until every caller goes through the console front end.
//
// Threading: any thread.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "vesk/console.hpp"

namespace vesk {

// Writes one line through SystemConsole (the host's subsystem or "Vesk"). Never throws.
void consoleLine(std::string_view category, std::string_view text);

// The sink lines go to now: the platform's default until one is set; null when silenced.
std::shared_ptr<ConsoleSink> currentConsoleSink();

}  // namespace vesk
