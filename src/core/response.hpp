// The service's reply envelope: {"meta": {...}, "data": ...}.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/json/decoding.hpp"

namespace vesk {

struct Meta {
    std::int64_t status = 0;
    std::optional<std::string> error;
    std::optional<std::string> errorMessage;
    // Paging cursors; a number is carried as the default text of a double.
    std::optional<std::string> nextAfter;
    std::optional<std::string> nextBeforePosition;

    // "Error (status: N) <error>: <error_message>".
    [[nodiscard]] std::string printError() const;
};

template <class T>
struct Response {
    Meta meta;
    T data;
};

namespace json {

template <>
struct Codec<Meta> {
    static Decoded<Meta> decode(const JsonValue& value);
    static std::string typeName() { return "Meta"; }
};

template <class T>
struct Codec<Response<T>> {
    static Decoded<Response<T>> decode(const JsonValue& value) {
        auto object = requireObject(value, "Response");
        if (!object) {
            return unexpected(std::move(object).error());
        }
        const auto* meta = member(**object, "meta");
        if (meta == nullptr) {
            return unexpected(DecodeError::keyNotFound("meta"));
        }
        auto decodedMeta = Codec<Meta>::decode(*meta);
        if (!decodedMeta) {
            return unexpected(std::move(decodedMeta).error());
        }
        const auto* data = member(**object, "data");
        if (data == nullptr) {
            return unexpected(DecodeError::keyNotFound("data"));
        }
        auto decodedData = Codec<T>::decode(*data);
        if (!decodedData) {
            return unexpected(std::move(decodedData).error());
        }
        return Response<T>{std::move(decodedMeta).value(), std::move(decodedData).value()};
    }
    static std::string typeName() { return "Response<" + Codec<T>::typeName() + ">"; }
};

}  // namespace json
}  // namespace vesk
