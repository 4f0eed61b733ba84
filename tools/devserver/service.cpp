#include "service.hpp"

#include <algorithm>

#include "envelope.hpp"
#include "files.hpp"
#include "seed.hpp"
#include "wire.hpp"

namespace vesk::dev {
namespace {

// The record keeps the newest requests; a long demo session must not grow without bound.
constexpr std::size_t kRecordLimit = 10000;

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool faultMatches(const Fault& fault, std::string_view path) {
    if (fault.pathPrefix == "*") {
        return startsWith(path, "/v1/");
    }
    if (!fault.pathPrefix.empty() && fault.pathPrefix.front() == '/') {
        return startsWith(path, fault.pathPrefix);
    }
    return startsWith(path, "/v1/") && startsWith(path.substr(4), fault.pathPrefix);
}

// The first fault that applies to `path`, used up by one; empty when none does.
std::optional<Fault> takeFault(std::vector<Fault>& faults, std::string_view path) {
    for (auto it = faults.begin(); it != faults.end(); ++it) {
        if (it->count == 0 || !faultMatches(*it, path)) {
            continue;
        }
        Fault taken = *it;
        if (it->count > 0 && --it->count == 0) {
            faults.erase(it);
        }
        return taken;
    }
    return std::nullopt;
}

}  // namespace

Service::Service() {
    addDemoData(state_.store);
    state_.realtime = &realtime_;
}

bool Service::loadSeed(const std::string& path, std::string* error) {
    std::lock_guard lock(mutex_);
    return vesk::dev::loadSeed(state_.store, path, error);
}

void Service::setBaseUrl(std::string baseUrl) {
    std::lock_guard lock(mutex_);
    state_.store.baseUrl = std::move(baseUrl);
}

HttpOutcome Service::handle(HttpRequest&& request) {
    RecordedRequest recorded = recordRequest(std::move(request));
    HttpOutcome outcome;
    std::vector<Publication> published;
    {
        std::lock_guard lock(mutex_);
        if (isControlPath(recorded.path)) {
            outcome.reply = controlApi(state_, recorded);
            published.swap(state_.store.outbox);
        } else {
            record(std::move(recorded));
            const RecordedRequest& r = state_.requests.back();
            const std::optional<Fault> fault = takeFault(state_.faults, r.path);
            if (fault) {
                switch (fault->action) {
                    case Fault::Action::drop:
                        outcome.delivery = Delivery::drop;
                        return outcome;
                    case Fault::Action::hang:
                        outcome.delivery = Delivery::hang;
                        return outcome;
                    case Fault::Action::reply:
                        outcome.reply.status = fault->status;
                        outcome.reply.contentType = fault->contentType;
                        outcome.reply.body = fault->body;
                        return outcome;
                    case Fault::Action::delay:
                        outcome.delay = fault->delay;
                        break;
                    case Fault::Action::truncate:
                        outcome.delivery = Delivery::truncate;
                        break;
                    case Fault::Action::slow:
                        outcome.delivery = Delivery::paced;
                        outcome.chunkBytes = fault->chunkBytes;
                        outcome.chunkInterval = fault->delay;
                        break;
                    case Fault::Action::stall:
                        outcome.delivery = Delivery::stall;
                        break;
                }
            }
            outcome.reply = serve(r);
            published.swap(state_.store.outbox);
        }
    }
    publish(published);
    return outcome;
}

void Service::record(RecordedRequest&& request) {
    if (state_.requests.size() >= kRecordLimit) {
        state_.requests.erase(
            state_.requests.begin(),
            state_.requests.begin() + static_cast<std::ptrdiff_t>(kRecordLimit / 10));
    }
    state_.requests.push_back(std::move(request));
}

void Service::publish(std::vector<Publication>& published) {
    if (published.empty()) {
        return;
    }
    realtime_.publish(published);
    Publisher publisher;
    {
        std::lock_guard lock(mutex_);
        publisher = publisher_;
    }
    if (publisher) {
        publisher(published);
    }
}

namespace {

struct ChannelElement {
    std::string channel, appId, userId;  // userId empty: "<channel>.<appId>"
};

// "conversation_reply.1001.10005" or "conversation_reply.1001".
std::optional<ChannelElement> channelElement(std::string_view text) {
    std::vector<std::string_view> pieces;
    while (true) {
        const std::size_t dot = text.find('.');
        pieces.push_back(text.substr(0, dot));
        if (dot == std::string_view::npos) {
            break;
        }
        text.remove_prefix(dot + 1);
    }
    if (pieces.size() < 2 || pieces.size() > 3 || !isRealtimeChannel(pieces[0])) {
        return std::nullopt;
    }
    for (std::string_view p : pieces) {
        if (p.empty()) {
            return std::nullopt;
        }
    }
    return ChannelElement{std::string(pieces[0]), std::string(pieces[1]),
                          pieces.size() == 3 ? std::string(pieces[2]) : std::string()};
}

}  // namespace

UpgradeOutcome Service::upgrade(const HttpRequest& request) {
    HttpRequest copy = request;
    RecordedRequest r = recordRequest(std::move(copy));
    UpgradeOutcome outcome;
    Subscription subscription;
    std::vector<ChannelElement> elements;
    for (std::string_view segment : splitPath(r.path)) {
        auto element = channelElement(segment);
        if (!element) {
            outcome.rejection =
                errorReply(400, "invalid_parameter", "Not a channel: " + std::string(segment));
            break;
        }
        elements.push_back(std::move(*element));
    }
    if (elements.empty() && !outcome.rejection) {
        outcome.rejection = errorReply(400, "invalid_parameter", "No channel in the path");
    }
    const std::string token = r.queryItem("auth_token");
    if (r.hasQueryItem("tag")) {
        subscription.tag = r.queryItem("tag");
    }
    if (r.hasQueryItem("time")) {
        subscription.time = r.queryItem("time");
    }
    {
        std::lock_guard lock(mutex_);
        record(std::move(r));
        if (outcome.rejection) {
            return outcome;
        }
        bool appConnection = false;
        const User* user = resolveToken(state_.store, token, appConnection);
        if (user == nullptr) {
            outcome.rejection = errorReply(
                401, "unauthorized", token.empty() ? "Missing auth_token" : "Invalid auth_token");
            return outcome;
        }
        for (const ChannelElement& e : elements) {
            // "<channel>.<appId>" names the app's connection, so only an app token may use it.
            const bool matches =
                e.appId == user->appId && (e.userId.empty() ? appConnection : e.userId == user->id);
            if (!matches) {
                outcome.rejection =
                    errorReply(401, "unauthorized",
                               "The auth_token does not belong to " + e.channel + "." + e.appId +
                                   (e.userId.empty() ? "" : "." + e.userId));
                return outcome;
            }
        }
        if (user->isBanned) {
            outcome.rejection = errorReply(403, "user_banned", "The user is banned");
            return outcome;
        }
        subscription.appId = user->appId;
        subscription.userId = user->id;
    }
    for (ChannelElement& e : elements) {
        if (std::find(subscription.channels.begin(), subscription.channels.end(), e.channel) ==
            subscription.channels.end()) {
            subscription.channels.push_back(std::move(e.channel));
        }
    }
    outcome.accept = [this, subscription =
                                std::move(subscription)](const std::shared_ptr<FrameSink>& sink) {
        return realtime_.attach(sink, subscription);
    };
    return outcome;
}

HttpReply Service::control(std::string method, std::string target, std::string body) {
    HttpRequest request;
    request.method = std::move(method);
    request.target = std::move(target);
    request.headers = {{"Content-Type", "application/json"}};
    request.body = std::move(body);
    return handle(std::move(request)).reply;
}

HttpReply Service::serve(const RecordedRequest& request) {
    const std::string_view path = request.path;
    if (startsWith(path, "/v1/")) {
        return router_.handle(request, state_.store);
    }
    if (path == "/_dev/echo") {
        return jsonReply(200, recordedJson(request));
    }
    if (path == "/_dev/blob" && request.method == "GET") {
        return serveBlob(request);
    }
    if (startsWith(path, "/files/") && request.method == "GET") {
        return serveFile(state_.store, request);
    }
    if (startsWith(path, "/external-widget/") && request.method == "GET") {
        return serveWidgetPage(request);
    }
    return errorReply(404, "not_found", "Unknown path: " + request.path);
}

bool Service::addApp(const AppKeys& keys) {
    std::lock_guard lock(mutex_);
    return state_.store.addApp(makeApp(state_.store, keys));
}

std::vector<RecordedRequest> Service::requests() const {
    std::lock_guard lock(mutex_);
    return state_.requests;
}

void Service::clearRequests() {
    std::lock_guard lock(mutex_);
    state_.requests.clear();
}

void Service::addFault(Fault fault) {
    std::lock_guard lock(mutex_);
    state_.faults.push_back(std::move(fault));
}

void Service::clearFaults() {
    std::lock_guard lock(mutex_);
    state_.faults.clear();
}

void Service::setPublisher(Publisher publisher) {
    std::lock_guard lock(mutex_);
    publisher_ = std::move(publisher);
}

}  // namespace vesk::dev
