// The scripts the library runs on a page: each one calls the page's
// `window.webView`. Every string put into a script goes in as a string literal
// and every JSON text through scriptSafeJson, so nothing a server or a page wrote
// can end a literal and run as code.
//
// Threading: pure functions; call from any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/message_entity.hpp"
#include "vesk/json_value.hpp"

namespace vesk::script {

// Settings arguments are texts from settingsText or localizedSettingsText.
// Requires: `settings` is a JSON text.

// Conversation lists are JSON arrays; any other value is sent as [].
[[nodiscard]] std::string initConversationList(std::string_view settings,
                                               const JsonValue& conversations);
[[nodiscard]] std::string addConversations(const JsonValue& conversations);
[[nodiscard]] std::string updateConversation(std::string_view id, const JsonValue& update);
[[nodiscard]] std::string removeConversation(std::string_view id);

// The conversation page starts with no messages; they follow with addMessages.
[[nodiscard]] std::string initDialogue(std::string_view settings);
[[nodiscard]] std::string addMessages(const std::vector<MessageEntity>& messages);
[[nodiscard]] std::string updateMessage(std::string_view id, const JsonValue& update);
[[nodiscard]] std::string updateMessageAttachment(std::string_view id, const JsonValue& update);
[[nodiscard]] std::string updateMessageInputStatus(std::string_view id, const JsonValue& update);
[[nodiscard]] std::string deleteMessage(std::string_view id);
[[nodiscard]] std::string showBackContentLoader();
[[nodiscard]] std::string hideBackContentLoader();

// Absent when `body` (the popup's body as the server sent it) is not JSON.
[[nodiscard]] std::optional<std::string> initPopup(std::string_view settings,
                                                   std::string_view body);

[[nodiscard]] std::string initCalendlyWidget(std::string_view url, std::string_view signature);

// Touching the page takes the focus from its field, so the keyboard closes.
[[nodiscard]] std::string blurOnTouch();
// Scrolls the page by one pixel, which makes it lay out after its frame changed.
[[nodiscard]] std::string nudgeScroll();

}  // namespace vesk::script
