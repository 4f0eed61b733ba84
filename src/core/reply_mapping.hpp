// Turning an HTTP reply (status code, body bytes) into what a caller sees.
//
// `mapReply` keeps three outcomes apart: a success value, an error value with
// a text a user may see, and a failed stream (the returned Error).
// `mapSingleValue` yields one decoded value or throws (returns) an ApiError.
#pragma once

#include <string>
#include <string_view>

#include "core/api_error.hpp"
#include "core/expected.hpp"
#include "core/response.hpp"
#include "core/result.hpp"
#include "core/system_console.hpp"

namespace vesk {

namespace detail {

inline Error decodingFailure(const json::DecodeError& error) {
    Error e = Error::make(Error::Kind::decoding, error.localizedDescription());
    e.detail = error.detail;
    return e;
}

}  // namespace detail

template <class T>
Expected<Result<Response<T>>> mapReply(long statusCode, std::string_view body) {
    if (statusCode < 400) {
        auto decoded = json::decodeText<Response<T>>(body);
        if (decoded) {
            return Result<Response<T>>::success(std::move(decoded).value());
        }
        // Diagnostics go to the console, never to the host's standard output.
        SystemConsole::shared().write(decoded.error().debugDescription(), "VeskNetwork");
        return Result<Response<T>>::failure(UIRepresentableError::custom(
            "ошибка десериализации модели Response<" + json::Codec<T>::typeName() + ">"));
    }
    auto envelope = json::decodeText<Response<JsonValue>>(body);
    if (!envelope) {
        return unexpected(detail::decodingFailure(envelope.error()));
    }
    return Result<Response<T>>::failure(UIRepresentableError::custom(envelope->meta.printError()));
}

template <class T>
Expected<T> mapSingleValue(long statusCode, std::string_view body) {
    if (statusCode < 400) {
        auto decoded = json::decodeText<Response<T>>(body);
        if (!decoded) {
            return unexpected(
                ApiError::decodeError("ошибка десериализации модели " + json::Codec<T>::typeName())
                    .toError());
        }
        return std::move(decoded).value().data;
    }
    auto envelope = json::decodeText<Response<JsonValue>>(body);
    if (!envelope) {
        return unexpected(detail::decodingFailure(envelope.error()));
    }
    if (statusCode < 500) {
        return unexpected(
            ApiError::apiError(envelope->meta.errorMessage.value_or("unknown")).toError());
    }
    return unexpected(ApiError::invalidResponse(envelope->meta.printError()).toError());
}

}  // namespace vesk
