// A loading flag or a stream event, for screens that show a spinner while a
// stream works and then its outcome.
//
// Threading: a plain value.
#pragma once

#include <concepts>
#include <optional>
#include <utility>

#include "core/rx/event.hpp"

namespace vesk {

// Something that is either "loading (or not), no data yet" or a delivered event.
template <class L>
concept LoadingDataConvertible = requires(const L& l) {
    typename L::Element;
    { l.data() } -> std::convertible_to<const std::optional<rx::Event<typename L::Element>>&>;
    { l.loading() } -> std::convertible_to<bool>;
};

template <class T>
class LoadingResult {
  public:
    using Element = T;

    // No data; loading is `loading`.
    explicit LoadingResult(bool loading) : loading_(loading) {}
    // The event as data; not loading.
    explicit LoadingResult(rx::Event<T> event) : data_(std::move(event)) {}

    [[nodiscard]] const std::optional<rx::Event<T>>& data() const noexcept { return data_; }
    [[nodiscard]] bool loading() const noexcept { return loading_; }

    friend bool operator==(const LoadingResult&, const LoadingResult&) = default;

  private:
    std::optional<rx::Event<T>> data_;
    bool loading_ = false;
};

static_assert(LoadingDataConvertible<LoadingResult<int>>);

}  // namespace vesk
