// The application behind the transport: records each request, applies faults, routes /v1/ to
// the API, serves uploaded files and answers the /_dev/ control API.
//
// Threading: handle() runs on the I/O thread; every other member may be called from any thread.
// All state sits behind one mutex; publications are handed out after it is released.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "api.hpp"
#include "dev_server.hpp"
#include "http_message.hpp"
#include "store.hpp"

namespace vesk::dev {

// Everything the one mutex guards.
struct ServerState {
    Store store;
    std::vector<RecordedRequest> requests;
    std::vector<Fault> faults;
};

class Service {
  public:
    using Publisher = std::function<void(const std::vector<Publication>&)>;

    Service();  // with the demo data

    // Before the server starts.
    [[nodiscard]] bool loadSeed(const std::string& path, std::string* error);
    void setBaseUrl(std::string baseUrl);

    [[nodiscard]] HttpOutcome handle(HttpRequest&& request);

    [[nodiscard]] bool addApp(const AppKeys& keys);
    [[nodiscard]] std::vector<RecordedRequest> requests() const;
    void clearRequests();
    void addFault(Fault fault);
    void clearFaults();

    // What the real-time channel must deliver; called on the I/O thread, outside the lock.
    void setPublisher(Publisher publisher);

  private:
    HttpReply serve(const RecordedRequest& request);

    mutable std::mutex mutex_;
    ServerState state_;
    Router router_;
    Publisher publisher_;
};

// The control API, the recorded form of a request and faults as JSON (control_api.cpp).
[[nodiscard]] bool isControlPath(std::string_view path);
[[nodiscard]] HttpReply controlApi(ServerState& state, const RecordedRequest& request);
[[nodiscard]] boost::json::object recordedJson(const RecordedRequest& request);
[[nodiscard]] boost::json::object faultJson(const Fault& fault);

}  // namespace vesk::dev
