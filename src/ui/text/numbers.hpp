// Whole-string number parsing, independent of the C locale.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace vesk::text {

// A decimal or hexadecimal ("0x1p4") floating-point number, "inf", "infinity" or "nan"
// (any case), with an optional sign; no white space. A value too large for a double is
// infinity, one too small is zero. Absent for an absent or unparsable text.
[[nodiscard]] std::optional<double> parseDouble(std::optional<std::string_view> text);

// A base-10 integer with an optional sign that fits 64 bits; nothing else in the text.
[[nodiscard]] std::optional<std::int64_t> parseInt(std::optional<std::string_view> text);

}  // namespace vesk::text
