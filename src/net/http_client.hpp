// HTTP client: libcurl's multi interface on one network thread of its own.
//
// Threading: `send` and `cancel` may be called from any thread (normally the
// main executor's). Every callback runs as a task of the executor given at
// construction, never on the network thread, and runs exactly once: with the
// reply, with a transport/timeout error, or with a `cancelled` error.
//
// A request with `saveTo` is a download: its body goes to that file (see
// HttpRequest), its progress may be followed, and its `cancelled` completion
// comes only once its partial file is gone.
//
// Connections are kept and reused across requests to the same host; TLS
// peers and host names are always verified; proxies come from the usual
// environment variables (http_proxy, https_proxy, no_proxy, ...).
//
// Requires: the executor outlives the client (destruction posts the
// `cancelled` completions of requests still in flight to it).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/expected.hpp"
#include "net/http_reply.hpp"
#include "net/http_request.hpp"
#include "vesk/executor.hpp"

namespace vesk::net {

// Names one sent request; zero names none.
struct RequestId {
    std::uint64_t value = 0;

    [[nodiscard]] explicit operator bool() const noexcept { return value != 0; }
    friend bool operator==(RequestId, RequestId) = default;
};

struct HttpClientOptions {
    // A PEM file of the CAs trusted instead of the system's store.
    std::string caFile;
    // Sent as User-Agent; empty sends "VeskSDK/<version>".
    std::string userAgent;
    // The longest the network thread sleeps with nothing due; new requests and
    // cancels wake it at once.
    std::chrono::milliseconds idleWait{1000};
};

class HttpClient {
  public:
    using Callback = std::function<void(Expected<HttpReply>)>;
    // The percent (0 to 100) of a download's body saved so far; called on the
    // executor when the percent changes and the total size is known, never after
    // the callback or a cancel.
    using Progress = std::function<void(int percent)>;

    // Starts the network thread.
    explicit HttpClient(Executor& executor, HttpClientOptions options = {});
    // Completes every request still in flight with `cancelled` and joins the
    // network thread. Callbacks already posted still run on the executor.
    ~HttpClient();

    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // Queues `request`; `callback` later gets its outcome on the executor.
    // Status codes from 400 on are replies, not errors, except for downloads.
    // `progress` is used only by downloads.
    RequestId send(HttpRequest request, Callback callback, Progress progress = {});

    // Ends the request: unless its callback has already run, it runs once with
    // a `cancelled` error, even if a reply has arrived meanwhile. Unknown or
    // finished ids are ignored.
    void cancel(RequestId id);

    // New connections opened by the requests finished so far; stays flat while
    // connections are reused. Any thread.
    [[nodiscard]] std::uint64_t connectionsOpened() const noexcept;

  private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace vesk::net
