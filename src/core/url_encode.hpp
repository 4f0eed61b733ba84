// Percent-encoding helpers.
#pragma once

#include <string>
#include <string_view>

namespace vesk {

// Percent-encodes every one of the characters :#[]@ !$&'()*+,;= and nothing else.
std::string URLEncode(std::string_view text);

// Percent-encodes every byte outside `allowed` (ASCII characters), as %XX.
std::string percentEncode(std::string_view text, std::string_view allowed);

// Characters a URL host may hold unescaped, plus ASCII letters and digits.
inline constexpr std::string_view kUrlHostAllowed = "!$&'()*+,-.:;=[]_~";

// Whether `text` reads as a URL: non-empty, only characters a URL may hold,
// every "%" starting a valid escape.
bool isWellFormedUrl(std::string_view text);

}  // namespace vesk
