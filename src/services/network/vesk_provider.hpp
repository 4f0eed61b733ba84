// Turns API targets into HTTP requests for one connection.
//
// The provider fills the path placeholders from its settings, adds the
// authentication token and the fixed "id_as_string" parameter, and encodes
// parameters as each target's task says. Immutable once built except through
// `set`. Threading: main executor.
#pragma once

#include <string>

#include "core/expected.hpp"
#include "net/http_reply.hpp"
#include "net/http_request.hpp"
#include "services/network/network_settings.hpp"
#include "services/network/vesk_target.hpp"

namespace vesk {

class VeskProvider {
  public:
    // `baseUrl`: the configured API base URL; `logging`: write every request
    // and reply to the console.
    VeskProvider(NetworkSettingsPtr settings, std::string baseUrl, bool logging);

    [[nodiscard]] const NetworkSettingsPtr& settings() const noexcept { return settings_; }
    void set(NetworkSettingsPtr settings) { settings_ = std::move(settings); }
    [[nodiscard]] bool logging() const noexcept { return logging_; }

    // `base` itself; an error when it is not an http(s) URL.
    static Expected<std::string> checkedBaseUrl(const std::string& base);

    // The request for `target`, ready to send.
    [[nodiscard]] Expected<net::HttpRequest> request(const TargetRequest& target) const;

    // The steps of building a request, exposed for tests.
    [[nodiscard]] std::string url(const std::string& base, const TargetRequest& target) const;
    [[nodiscard]] Parameters tokenize(Parameters parameters, const TargetRequest& target) const;
    [[nodiscard]] Parameters connectionParams(const Parameters& parameters) const;

    // Console lines of the network logger; the token never appears in them.
    void logRequest(const net::HttpRequest& request) const;
    void logReply(const net::HttpRequest& request, const net::HttpReply* reply,
                  const Error* error) const;

  private:
    [[nodiscard]] std::string fillPlaceholders(std::string text) const;
    [[nodiscard]] bool needsFilling(const Parameters& parameters) const;
    void fillConnectionParams(Parameters& parameters) const;

    NetworkSettingsPtr settings_;
    std::string baseUrl_;
    bool logging_;
};

}  // namespace vesk
