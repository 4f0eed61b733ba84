// The conversation use cases that talk to the service: marking read, loading
// conversations and messages, sending a message. Each takes the current
// network settings when it is subscribed; without settings it yields nothing.
// Threading: main executor; replies arrive there.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/response.hpp"
#include "core/result.hpp"
#include "core/rx/rx.hpp"
#include "services/models/message.hpp"
#include "usecases/conversation_context.hpp"

namespace vesk {

using MessagesPage = Result<Response<std::vector<Message>>>;

// Marks each present conversation id read on the server; one empty event per
// reply, failures included.
rx::Observable<rx::Unit> readDialog(ConversationContext& ctx,
                                    const rx::Observable<std::optional<std::string>>& ids);
inline auto readDialogUseCase(ConversationContext& ctx = ConversationContext::shared()) {
    return [&ctx](const rx::Observable<std::optional<std::string>>& ids) {
        return readDialog(ctx, ids);
    };
}

// Each trigger loads the next page of conversations into the list (triggers
// during a load, and after the last page, are ignored) and yields whether more
// pages exist. `DialogRepository::loading` is true while a page loads.
rx::Observable<bool> loadDialogs(ConversationContext& ctx,
                                 const rx::Observable<rx::Unit>& triggers);
inline auto loadDialogsUseCase(ConversationContext& ctx = ConversationContext::shared()) {
    return [&ctx](const auto& triggers) {
        return loadDialogs(ctx, triggers | rx::map([](const auto&) { return rx::Unit{}; }));
    };
}

// For each conversation id, the page of messages before the current paging
// position (ids arriving during a load are ignored). A failure shows the
// connection error (no internet, or no reply at all) or the server error on
// the overlay and yields nothing.
rx::Observable<MessagesPage> loadMessages(ConversationContext& ctx,
                                          const rx::Observable<std::string>& ids);
inline auto loadMessagesUseCase(ConversationContext& ctx = ConversationContext::shared()) {
    return [&ctx](const rx::Observable<std::string>& ids) { return loadMessages(ctx, ids); };
}

// Sends each user message (one at a time; messages arriving meanwhile are
// ignored) as a reply to its conversation, or starts a conversation with it
// when it has none ("0"), and yields one empty event per reply. A failure
// marks the message (by randomId) "warning" on `updateMessageStatus`; a
// started conversation marks it "" and becomes the one shown.
rx::Observable<rx::Unit> sendMessage(ConversationContext& ctx,
                                     const rx::Observable<Message>& messages);
inline auto sendMessageUseCase(ConversationContext& ctx = ConversationContext::shared()) {
    return [&ctx](const rx::Observable<Message>& messages) { return sendMessage(ctx, messages); };
}

}  // namespace vesk
