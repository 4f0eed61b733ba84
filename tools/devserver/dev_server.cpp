#include "dev_server.hpp"

#include <algorithm>
#include <boost/json/parse.hpp>
#include <boost/json/serialize.hpp>

#include "http_server.hpp"
#include "seed.hpp"
#include "service.hpp"

namespace vesk::dev {

namespace {

const std::string* findPair(const std::vector<std::pair<std::string, std::string>>& pairs,
                            const std::string& key) {
    for (const auto& [k, v] : pairs) {
        if (k == key) {
            return &v;
        }
    }
    return nullptr;
}

}  // namespace

std::string RecordedRequest::queryItem(const std::string& key) const {
    const std::string* v = findPair(queryItems, key);
    return v != nullptr ? *v : std::string{};
}

std::string RecordedRequest::formField(const std::string& key) const {
    const std::string* v = findPair(formFields, key);
    return v != nullptr ? *v : std::string{};
}

bool RecordedRequest::hasQueryItem(const std::string& key) const {
    return findPair(queryItems, key) != nullptr;
}

bool RecordedRequest::hasFormField(const std::string& key) const {
    return findPair(formFields, key) != nullptr;
}

namespace json = boost::json;

const RecordedRequest::Part* RecordedRequest::part(const std::string& name) const {
    for (const auto& p : parts) {
        if (p.name == name) {
            return &p;
        }
    }
    return nullptr;
}

struct DevServer::Impl {
    bool tls = false;
    std::string host;
    Service service;
    // Last: destroyed first, so the I/O thread is joined before the service goes away.
    std::unique_ptr<HttpServer> http;
};

std::unique_ptr<DevServer> DevServer::start(DevServerOptions options, std::string* error) {
    auto impl = std::make_unique<Impl>();
    impl->tls = options.tls.has_value();
    impl->host = options.host;
    if (options.seedFile && !impl->service.loadSeed(*options.seedFile, error)) {
        return nullptr;
    }
    for (const auto& app : options.apps) {
        if (!impl->service.addApp(app)) {
            if (error != nullptr) {
                *error = "app " + app.appId + ": api key or app id empty or already taken";
            }
            return nullptr;
        }
    }
    HttpServer::Options http;
    http.host = options.host;
    http.port = options.port;
    http.tls = options.tls;
    http.bodyLimit = options.bodyLimit;
    Service* service = &impl->service;
    impl->http = HttpServer::start(
        http, [service](HttpRequest&& request) { return service->handle(std::move(request)); },
        [service](const HttpRequest& request) { return service->upgrade(request); }, error);
    if (!impl->http) {
        return nullptr;
    }
    std::unique_ptr<DevServer> server(new DevServer(std::move(impl)));
    server->impl_->service.setBaseUrl(server->baseUrl());
    return server;
}

DevServer::DevServer(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

DevServer::~DevServer() = default;

std::uint16_t DevServer::port() const {
    return impl_->http->port();
}

std::string DevServer::baseUrl() const {
    const bool v6 = impl_->host.find(':') != std::string::npos;
    const std::string host = v6 ? "[" + impl_->host + "]" : impl_->host;
    return std::string(impl_->tls ? "https" : "http") + "://" + host + ":" +
           std::to_string(port()) + "/";
}

std::string DevServer::apiBaseUrl() const {
    return baseUrl() + "v1/";
}

std::string DevServer::realtimeBaseUrl() const {
    const std::string base = baseUrl();
    return (impl_->tls ? "wss" : "ws") + base.substr(base.find(':'));
}

std::string DevServer::demoApiKey() const {
    return kDemoApiKey;
}
std::string DevServer::demoAppId() const {
    return kDemoAppId;
}
std::string DevServer::demoUserAuthKey() const {
    return kDemoUserAuthKey;
}

bool DevServer::addApp(const AppKeys& app) {
    return impl_->service.addApp(app);
}

std::vector<RecordedRequest> DevServer::requests() const {
    return impl_->service.requests();
}
void DevServer::clearRequests() {
    impl_->service.clearRequests();
}
void DevServer::addFault(Fault fault) {
    impl_->service.addFault(std::move(fault));
}
void DevServer::clearFaults() {
    impl_->service.clearFaults();
}

namespace {

// A control request made in-process; its JSON answer, null when it failed.
json::value control(Service& service, const std::string& path, const json::object& body) {
    const HttpReply reply = service.control("POST", path, json::serialize(body));
    if (reply.status < 200 || reply.status >= 300) {
        return nullptr;
    }
    json::error_code ec;
    json::value answer = json::parse(reply.body, ec);
    return ec ? json::value(nullptr) : answer;
}

std::string memberText(const json::value& v, const char* outer, const char* inner) {
    if (!v.is_object()) {
        return {};
    }
    const json::value* o = v.as_object().if_contains(outer);
    if (o == nullptr) {
        return {};
    }
    if (inner == nullptr) {
        return json::serialize(*o);
    }
    const json::value* i = o->is_object() ? o->as_object().if_contains(inner) : nullptr;
    return i != nullptr && i->is_string() ? std::string(i->as_string()) : std::string();
}

}  // namespace

std::string DevServer::realtimeTag() const {
    return impl_->service.realtime().tag();
}

std::string DevServer::operatorReply(const std::string& conversationId, const std::string& text,
                                     const std::string& adminId) {
    json::object body{{"conversation_id", conversationId}, {"text", text}};
    if (!adminId.empty()) {
        body["admin_id"] = adminId;
    }
    return memberText(control(impl_->service, "/_dev/operator/reply", body), "part", nullptr);
}

std::string DevServer::operatorFile(const std::string& userId, const std::string& filename,
                                    std::size_t size) {
    const json::object body{{"user_id", userId}, {"filename", filename}, {"size", size}};
    return memberText(control(impl_->service, "/_dev/operator/reply_file", body), "attachment",
                      "url");
}

std::size_t DevServer::publishReplies(const std::string& userId, const std::string& conversationId,
                                      std::size_t count) {
    // In slices, so that the first frames are on their way while later parts are made.
    constexpr std::size_t kSlice = 2000;
    std::size_t sent = 0;
    std::string conversation = conversationId;
    while (sent < count) {
        const std::size_t n = std::min(kSlice, count - sent);
        json::object body{{"count", n}, {"first_number", sent + 1}};
        if (!conversation.empty()) {
            body["conversation_id"] = conversation;
        } else {
            body["user_id"] = userId;
        }
        const json::value answer = control(impl_->service, "/_dev/operator/flood", body);
        if (!answer.is_object()) {
            break;
        }
        if (const json::value* id = answer.as_object().if_contains("conversation_id");
            id != nullptr && id->is_string()) {
            conversation = std::string(id->as_string());
        }
        sent += n;
    }
    return sent;
}

bool DevServer::sendTyping(const std::string& conversationId, const std::string& adminId) {
    json::object body{{"conversation_id", conversationId}};
    if (!adminId.empty()) {
        body["admin_id"] = adminId;
    }
    return !control(impl_->service, "/_dev/operator/typing", body).is_null();
}

std::string DevServer::sendPopup(const std::string& userId, const std::string& bodyJson,
                                 std::optional<std::int64_t> expirationTime,
                                 const std::string& recipientType) {
    json::object body{
        {"user_id", userId}, {"body_json", bodyJson}, {"recipient_type", recipientType}};
    if (expirationTime) {
        body["expiration_time"] = *expirationTime;
    }
    return memberText(control(impl_->service, "/_dev/operator/popup", body), "conversation", "id");
}

std::string DevServer::sendPopupChat(const std::string& userId, const std::string& text,
                                     std::optional<std::int64_t> expirationTime) {
    json::object body{{"user_id", userId}, {"text", text}};
    if (expirationTime) {
        body["expiration_time"] = *expirationTime;
    }
    return memberText(control(impl_->service, "/_dev/operator/popup_chat", body), "conversation",
                      "id");
}

std::size_t DevServer::dropSockets(const std::string& userId) {
    return impl_->service.realtime().drop(userId);
}

std::size_t DevServer::restartRealtime() {
    return impl_->service.realtime().restart();
}

std::size_t DevServer::realtimeSocketCount(const std::string& userId) const {
    return impl_->service.realtime().socketCount(userId);
}

std::size_t DevServer::pushRawFrame(const std::string& userId, const std::string& channel,
                                    const std::string& text) {
    return impl_->service.realtime().pushRaw(userId, channel, text);
}

}  // namespace vesk::dev
