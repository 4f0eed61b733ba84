#include "vesk/user_property.hpp"

#include <array>

namespace vesk {

namespace {

constexpr std::array<std::string_view, 7> kOperations{
    "update_or_create", "set_once", "add", "delete", "append", "union", "exclude"};

constexpr std::array<std::string_view, 13> kEcommerceKeys{
    "$cart_amount",      "$viewed_products", "$cart_items",    "$last_order_status",
    "$last_payment",     "$revenue",         "$profit",        "$group",
    "$discount",         "$orders_count",    "$ordered_items", "$ordered_categories",
    "$viewed_categories"};

}  // namespace

std::string_view UserProperty::rawValue(Operations operation) noexcept {
    return kOperations[static_cast<std::size_t>(operation)];
}

std::optional<UserProperty::Operations> UserProperty::operation(
    std::string_view rawValue) noexcept {
    for (std::size_t i = 0; i < kOperations.size(); ++i) {
        if (kOperations[i] == rawValue) {
            return static_cast<Operations>(i);
        }
    }
    return std::nullopt;
}

std::string_view EcommerceUserProperty::rawValue(Property property) noexcept {
    return kEcommerceKeys[static_cast<std::size_t>(property)];
}

}  // namespace vesk
