// The process-wide console sink.
#pragma once

#include <memory>

#include "vesk/console.hpp"

namespace vesk {

// The sink installed now (may be null: console silenced).
std::shared_ptr<ConsoleSink> currentConsoleSink();

}  // namespace vesk
