#include "services/models/coding_keys.hpp"

#include <algorithm>
#include <array>

namespace vesk {

namespace {

constexpr std::array<std::string_view, kCodingKeyCount> kNames{
    "id",
    "created",
    "replied",
    "message",
    "type",
    "reply_type",
    "part_last",
    "parts_count",
    "last_admin",
    "last_update",
    "unread_parts_count",
    "body_json",
    "user_unread_count",
    "status",
    "error",
    "error_message",
    "next_after",
    "random_id",
    "body",
    "time",
    "direction",
    "read",
    "sent_via",
    "from",
    "conversation",
    "meta_data",
    "name",
    "avatar",
    "after",
    "paginate_include",
    "paginate_position",
    "paginate_direction",
    "next_before_position",
    "channel",
    "attachments",
    "filename",
    "mime_type",
    "url",
    "size",
    "comment",
    "vote",
    "loading",
    "auth_token",
    "result",
    "user",
    "icon",
    "description",
    "short_description",
    "content",
    "quote",
    "articles_counter",
    "category_id",
    "expiration_time",
    "django_user_integrations",
    "app_active_integrations",
    "django_user",
    "color",
    "duration",
    "created_at",
    "updated_at",
    "slug",
    "active",
    "location",
    "settings",
    "json_settings",
    "user_signature",
    "meeting",
    "uuid",
    "topic",
    "join_url",
    "start_url",
    "password",
    "next_branch_id",
};

}  // namespace

std::string_view codingKeyName(CodingKeys key) {
    return kNames.at(static_cast<std::size_t>(key));
}

std::optional<CodingKeys> codingKeyFromString(std::string_view raw) {
    const auto* it = std::find(kNames.begin(), kNames.end(), raw);
    if (it == kNames.end()) {
        return std::nullopt;
    }
    return static_cast<CodingKeys>(it - kNames.begin());
}

}  // namespace vesk
