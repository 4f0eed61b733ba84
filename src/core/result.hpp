// The outcome of a service call as the caller sees it: a value, or an error
// that a user may be shown.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace vesk {

class UIRepresentableError {
  public:
    enum class Case { custom, debug, noInternet, empty };

    static UIRepresentableError custom(std::string text) { return {Case::custom, std::move(text)}; }
    static UIRepresentableError debug(std::string text) { return {Case::debug, std::move(text)}; }
    static UIRepresentableError noInternet() { return {Case::noInternet, {}}; }
    static UIRepresentableError empty() { return {Case::empty, {}}; }

    [[nodiscard]] Case kind() const noexcept { return case_; }
    // The text of `custom` and `debug`; empty for the other cases.
    [[nodiscard]] const std::string& text() const noexcept { return text_; }

    friend bool operator==(const UIRepresentableError&, const UIRepresentableError&) = default;

  private:
    UIRepresentableError(Case c, std::string text) : case_(c), text_(std::move(text)) {}

    Case case_;
    std::string text_;
};

template <class T>
class Result {
  public:
    static Result success(T value) { return Result(std::in_place_index<0>, std::move(value)); }
    static Result failure(UIRepresentableError error) {
        return Result(std::in_place_index<1>, std::move(error));
    }

    [[nodiscard]] bool succeed() const noexcept { return state_.index() == 0; }
    // The value, or nullptr for an error.
    [[nodiscard]] const T* success() const noexcept { return std::get_if<0>(&state_); }
    [[nodiscard]] T* success() noexcept { return std::get_if<0>(&state_); }
    // The error, or nullptr for a success.
    [[nodiscard]] const UIRepresentableError* error() const noexcept {
        return std::get_if<1>(&state_);
    }

    template <class F>
    auto map(F&& f) const -> Result<decltype(f(std::declval<const T&>()))> {
        using U = decltype(f(std::declval<const T&>()));
        if (const auto* value = success()) {
            return Result<U>::success(f(*value));
        }
        return Result<U>::failure(*error());
    }

  private:
    template <std::size_t I, class V>
    Result(std::in_place_index_t<I> tag, V&& v) : state_(tag, std::forward<V>(v)) {}

    std::variant<T, UIRepresentableError> state_;
};

}  // namespace vesk
