// How the service knows this library on the wire. The service matches on
// these exact values (they name the mobile library it first served), so they
// stay as they are whatever platform the library runs on.
#pragma once

#include <string_view>

namespace vesk::wire {

// `sent_via` of the messages the user writes.
inline constexpr std::string_view kSentVia = "sdk_ios";
// `token_type` of a push subscription.
inline constexpr std::string_view kPushTokenType = "usersdkios";
// connect's `browser` is this and the library version; its `os` is kOsPrefix
// and the system version.
inline constexpr std::string_view kBrowserPrefix = "iOS sdk ";
inline constexpr std::string_view kOsPrefix = "iOS ";

}  // namespace vesk::wire
