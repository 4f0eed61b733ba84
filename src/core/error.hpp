// The library's one error: what went wrong, the text a user may be shown, and
// details for the console. A failed stream ends with it, a fallible function
// returns it in an Expected (expected.hpp), and a use case answers with it.
//
// The error values of a service reply (`Result`, result.hpp) and the texts the
// public API hands to hosts are fixed elsewhere; `from` brings the former in.
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "core/api_error.hpp"

namespace vesk {

class UIRepresentableError;

struct Error {
    enum class Kind {
        transport,  // no reply at all: no connection, TLS, size cap
        timeout,    // no reply in time
        cancelled,  // the request was cancelled or its owner went away
        decoding,   // a reply, a payload or a frame did not decode
        api,        // the service answered, with an error
        invalid,    // nothing was sent: the request could not be built
    };

    Kind kind = Kind::invalid;
    // The error's localized description, as a host's error handler shows it.
    std::string description;
    // What went wrong in detail, for the console; never shown to users.
    std::string detail;
    // The single-value request operation's error, when that is what failed.
    std::optional<ApiError> apiError;

    static Error make(Kind kind, std::string description) {
        Error e;
        e.kind = kind;
        e.description = std::move(description);
        return e;
    }
    // The service refused; `text` is its own words.
    static Error api(std::string text) { return make(Kind::api, std::move(text)); }
    static Error from(ApiError error);
    // No connection is `transport`; every other error value is the service's (`api`).
    static Error from(const UIRepresentableError& error);

    // The description and the detail together, for the console.
    [[nodiscard]] std::string debugDescription() const;

    friend bool operator==(const Error&, const Error&) = default;
};

}  // namespace vesk
