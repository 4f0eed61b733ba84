// What came back for one request: any status code is a reply; only the lack
// of a complete reply is an error (see HttpClient).
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "net/url_encoding.hpp"

namespace vesk::net {

struct HttpReply {
    long status = 0;
    // Header fields of the final response (after redirects), in arrival order,
    // names as the server spelled them, values trimmed.
    Parameters headers;
    std::string body;
    // The URL that answered, after redirects.
    std::string effectiveUrl;
    // From sending to the last byte.
    std::chrono::microseconds elapsed{0};

    // The first header named `name` (ASCII case-insensitive).
    [[nodiscard]] std::optional<std::string_view> header(std::string_view name) const;
};

}  // namespace vesk::net
