// An HTTP request as a plain value: what to send, not how.
//
// Built by the caller on any thread, then moved into `HttpClient::send`.
#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "net/url_encoding.hpp"

namespace vesk::net {

enum class HttpMethod { get, post, put, patch, del, head };

// "GET", "POST", ... as sent on the wire.
[[nodiscard]] std::string_view methodName(HttpMethod method) noexcept;

// Bytes sent as they are, with their Content-Type.
struct RawBody {
    std::string bytes;
    std::string contentType = "application/octet-stream";
};

// application/x-www-form-urlencoded fields, sent in this order.
struct FormBody {
    Parameters fields;
};

// One part of a multipart/form-data body. A file part is streamed from disk
// while sending, so its size does not count against memory.
struct MultipartPart {
    std::string name;
    // The part's content in memory; unused for a file part.
    std::string value;
    // When set, the part's content is this file, read while the request is sent.
    std::optional<std::filesystem::path> file;
    // Sent as the part's filename. Empty: none for an in-memory part (a plain
    // field), the file's own name for a file part.
    std::string filename;
    // The part's Content-Type; empty sends none.
    std::string contentType;

    // A plain form field.
    [[nodiscard]] static MultipartPart field(std::string name, std::string value);
    // A file uploaded from memory.
    [[nodiscard]] static MultipartPart data(std::string name, std::string bytes,
                                            std::string filename, std::string contentType);
    // A file streamed from disk.
    [[nodiscard]] static MultipartPart fromFile(std::string name, std::filesystem::path path,
                                                std::string filename, std::string contentType);
};

struct MultipartBody {
    std::vector<MultipartPart> parts;
};

using HttpBody = std::variant<std::monostate, RawBody, FormBody, MultipartBody>;

struct HttpRequest {
    static constexpr std::chrono::milliseconds kDefaultConnectTimeout{15'000};
    static constexpr std::chrono::milliseconds kDefaultTotalTimeout{60'000};
    static constexpr std::size_t kDefaultMaxReplyBytes = 32U * 1024U * 1024U;

    HttpMethod method = HttpMethod::get;
    // Absolute http:// or https:// URL, already percent-encoded where needed.
    std::string url;
    // Appended to `url` as its query string, encoded, in this order.
    Parameters query;
    // Extra header fields, in this order. A Content-Type here wins over the body's.
    Parameters headers;
    HttpBody body;

    // Time allowed to set up the connection (TCP and TLS).
    std::chrono::milliseconds connectTimeout = kDefaultConnectTimeout;
    // Time allowed for the whole exchange; zero means no limit.
    std::chrono::milliseconds totalTimeout = kDefaultTotalTimeout;
    // A reply whose body would be larger fails with a transport error instead.
    // Does not apply to a body saved to a file.
    std::size_t maxReplyBytes = kDefaultMaxReplyBytes;
    // When set, the body goes to this file instead of `HttpReply::body`. The
    // file appears, replacing any file of that name, only once the whole body
    // has arrived with a status below 400; a status from 400 on is an error.
    // A failed write (a full disk) ends the transfer with an error.
    // Requires: the file's directory exists.
    std::optional<std::filesystem::path> saveTo;
    // No byte for this long ends the request with a timeout error ("No data
    // arrived for N seconds"), noticed within about a second; zero: no limit.
    std::chrono::seconds stallTimeout{0};
    // Follow 3xx redirects (http and https only, at most a few hops).
    bool followRedirects = true;

    [[nodiscard]] static HttpRequest get(std::string url, Parameters query = {});
    [[nodiscard]] static HttpRequest post(std::string url, HttpBody body = {},
                                          Parameters query = {});

    // `url` with `query` appended: what is put on the wire.
    [[nodiscard]] std::string fullUrl() const;
};

}  // namespace vesk::net
