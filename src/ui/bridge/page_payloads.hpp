// The JSON the library hands to its pages: the messenger settings a page starts
// from, a conversation's changes for the list page, a message's new status.
//
// Threading: pure functions; call from any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "services/models/dialog.hpp"
#include "services/models/user.hpp"

namespace vesk {

// The compact JSON text of the messenger's connect data.
[[nodiscard]] std::string settingsText(const Messenger& messenger);

// The settings text in the user's language: `providerName`, when given, is set as
// "provider_name" on the connect data (when that is an object), and every "locale"
// member holding a string then holds "ru" when `languageCode` is "ru", "en" otherwise.
// Always a JSON text; without a "locale" member, only the provider name differs from
// settingsText.
[[nodiscard]] std::string localizedSettingsText(const Messenger& messenger,
                                                const std::optional<std::string>& providerName,
                                                const std::optional<std::string>& languageCode);

// The list page's update of one conversation, as an array of one-member objects:
// "parts_count", "unread_parts_count", "last_update", "part_last" (the last message's
// "body", "body_json", "type") and "last_admin" (the operator's "avatar", "" when
// unknown, and "name", "Unknown admin name" when unknown).
[[nodiscard]] JsonValue conversationUpdateJson(const Dialog& dialog);

// A message's new status for the conversation page: [{"status": status}].
[[nodiscard]] JsonValue messageStatusJson(std::string_view status);

}  // namespace vesk
