// The /v1/ API: one ApiCall per request, the route table, and the authentication and ownership
// checks that every handler shares. Handlers return the envelope's "data" and may add paging
// fields to `meta`; they report failures by throwing ApiFailure, which the router turns into the
// error envelope.
#pragma once

#include <boost/json/object.hpp>
#include <boost/json/value.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "dev_server.hpp"
#include "http_message.hpp"
#include "store.hpp"

namespace vesk::dev {

struct ApiFailure {
    int status;
    std::string error, message;
};

[[noreturn]] void fail(int status, std::string error, std::string message);

class ApiCall {
  public:
    ApiCall(const RecordedRequest& req, Store& data) : request(req), store(data) {}

    const RecordedRequest& request;
    Store& store;
    std::vector<std::string> captures;  // the path segments that matched "*", in order
    User* user = nullptr;               // the caller, on routes that need auth_token
    App* app = nullptr;                 // the caller's app
    bool appConnection = false;         // the token came as "appm-<appId>-<token>"
    boost::json::object meta;           // extra members of the reply's meta

    // A form field, else a query item, of that name; null when neither is present.
    [[nodiscard]] const std::string* param(std::string_view name) const;
    // Requires: the parameter is present; otherwise a 400 reply.
    [[nodiscard]] std::string required(std::string_view name) const;
    [[nodiscard]] std::string optional(std::string_view name, std::string fallback = {}) const;
    // "1" and "true" are true, "0", "false" and "" false; anything else is a 400 reply.
    [[nodiscard]] bool flag(std::string_view name, bool fallback) const;

    // The checks of paths that name the caller's own user, app, conversation or part.
    void requireSelf(const std::string& userId) const;                     // 403 otherwise
    void requireOwnApp(const std::string& appId) const;                    // 403 otherwise
    Conversation& ownConversation(const std::string& id);                  // 404 otherwise
    Part& ownPart(const std::string& id, Conversation** owner = nullptr);  // 404 otherwise

    void publish(std::string channel, boost::json::value message);
};

using ApiHandler = boost::json::value (*)(ApiCall&);

struct Route {
    std::string method;
    std::string pattern;  // "users/*/setpresence": "*" matches one segment
    bool needsAuth;
    ApiHandler handler;
};

void addSessionRoutes(std::vector<Route>& routes);
void addConversationRoutes(std::vector<Route>& routes);
void addIntegrationRoutes(std::vector<Route>& routes);
void addKnowledgeBaseRoutes(std::vector<Route>& routes);

class Router {
  public:
    Router();
    // Requires: request.path starts with "/v1/".
    [[nodiscard]] HttpReply handle(const RecordedRequest& request, Store& store) const;

  private:
    struct Compiled {
        Route route;
        std::vector<std::string> segments;
    };
    std::vector<Compiled> routes_;
};

// The caller behind an auth_token: a user's own token, or "appm-<appId>-<token>" of an app
// connection. Null when neither names a user of a known app.
[[nodiscard]] User* resolveToken(Store& store, const std::string& token, bool& appConnection);

// A parameter that carries JSON text; kept as a string when it does not parse.
[[nodiscard]] boost::json::value jsonOrText(const std::string& text);

// Path segments without empty ones, so "a//b/" and "a/b" route alike.
[[nodiscard]] std::vector<std::string_view> splitPath(std::string_view path);

}  // namespace vesk::dev
