// The conversation use cases that talk to the service: marking read, loading
// conversations and messages, sending a message. Each takes the current
// network settings when it is subscribed; without settings it yields nothing.
// Each request answers with its outcome exactly once; what the screens show
// of a failure is theirs to decide.
// Threading: main executor; replies arrive there.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/expected.hpp"
#include "core/response.hpp"
#include "core/rx/rx.hpp"
#include "services/models/message.hpp"
#include "usecases/conversation_context.hpp"

namespace vesk {

// A page of a conversation's messages, or why it could not be loaded: `api`
// when the service refused, `transport` when there was no connection, or the
// reply's own failure.
using MessagesPage = Expected<Response<std::vector<Message>>>;

// What became of one message sent: the service has it (with the id of the
// conversation it started, when it started one), or why it failed.
struct SendOutcome {
    std::int64_t randomId = 0;
    Expected<std::optional<std::string>> result;
};

// Marks each present conversation id read on the server; one empty event per
// reply, failures included.
rx::Observable<rx::Unit> readDialog(ConversationContext& ctx,
                                    const rx::Observable<std::optional<std::string>>& ids);
inline auto readDialogUseCase(ConversationContext& ctx) {
    return [&ctx](const rx::Observable<std::optional<std::string>>& ids) {
        return readDialog(ctx, ids);
    };
}

// Each trigger loads the next page of conversations into the list (triggers
// during a load, and after the last page, are ignored) and yields whether more
// pages exist, or why the page failed. `DialogRepository::loading` is true
// while a page loads.
rx::Observable<Expected<bool>> loadDialogs(ConversationContext& ctx,
                                           const rx::Observable<rx::Unit>& triggers);
inline auto loadDialogsUseCase(ConversationContext& ctx) {
    return [&ctx](const auto& triggers) {
        return loadDialogs(ctx, triggers | rx::map([](const auto&) { return rx::Unit{}; }));
    };
}

// For each conversation id, the page of messages before the current paging
// position (ids arriving during a load are ignored).
rx::Observable<MessagesPage> loadMessages(ConversationContext& ctx,
                                          const rx::Observable<std::string>& ids);
inline auto loadMessagesUseCase(ConversationContext& ctx) {
    return [&ctx](const rx::Observable<std::string>& ids) { return loadMessages(ctx, ids); };
}

// What the real-time channel may have missed while it was away: the open
// conversation's newest messages, then the first page of conversations. Each
// message not held yet goes to `missed`, oldest first (as if it had just
// arrived); a listed conversation whose last message changed takes the
// service's copy. Completes when both pages answered; failures are dropped
// (the next reconnect tries again).
rx::Observable<rx::Unit> catchUp(ConversationContext& ctx,
                                 std::function<void(const Message&)> missed);

// Sends each user message (one at a time; messages arriving meanwhile are
// ignored) as a reply to its conversation, or starts a conversation with it
// when it has none ("0"), and yields its outcome. A started conversation
// becomes the one shown.
rx::Observable<SendOutcome> sendMessage(ConversationContext& ctx,
                                        const rx::Observable<Message>& messages);
inline auto sendMessageUseCase(ConversationContext& ctx) {
    return [&ctx](const rx::Observable<Message>& messages) { return sendMessage(ctx, messages); };
}

}  // namespace vesk
