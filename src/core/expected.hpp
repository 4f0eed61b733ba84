// A value or an error, for internal fallible functions.
#pragma once

#include <cassert>
#include <type_traits>
#include <utility>
#include <variant>

#include "core/error.hpp"

namespace vesk {

template <class E>
struct Unexpected {
    E error;
};

template <class E>
Unexpected<std::decay_t<E>> unexpected(E&& error) {
    return {std::forward<E>(error)};
}

template <class T, class E = Error>
class [[nodiscard]] Expected {
  public:
    Expected(T value)
        : state_(std::in_place_index<0>, std::move(value)) {
    }  // NOLINT(google-explicit-constructor)
    template <class G>
    Expected(Unexpected<G> u)  // NOLINT(google-explicit-constructor)
        : state_(std::in_place_index<1>, E(std::move(u.error))) {}

    [[nodiscard]] bool hasValue() const noexcept { return state_.index() == 0; }
    explicit operator bool() const noexcept { return hasValue(); }

    // Requires: hasValue().
    T& value() & { return assertValue(), std::get<0>(state_); }
    const T& value() const& { return assertValue(), std::get<0>(state_); }
    T&& value() && { return assertValue(), std::get<0>(std::move(state_)); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }

    // Requires: !hasValue().
    E& error() & { return assertError(), std::get<1>(state_); }
    const E& error() const& { return assertError(), std::get<1>(state_); }
    E&& error() && { return assertError(), std::get<1>(std::move(state_)); }

  private:
    void assertValue() const { assert(hasValue()); }
    void assertError() const { assert(!hasValue()); }

    std::variant<T, E> state_;
};

}  // namespace vesk
