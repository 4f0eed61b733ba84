// The outcome of an asynchronous read through the public API: a value, or the
// text of what went wrong. Plain value; no shared state.
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace vesk {

template <class T>
class ApiResult {
  public:
    static ApiResult success(T value) {
        ApiResult out;
        out.value_ = std::move(value);
        return out;
    }
    static ApiResult failure(std::string error) {
        ApiResult out;
        out.error_ = std::move(error);
        return out;
    }

    [[nodiscard]] bool ok() const noexcept { return value_.has_value(); }
    // The value, or nullptr for a failure.
    [[nodiscard]] const T* value() const noexcept { return value_ ? &*value_ : nullptr; }
    // What went wrong; empty for a success.
    [[nodiscard]] const std::string& error() const noexcept { return error_; }

  private:
    ApiResult() = default;

    std::optional<T> value_;
    std::string error_;
};

}  // namespace vesk
