// The external integrations switched on for the host's app, and the recognition
// of links to well-known meeting and booking services.
//
// Threading: as knowledge_base.hpp: calls from any thread, the handler once on
// the main executor, errors as values. The link predicates are pure functions,
// safe from any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "vesk/api_result.hpp"
#include "vesk/json_value.hpp"

namespace vesk {

struct AppIntegration {
    std::string id;
    std::string type;  // "calendly", "zoom", ...: whatever the service knows
    std::string name;
    std::optional<std::int64_t> created;
    bool active = false;
    std::optional<JsonValue> settings;
    std::optional<JsonValue> jsonSettings;

    friend bool operator==(const AppIntegration&, const AppIntegration&) = default;
};

class Library;

// Each facade has one (`Vesk::integrations()`), on its own connection.
class VeskIntegrations {
  public:
    template <class T>
    using Handler = std::function<void(const ApiResult<T>& result)>;

    // Made by the facade.
    explicit VeskIntegrations(std::weak_ptr<Library> library) : library_(std::move(library)) {}

    void getAppIntegrations(Handler<std::vector<AppIntegration>> handler);

  private:
    std::weak_ptr<Library> library_;
};

// Each is true when `text` holds, anywhere, a link to that service: a Skype
// invitation, a Google Hangouts call, a Whereby room, a Google Meet meeting (the
// name notwithstanding), a Zoom meeting (the scheme may be left out), a Calendly
// booking page. A look-alike host or the host inside another link's path does
// not count.
bool isLinkToSkype(std::string_view text);
bool isLinkToHangouts(std::string_view text);
bool isLinkToWhereby(std::string_view text);
bool isLinkToGoToMeeting(std::string_view text);
bool isLinkToZoom(std::string_view text);
bool isLinkToCalendly(std::string_view text);

}  // namespace vesk
