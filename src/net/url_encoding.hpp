// Percent-encoding for URLs, query strings and form bodies.
//
// The client encodes exactly the ordered list it is given; choosing, sorting
// and formatting parameters (arrays, booleans) belongs to the caller.
// Pure functions, safe on any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vesk::net {

// One name/value pair of a query string or a form body, in sending order.
using Parameter = std::pair<std::string, std::string>;
using Parameters = std::vector<Parameter>;

// Percent-encodes every byte outside the RFC 3986 unreserved set
// (A-Z a-z 0-9 - . _ ~) and outside `alsoAllowed`, as upper-case %XX.
// Multi-byte UTF-8 sequences are encoded byte by byte.
[[nodiscard]] std::string percentEncode(std::string_view text, std::string_view alsoAllowed = {});

// Decodes %XX escapes. Returns nothing when an escape is malformed or the
// decoded bytes are not valid UTF-8 (so a caller can keep the text as it was).
// '+' is left alone: it means a space only inside form bodies.
[[nodiscard]] std::optional<std::string> percentDecode(std::string_view text);

// "k1=v1&k2=v2" with every key and value percent-encoded; the order is kept.
// Used for application/x-www-form-urlencoded bodies and for query strings.
[[nodiscard]] std::string encodeForm(const Parameters& parameters);

// `url` with `parameters` appended as its query: after '?' or, when the URL
// already has a query, after '&'; placed before any '#fragment'.
[[nodiscard]] std::string appendQuery(std::string_view url, const Parameters& parameters);

}  // namespace vesk::net
