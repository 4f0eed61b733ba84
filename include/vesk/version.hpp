// Library version, as reported to the service at connect.
#pragma once

#include <string_view>

namespace vesk {

// The library's version text, e.g. "1.0.33".
std::string_view libraryVersion() noexcept;

}  // namespace vesk
