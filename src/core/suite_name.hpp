// How a suite name becomes a file name: the same rule for every store factory, so a name
// is usable or not whatever the host installed.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vesk {

inline constexpr std::size_t kMaxSuiteNameBytes = 200;

// Empty, too long and control-character names are refused.
[[nodiscard]] bool isUsableSuiteName(std::string_view name);

// "standard" for the standard suite; "suite." + the name with every byte outside
// [A-Za-z0-9._-] written as %XX for a named one, so the stem is one path component that
// is never "." or "..". A long stem is cut and ends in "~" and a hash of the whole name.
// Absent for an unusable name.
[[nodiscard]] std::optional<std::string> suiteFileStem(std::string_view name);
inline constexpr std::string_view kStandardSuiteStem = "standard";

}  // namespace vesk
