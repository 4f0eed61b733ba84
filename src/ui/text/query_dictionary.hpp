// The query of a URL as a dictionary.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace vesk::text {

// The query of `url` (after the first '?', before '#') split at "&" and each part at its
// first "=": the key as written, the value with "+" read as a space and then
// percent-decoded (a value that does not decode, a bad escape or bytes that are not
// UTF-8, is kept as written with its "+" replaced). A later key replaces an earlier one.
// Absent when there is no query or when a part has no "=" (an empty query is one such
// part).
[[nodiscard]] std::optional<std::map<std::string, std::string>> queryDictionary(
    std::string_view url);

// Percent-decoding: absent for an escape that is not two hex digits, or a result that is
// not UTF-8.
[[nodiscard]] std::optional<std::string> removingPercentEncoding(std::string_view text);

}  // namespace vesk::text
