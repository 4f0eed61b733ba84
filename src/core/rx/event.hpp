// One thing a stream delivers: a value, the error that ends it, or its
// completion. Also `Unit`, the value of streams that only signal.
//
// Threading: plain values; no threading contract of their own.
#pragma once

#include <optional>
#include <utility>

#include "core/error.hpp"

namespace vesk::rx {

// The element of a stream that carries no data ("something happened").
struct Unit {
    friend bool operator==(Unit, Unit) = default;
};

template <class T>
class Event {
public:
    using Element = T;

    static Event next(T value) {
        Event e;
        e.element_.emplace(std::move(value));
        return e;
    }
    static Event error(Error err) {
        Event e;
        e.error_.emplace(std::move(err));
        return e;
    }
    static Event completed() { return Event(); }

    [[nodiscard]] bool isNext() const noexcept { return element_.has_value(); }
    [[nodiscard]] bool isError() const noexcept { return error_.has_value(); }
    [[nodiscard]] bool isCompleted() const noexcept { return !isNext() && !isError(); }
    // An error or a completion: nothing follows it.
    [[nodiscard]] bool isStopped() const noexcept { return !isNext(); }

    // The value of a next event, else null.
    [[nodiscard]] const T* element() const noexcept { return element_ ? &*element_ : nullptr; }
    // The error of an error event, else null.
    [[nodiscard]] const Error* failure() const noexcept { return error_ ? &*error_ : nullptr; }

    friend bool operator==(const Event&, const Event&) = default;

private:
    Event() = default;

    // Two optionals rather than a variant: GCC 12 reports false
    // maybe-uninitialized warnings when copying a variant<T, Error, ...>.
    std::optional<T> element_;
    std::optional<Error> error_;
};

}  // namespace vesk::rx
