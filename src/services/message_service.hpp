// Conversation parts: pages of a conversation, and changing one part.
// Threading: main executor; replies arrive there.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "services/models/message.hpp"
#include "services/network/targets/conversation_target.hpp"
#include "services/network/vesk_service.hpp"

namespace vesk {

class MessageService : public VeskService<MessageTarget> {
  public:
    using VeskService<MessageTarget>::VeskService;

    // Without a position the newest page; with one, the page before it.
    // `meta.nextBeforePosition` continues towards older parts.
    [[nodiscard]] rx::Observable<Result<Response<std::vector<Message>>>> getMessages(
        const std::string& dialogId, const std::optional<std::string>& position) const;
    // `meta` is JSON text merged into the part's metadata.
    [[nodiscard]] rx::Observable<Result<Response<JsonValue>>> updateMessage(
        const std::string& messageId, const std::string& meta) const;
    // Single values: the reply's data, or a failed stream carrying an ApiError.
    [[nodiscard]] rx::Observable<JsonValue> deleteMessage(const std::string& messageId) const;
    [[nodiscard]] rx::Observable<JsonValue> editMessage(const std::string& messageId,
                                                        const std::string& body) const;
};

}  // namespace vesk
