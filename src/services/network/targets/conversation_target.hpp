// Conversations and their parts.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "services/network/vesk_target.hpp"

namespace vesk {

struct ConversationTraget : TargetRequest {
    static ConversationTraget get(const std::string& after, bool paginateIncluding,
                                  const std::string& paginateDirection);
    static ConversationTraget getDialog(const std::string& dialogId);
    static ConversationTraget start(const std::string& message);
    static ConversationTraget reply(bool isFromUser, const std::string& dialogId,
                                    const std::string& body, const std::string& randomId,
                                    const std::string& type,
                                    const std::optional<std::string>& bodyJson);
    static ConversationTraget markRead(const std::string& dialogId);
    // Reads (and for ".jpeg", re-encodes) the file now: the upload's parts are
    // fixed when the target is built.
    static ConversationTraget replyFile(bool isFromUser, const std::string& dialogId,
                                        const std::filesystem::path& fileUrl,
                                        const std::string& randomId);
};

struct MessageTarget : TargetRequest {
    static MessageTarget getMessages(const std::string& dialogId,
                                     const std::optional<std::string>& position);
    static MessageTarget updateMessage(const std::string& messageId, const std::string& metadata);
    static MessageTarget deleteMessage(const std::string& messageId);
    static MessageTarget editMessage(const std::string& messageId, const std::string& body);
};

}  // namespace vesk
