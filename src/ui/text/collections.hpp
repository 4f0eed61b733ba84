// Small container helpers.
#pragma once

#include <concepts>
#include <cstddef>
#include <iterator>
#include <optional>
#include <unordered_set>
#include <vector>

namespace vesk {

// The element at `index` when it lies within the container, else nothing.
template <class Container, std::integral Index>
[[nodiscard]] auto safeAt(const Container& container, Index index)
    -> std::optional<typename Container::value_type> {
    if constexpr (std::is_signed_v<Index>) {
        if (index < 0) {
            return std::nullopt;
        }
    }
    auto size = static_cast<std::size_t>(std::size(container));
    auto at = static_cast<std::size_t>(index);
    if (at >= size) {
        return std::nullopt;
    }
    return *std::next(std::begin(container), static_cast<std::ptrdiff_t>(at));
}

// The elements that are in exactly one of the two vectors, each once, in no defined order.
template <class T>
[[nodiscard]] std::vector<T> difference(const std::vector<T>& elements,
                                        const std::vector<T>& from) {
    std::unordered_set<T> left(elements.begin(), elements.end());
    std::unordered_set<T> right(from.begin(), from.end());
    std::vector<T> result;
    for (const auto& e : left) {
        if (!right.contains(e)) {
            result.push_back(e);
        }
    }
    for (const auto& e : right) {
        if (!left.contains(e)) {
            result.push_back(e);
        }
    }
    return result;
}

}  // namespace vesk
