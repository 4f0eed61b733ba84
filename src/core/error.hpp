// The error a failed stream or a failed operation carries.
//
// Values users may see are `Result` errors (result.hpp); an `Error` is what ends
// a stream without a result: a reply that could not be decoded, a transport
// failure, a timeout, a cancellation, or a thrown `ApiError`.
#pragma once

#include <string>
#include <utility>

namespace vesk {

struct Error {
    enum class Kind {
        decoding,   // a reply or payload did not decode
        transport,  // no reply at all (connection, TLS, size cap)
        timeout,    // no reply in time
        cancelled,  // the request was cancelled or the owner went away
        api,        // an ApiError (see api_error.hpp)
        other,
    };

    Kind kind = Kind::other;
    // The error's localized description, as shown to a host's error handler.
    std::string description;
    // What went wrong in detail, for the console; never shown to users.
    std::string detail;
    // For `api`: which ApiError case (its index) and its string payload.
    int apiCase = -1;
    std::string apiPayload;

    static Error make(Kind kind, std::string description) {
        Error e;
        e.kind = kind;
        e.description = std::move(description);
        return e;
    }

    friend bool operator==(const Error&, const Error&) = default;
};

}  // namespace vesk
