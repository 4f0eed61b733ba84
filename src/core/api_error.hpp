// Errors thrown by the single-value request operation.
#pragma once

#include <optional>
#include <string>

#include "core/error.hpp"

namespace vesk {

class ApiError {
  public:
    enum class Case { apiError, invalidResponse, decodeError, invalidEndpoint, noData };

    static ApiError apiError(std::string text) { return {Case::apiError, std::move(text)}; }
    static ApiError invalidResponse(std::string text) {
        return {Case::invalidResponse, std::move(text)};
    }
    static ApiError decodeError(std::string text) { return {Case::decodeError, std::move(text)}; }
    static ApiError invalidEndpoint() { return {Case::invalidEndpoint, {}}; }
    static ApiError noData() { return {Case::noData, {}}; }

    [[nodiscard]] Case kind() const noexcept { return case_; }
    [[nodiscard]] const std::string& payload() const noexcept { return payload_; }

    // The payload looked up as a key in the host's main bundle ("" without
    // one); the platform's generic text for the cases without a payload.
    [[nodiscard]] std::string errorDescription() const;

    // As the error that ends a stream.
    [[nodiscard]] Error toError() const;
    // Back from a stream error of kind `api`; absent for other errors.
    static std::optional<ApiError> fromError(const Error& error);

    friend bool operator==(const ApiError&, const ApiError&) = default;

  private:
    ApiError(Case c, std::string payload) : case_(c), payload_(std::move(payload)) {}

    Case case_;
    std::string payload_;
};

}  // namespace vesk
