// The application behind the transport: records each request, applies faults, routes /v1/ to
// the API, serves uploaded files, answers the /_dev/ control API and admits real-time sockets.
//
// Threading: handle() and upgrade() run on the I/O thread (handle() also for the embedding
// API); every other member may be called from any thread. All state sits behind one mutex;
// publications are handed to the real-time hub and the publisher after it is released. The hub
// has a lock of its own, taken after (never before) the service's.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "api.hpp"
#include "dev_server.hpp"
#include "http_message.hpp"
#include "realtime.hpp"
#include "store.hpp"

namespace vesk::dev {

// Everything the one mutex guards.
struct ServerState {
    Store store;
    std::vector<RecordedRequest> requests;
    std::vector<Fault> faults;
    Realtime* realtime = nullptr;  // not guarded by the mutex: thread-safe on its own
};

class Service {
  public:
    using Publisher = std::function<void(const std::vector<Publication>&)>;

    Service();  // with the demo data

    // Before the server starts.
    [[nodiscard]] bool loadSeed(const std::string& path, std::string* error);
    void setBaseUrl(std::string baseUrl);

    [[nodiscard]] HttpOutcome handle(HttpRequest&& request);
    // A WebSocket upgrade: the socket's channels and user, or why it is refused.
    [[nodiscard]] UpgradeOutcome upgrade(const HttpRequest& request);
    // A control request made in-process: `body` is the JSON text of a POST.
    [[nodiscard]] HttpReply control(std::string method, std::string target, std::string body);

    [[nodiscard]] Realtime& realtime() { return realtime_; }

    [[nodiscard]] bool addApp(const AppKeys& keys);
    [[nodiscard]] std::vector<RecordedRequest> requests() const;
    void clearRequests();
    void addFault(Fault fault);
    void clearFaults();

    // Also told of every publication, after the hub; called outside the lock, on the thread
    // that made the change.
    void setPublisher(Publisher publisher);

  private:
    HttpReply serve(const RecordedRequest& request);
    void record(RecordedRequest&& request);  // requires: the lock is held
    void publish(std::vector<Publication>& published);

    mutable std::mutex mutex_;
    ServerState state_;
    Router router_;
    Publisher publisher_;
    Realtime realtime_;
};

// The control API, the recorded form of a request and faults as JSON (control_api.cpp).
[[nodiscard]] bool isControlPath(std::string_view path);
[[nodiscard]] HttpReply controlApi(ServerState& state, const RecordedRequest& request);
[[nodiscard]] boost::json::object recordedJson(const RecordedRequest& request);
[[nodiscard]] boost::json::object faultJson(const Fault& fault);

}  // namespace vesk::dev
