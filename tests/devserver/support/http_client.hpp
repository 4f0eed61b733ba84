// A small blocking HTTP client for the development server's tests (libcurl easy). One client
// keeps one easy handle, so consecutive requests reuse the connection like the library does.
#pragma once

#include <curl/curl.h>

#include <boost/json/value.hpp>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "dev_server.hpp"

namespace vesk::dev::test {

using Fields = std::vector<std::pair<std::string, std::string>>;

struct MimePart {
    std::string name, filename, contentType, data;
};

struct HttpCall {
    HttpCall(std::string m, std::string u) : method(std::move(m)), url(std::move(u)) {}

    std::string method;
    std::string url;
    Fields form;  // sent form-url-encoded in this order
    std::vector<MimePart> mime;
    std::string body, contentType;  // raw body, used when form and mime are empty
    long timeoutMs = 60000;
    std::string caFile;                // trust only this CA when set
    std::vector<std::string> resolve;  // "host:port:127.0.0.1"
};

struct HttpResult {
    CURLcode code = CURLE_OK;
    long status = 0;
    std::string body;
    long newConnections = 0;
    double seconds = 0;

    // The reply body as JSON; null when it is not JSON.
    [[nodiscard]] boost::json::value json() const;
};

class HttpClient {
  public:
    HttpClient();
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    HttpResult perform(const HttpCall& call);
    HttpResult get(const std::string& url) { return perform({"GET", url}); }
    HttpResult post(const std::string& url, Fields form) {
        HttpCall call{"POST", url};
        call.form = std::move(form);
        return perform(call);
    }
    HttpResult postJson(const std::string& url, std::string json) {
        HttpCall call{"POST", url};
        call.body = std::move(json);
        call.contentType = "application/json";
        return perform(call);
    }

  private:
    CURL* curl_;
};

[[nodiscard]] std::string urlEncode(const std::string& text);
[[nodiscard]] std::string formEncode(const Fields& fields);

// A user of the demo app, as connect (and optionally auth) gave it.
struct Session {
    std::string userId, token;
    [[nodiscard]] std::string q() const { return "?auth_token=" + token + "&id_as_string=1"; }
};
[[nodiscard]] Session connectDemo(HttpClient& client, const DevServer& server);

// Sends raw bytes on a fresh TCP connection and returns everything read until the server
// closes it (or 30 s pass).
[[nodiscard]] std::string rawExchange(std::uint16_t port, const std::string& bytes);

// A raw TCP connection to 127.0.0.1 with blocking, 30-second-bounded reads.
class RawConnection {
  public:
    explicit RawConnection(std::uint16_t port);
    ~RawConnection();
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;

    bool send(const std::string& bytes);
    // Reads until `marker` has arrived (or the peer closes, or 30 s pass); returns all read.
    std::string readUntil(const std::string& marker);
    std::string readAll();  // until the peer closes (or 30 s pass)

  private:
    int fd_;
    std::string pending_;
};

// A server on an ephemeral loopback port; fails the test when it cannot start.
[[nodiscard]] std::unique_ptr<DevServer> startServer(DevServerOptions options = {});

// Shortest text that reads back as the same double, as the library prints paging positions.
[[nodiscard]] std::string doubleText(double value);

}  // namespace vesk::dev::test
