// String helpers shared by the screens and services.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vesk::text {

// Without leading and trailing white space and line breaks (Unicode's, not only ASCII).
[[nodiscard]] std::string trim(std::string_view text);

// True when nothing but white space and line breaks is left after trimming.
[[nodiscard]] bool isEmpty(std::string_view text);

// The text cut into consecutive groups of `of` user-perceived characters (see
// graphemes.hpp); the last group may be shorter. No groups when `of` is not positive.
[[nodiscard]] std::vector<std::string> group(std::string_view text, int of);

}  // namespace vesk::text
