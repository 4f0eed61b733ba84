// The session's user and the messenger settings of the host's application, both
// decoded from the same connect reply body ({"meta":..., "data":{...}}).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/json/decoding.hpp"

namespace vesk {

struct User {
    std::string id;
    std::optional<std::string> token;
    bool isBanned = false;
    bool hasConversations = false;
    std::vector<std::string> conversationsUnread;

    friend bool operator==(const User&, const User&) = default;
};

// An immutable JSON tree shared by its copies; equal when the trees are. A
// messenger passes through several relays on every connect, and copying the
// whole reply tree each time showed in profiles.
class SharedJson {
  public:
    SharedJson() = default;
    explicit SharedJson(JsonValue value)
        : value_(std::make_shared<const JsonValue>(std::move(value))) {}

    [[nodiscard]] const JsonValue& operator*() const { return value_ ? *value_ : empty(); }
    [[nodiscard]] const JsonValue* operator->() const { return &**this; }

    friend bool operator==(const SharedJson& a, const SharedJson& b) {
        return a.value_ == b.value_ || *a == *b;
    }

  private:
    static const JsonValue& empty() {
        static const JsonValue none;
        return none;
    }

    std::shared_ptr<const JsonValue> value_;
};

struct Messenger {
    std::string appId;
    std::string name;
    std::string color;
    std::string avatar;
    std::string welcomeMessage;
    bool isPoweredByVisible = false;
    bool isVkVisible = false;
    bool isViberVisible = false;
    bool isFacebookVisible = false;
    bool isTelegramVisible = false;
    std::optional<std::string> vkText;
    std::optional<std::string> viberText;
    std::optional<std::string> facebookText;
    std::optional<std::string> telegramText;
    SharedJson connectData;  // the whole of "data"

    friend bool operator==(const Messenger&, const Messenger&) = default;
};

// The reply of an authentication as a model; no flow reads it.
struct Auth {
    std::optional<User> user;
    std::string result;
};

namespace json {

// Each decodes from the whole reply body.
template <>
struct Codec<User> {
    static Decoded<User> decode(const JsonValue& body);
    static std::string typeName() { return "User"; }
};

template <>
struct Codec<Messenger> {
    static Decoded<Messenger> decode(const JsonValue& body);
    // Takes the reply's "data" tree instead of copying it.
    static Decoded<Messenger> decode(JsonValue&& body);
    static std::string typeName() { return "Messenger"; }
};

template <>
struct Codec<Auth> {
    static Decoded<Auth> decode(const JsonValue& body);
    static std::string typeName() { return "Auth"; }
};

}  // namespace json
}  // namespace vesk
