// The one table of JSON keys shared by the conversation, knowledge-base and
// integration models: each key is its case name in lower snake case.
#pragma once

#include <optional>
#include <string_view>

namespace vesk {

enum class CodingKeys {
    id,
    created,
    replied,
    message,
    type,
    replyType,
    partLast,
    partsCount,
    lastAdmin,
    lastUpdate,
    unreadPartsCount,
    bodyJson,
    userUnreadCount,
    status,
    error,
    errorMessage,
    nextAfter,
    randomId,
    body,
    time,
    direction,
    read,
    sentVia,
    from,
    conversation,
    metaData,
    name,
    avatar,
    after,
    paginateIncluding,
    paginatePosition,
    paginateDirection,
    nextBeforePosition,
    channel,
    attachments,
    filename,
    mimeType,
    url,
    size,
    comment,
    vote,
    loading,
    authToken,
    result,
    user,
    icon,
    description,
    shortDescription,
    content,
    quote,
    articlesCounter,
    categoryId,
    expirationTime,
    djangoUserIntegrations,
    appActiveIntegrations,
    djangoUser,
    color,
    duration,
    createdAt,
    updatedAt,
    slug,
    active,
    location,
    settings,
    jsonSettings,
    userSignature,
    meeting,
    uuid,
    topic,
    joinUrl,
    startUrl,
    password,
    nextBranchId,
};

inline constexpr int kCodingKeyCount = 73;

// The JSON key of `key` ("reply_type", "paginate_include", ...).
std::string_view codingKeyName(CodingKeys key);
// The case whose JSON key is `raw`; absent for any other string.
std::optional<CodingKeys> codingKeyFromString(std::string_view raw);

}  // namespace vesk
