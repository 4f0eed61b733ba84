// A message a page sends by navigating to "veskiossdk://<name>?<arguments>".
//
// Threading: a plain value and a pure function; call from any thread.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace vesk {

struct PageMessage {
    std::string name;
    // Absent when the URL has no query or any part of it has no "=".
    std::optional<std::map<std::string, std::string>> arguments;

    // The argument under `key`; always absent when there are no arguments.
    [[nodiscard]] std::optional<std::string> argument(std::string_view key) const;
};

// The message of a page-message URL (see isPageMessageUrl), read this way:
// - name: the authority after "veskiossdk://", up to the first "/", "?" or "#",
//   as written; of an authority holding "@" or ":", the part after the last "@" and
//   before the next ":". Absent when there is no authority or the name is empty.
// - arguments: the query (after the first "?", before "#") split at "&", each part at
//   "=": the key is the text before the first "=", as written; the value the text
//   between the first and the second "=", with "+" read as a space, then
//   percent-decoded; a value that does not decode to UTF-8 is empty. A later key
//   replaces an earlier one.
// Any bytes are accepted.
[[nodiscard]] std::optional<PageMessage> parsePageMessage(std::string_view url);

}  // namespace vesk
