// Finds links in text the way a platform link detector does, in linear time.
//
// Recognised, case-insensitively:
// - "http://", "https://", "ftp://" + [userinfo@] host [:port] [path ? query # fragment],
//   where host is a domain name (any labels, non-ASCII allowed), an IPv4 address or a
//   bracketed IPv6 address;
// - "mailto:" + local@domain [?query];
// - bare addresses: a domain with a known top-level domain (every two-letter country
//   code, a list of generic ones, "xn--" forms and a few Cyrillic ones) with optional
//   :port and path, e.g. "example.com/path";
// - bare e-mail addresses "local@example.com" (a detector reports them as mailto links).
// A link starts at the beginning of a word; a bare candidate is the whole word (a word
// whose last label is not a top-level domain is not a link). Paths end at white space,
// at < > " ` { } | \ ^, and at non-ASCII punctuation; trailing . , ; : ! ? ' * and
// unbalanced ) ] are not part of the link.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace vesk::text {

struct LinkRange {
    std::size_t begin = 0;  // bytes
    std::size_t end = 0;
};

[[nodiscard]] std::optional<LinkRange> findFirstLink(std::string_view text);

// True when the first link found is the whole text.
[[nodiscard]] bool isValidUrl(std::string_view text);

}  // namespace vesk::text
