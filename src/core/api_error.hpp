// The errors of the single-value request operation: what a reply that is no
// value of the expected type says went wrong. They travel inside an Error
// (error.hpp) of kind `api`.
#pragma once

#include <string>

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

    friend bool operator==(const ApiError&, const ApiError&) = default;

  private:
    ApiError(Case c, std::string payload) : case_(c), payload_(std::move(payload)) {}

    Case case_;
    std::string payload_;
};

}  // namespace vesk
