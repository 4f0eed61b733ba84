// User properties: what the host tells the service about its user. Each is a key,
// a value and the operation by which the service combines the value with what it
// already holds. Plain values; no shared state.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vesk {

class UserProperty {
  public:
    // `delete_` and `union_` carry a trailing underscore: the plain words are C++ keywords.
    enum class Operations { updateOrCreate, setOnce, add, delete_, append, union_, exclude };

    UserProperty(std::string key, std::string value, Operations operation)
        : operation_(operation), key_(std::move(key)), value_(std::move(value)) {}

    [[nodiscard]] Operations operation() const noexcept { return operation_; }
    [[nodiscard]] const std::string& key() const noexcept { return key_; }
    [[nodiscard]] const std::string& value() const noexcept { return value_; }

    // "update_or_create", "set_once", "add", "delete", "append", "union", "exclude".
    static std::string_view rawValue(Operations operation) noexcept;
    // The operation with that raw value; absent for any other text.
    static std::optional<Operations> operation(std::string_view rawValue) noexcept;

    friend bool operator==(const UserProperty&, const UserProperty&) = default;

  private:
    Operations operation_;
    std::string key_;
    std::string value_;
};

// A property whose key is one of the service's e-commerce keys ("$cart_amount", ...).
class EcommerceUserProperty : public UserProperty {
  public:
    enum class Property {
        cartAmount,
        viewedProducts,
        cartItems,
        lastOrderStatus,
        lastPayment,
        revenue,
        profit,
        group,
        discount,
        ordersCount,
        orderedItems,
        orderedCategories,
        viewedCategories,
    };

    EcommerceUserProperty(Property key, std::string value, Operations operation)
        : UserProperty(std::string(rawValue(key)), std::move(value), operation) {}

    using UserProperty::rawValue;
    static std::string_view rawValue(Property property) noexcept;
};

}  // namespace vesk
