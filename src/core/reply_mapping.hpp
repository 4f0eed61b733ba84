// Turning an HTTP reply (status code, body bytes) into what a caller sees.
//
// `mapReply` keeps three outcomes apart: a success value, an error value with
// a text a user may see, and a failed stream (the returned Error).
// `mapSingleValue` yields one decoded value or fails with an ApiError.
#pragma once

#include <string>
#include <string_view>

#include "core/expected.hpp"
#include "core/response.hpp"
#include "core/result.hpp"
#include "core/system_console.hpp"

namespace vesk {

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
        return unexpected(std::move(envelope).error());
    }
    return Result<Response<T>>::failure(UIRepresentableError::custom(envelope->meta.printError()));
}

template <class T>
Expected<T> mapSingleValue(long statusCode, std::string_view body) {
    if (statusCode < 400) {
        auto decoded = json::decodeText<Response<T>>(body);
        if (!decoded) {
            return unexpected(Error::from(ApiError::decodeError("ошибка десериализации модели " +
                                                                json::Codec<T>::typeName())));
        }
        return std::move(decoded).value().data;
    }
    auto envelope = json::decodeText<Response<JsonValue>>(body);
    if (!envelope) {
        return unexpected(std::move(envelope).error());
    }
    if (statusCode < 500) {
        return unexpected(
            Error::from(ApiError::apiError(envelope->meta.errorMessage.value_or("unknown"))));
    }
    return unexpected(Error::from(ApiError::invalidResponse(envelope->meta.printError())));
}

}  // namespace vesk
