// The plain request and reply values passed between the transport (http_server.cpp, the only
// file that sees Beast) and the application, with the text helpers that parse query strings,
// form bodies and multipart bodies.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dev_server.hpp"

namespace vesk::dev {

using Pairs = std::vector<std::pair<std::string, std::string>>;

struct HttpRequest {
    std::string method;
    std::string target;  // as sent: path and query
    Pairs headers;
    std::string body;
    std::uint64_t connectionId = 0;
};

struct HttpReply {
    int status = 200;
    std::string contentType = "application/json";
    std::string body;
    Pairs headers;
};

// How the transport delivers the reply; only faults choose anything but `normal`.
enum class Delivery { normal, drop, truncate, hang, paced, stall };

struct HttpOutcome {
    HttpReply reply;
    Delivery delivery = Delivery::normal;
    std::chrono::milliseconds delay{0};  // before the reply
    // `paced`: the body goes out this many bytes at a time, `chunkInterval` apart.
    std::size_t chunkBytes = 0;
    std::chrono::milliseconds chunkInterval{0};
};

// Value of the first header named `name` (case-insensitive); empty when absent.
[[nodiscard]] std::string_view headerValue(const Pairs& headers, std::string_view name);

[[nodiscard]] bool equalsIgnoreCase(std::string_view a, std::string_view b);

// Percent-decoding that never fails: a malformed escape is kept as it is.
[[nodiscard]] std::string percentDecode(std::string_view text, bool plusIsSpace);

// "a=1&b=2": pairs in the order sent, both sides decoded, "+" read as a space.
[[nodiscard]] Pairs parseUrlEncoded(std::string_view text);

// Parts of a multipart/form-data body; false when the body is not well formed.
[[nodiscard]] bool parseMultipart(std::string_view body, std::string_view contentType,
                                  std::vector<RecordedRequest::Part>& parts);

// The recorded form of a request: decoded path, query items, form fields or multipart parts.
[[nodiscard]] RecordedRequest recordRequest(HttpRequest&& request);

}  // namespace vesk::dev
