#include "api.hpp"

#include <boost/json/parse.hpp>
#include <exception>

#include "envelope.hpp"
#include "wire.hpp"

namespace vesk::dev {

namespace json = boost::json;

void fail(int status, std::string error, std::string message) {
    throw ApiFailure{status, std::move(error), std::move(message)};
}

namespace {

const std::string* findPair(const Pairs& pairs, std::string_view name) {
    for (const auto& [key, value] : pairs) {
        if (key == name) {
            return &value;
        }
    }
    return nullptr;
}

}  // namespace

const std::string* ApiCall::param(std::string_view name) const {
    if (const std::string* v = findPair(request.formFields, name)) {
        return v;
    }
    return findPair(request.queryItems, name);
}

std::string ApiCall::required(std::string_view name) const {
    const std::string* v = param(name);
    if (v == nullptr) {
        fail(400, "missing_parameter", "Missing parameter: " + std::string(name));
    }
    return *v;
}

std::string ApiCall::optional(std::string_view name, std::string fallback) const {
    const std::string* v = param(name);
    return v != nullptr ? *v : std::move(fallback);
}

bool ApiCall::flag(std::string_view name, bool fallback) const {
    const std::string* v = param(name);
    if (v == nullptr) {
        return fallback;
    }
    if (*v == "1" || *v == "true") {
        return true;
    }
    if (*v == "0" || *v == "false" || v->empty()) {
        return false;
    }
    fail(400, "invalid_parameter", "Not a boolean: " + std::string(name));
}

void ApiCall::requireSelf(const std::string& userId) const {
    if (user == nullptr || user->id != userId) {
        fail(403, "forbidden", "The auth_token does not belong to user " + userId);
    }
}

void ApiCall::requireOwnApp(const std::string& appId) const {
    if (app == nullptr || app->appId != appId) {
        fail(403, "forbidden", "The auth_token does not belong to app " + appId);
    }
}

Conversation& ApiCall::ownConversation(const std::string& id) {
    Conversation* c = store.conversation(id);
    if (c == nullptr || user == nullptr || c->userId != user->id) {
        fail(404, "not_found", "Conversation not found: " + id);
    }
    return *c;
}

Part& ApiCall::ownPart(const std::string& id, Conversation** owner) {
    Conversation* c = nullptr;
    Part* p = store.part(id, &c);
    if (p == nullptr || user == nullptr || c->userId != user->id) {
        fail(404, "not_found", "Conversation part not found: " + id);
    }
    if (owner != nullptr) {
        *owner = c;
    }
    return *p;
}

void ApiCall::publish(std::string channel, json::value message) {
    if (user != nullptr) {
        store.outbox.push_back({user->appId, user->id, std::move(channel), std::move(message)});
    }
}

json::value jsonOrText(const std::string& text) {
    json::error_code ec;
    json::value v = json::parse(text, ec);
    return ec ? json::value(text) : v;
}

std::vector<std::string_view> splitPath(std::string_view path) {
    std::vector<std::string_view> segments;
    while (!path.empty()) {
        const std::size_t slash = path.find('/');
        std::string_view segment = path.substr(0, slash);
        if (!segment.empty()) {
            segments.push_back(segment);
        }
        if (slash == std::string_view::npos) {
            break;
        }
        path.remove_prefix(slash + 1);
    }
    return segments;
}

Router::Router() {
    std::vector<Route> routes;
    addSessionRoutes(routes);
    addConversationRoutes(routes);
    addIntegrationRoutes(routes);
    addKnowledgeBaseRoutes(routes);
    for (auto& route : routes) {
        Compiled compiled{route, {}};
        for (std::string_view s : splitPath(route.pattern)) {
            compiled.segments.emplace_back(s);
        }
        routes_.push_back(std::move(compiled));
    }
}

User* resolveToken(Store& store, const std::string& token, bool& appConnection) {
    appConnection = false;
    if (token.empty()) {
        return nullptr;
    }
    if (User* u = store.userByToken(token)) {
        return u;
    }
    constexpr std::string_view kAppPrefix = "appm-";
    if (token.compare(0, kAppPrefix.size(), kAppPrefix) != 0) {
        return nullptr;
    }
    for (const auto& [appId, app] : store.apps()) {
        const std::string prefix = std::string(kAppPrefix) + appId + "-";
        if (token.compare(0, prefix.size(), prefix) == 0) {
            User* u = store.userByToken(token.substr(prefix.size()));
            if (u != nullptr && u->appId == appId) {
                appConnection = true;
                return u;
            }
        }
    }
    return nullptr;
}

HttpReply Router::handle(const RecordedRequest& request, Store& store) const {
    const auto segments = splitPath(std::string_view(request.path).substr(4));
    const Compiled* match = nullptr;
    bool pathKnown = false;
    std::vector<std::string> captures;
    for (const auto& compiled : routes_) {
        if (compiled.segments.size() != segments.size()) {
            continue;
        }
        std::vector<std::string> caught;
        bool same = true;
        for (std::size_t i = 0; i < segments.size() && same; ++i) {
            if (compiled.segments[i] == "*") {
                caught.emplace_back(segments[i]);
            } else {
                same = compiled.segments[i] == segments[i];
            }
        }
        if (!same) {
            continue;
        }
        pathKnown = true;
        if (compiled.route.method == request.method) {
            match = &compiled;
            captures = std::move(caught);
            break;
        }
    }
    if (match == nullptr) {
        return pathKnown
                   ? errorReply(405, "method_not_allowed",
                                "Method " + request.method + " not allowed on " + request.path)
                   : errorReply(404, "not_found", "Unknown path: " + request.path);
    }

    ApiCall call(request, store);
    call.captures = std::move(captures);
    try {
        if (match->route.needsAuth) {
            const std::string* token = findPair(request.queryItems, "auth_token");
            if (token == nullptr) {
                token = findPair(request.formFields, "auth_token");
            }
            call.user =
                token != nullptr ? resolveToken(store, *token, call.appConnection) : nullptr;
            if (call.user == nullptr) {
                return errorReply(401, "unauthorized",
                                  token == nullptr || token->empty() ? "Missing auth_token"
                                                                     : "Invalid auth_token");
            }
            call.app = store.appById(call.user->appId);
            if (call.user->isBanned) {
                return errorReply(403, "user_banned", "The user is banned");
            }
        }
        json::value data = match->route.handler(call);
        return envelopeReply(std::move(data), std::move(call.meta));
    } catch (const ApiFailure& f) {
        store.outbox.clear();
        return errorReply(f.status, f.error, f.message);
    } catch (const std::exception& e) {
        store.outbox.clear();
        return errorReply(500, "internal_error", e.what());
    }
}

}  // namespace vesk::dev
