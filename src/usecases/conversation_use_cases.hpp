// Stream operators over the conversation repositories: merging inbound
// messages and dialogs, the unread counter, opening a conversation, building
// messages. Each `...UseCase` is an operator (`upstream | fooUseCase(ctx)`)
// unless it says it is a source; the plain functions beside them do the work.
//
// The requests (read, load, send) are in conversation_requests.hpp.
// Threading: main executor.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "core/expected.hpp"
#include "core/response.hpp"
#include "core/result.hpp"
#include "core/rx/rx.hpp"
#include "services/models/dialog.hpp"
#include "services/models/message.hpp"
#include "services/models/person.hpp"
#include "services/models/user.hpp"
#include "usecases/conversation_context.hpp"

namespace vesk {

// ---- merging ---------------------------------------------------------------

// Merges an inbound message into the repository of its conversation ("0"
// without one): a listed message with the same id, or with the same non-zero
// randomId and type (the echo of what the user sent), is replaced, anything
// else is appended. A message that is not the user's own raises the dialog's
// unread count; the list is published once. Returns the message.
Message addMessage(ConversationContext& ctx, const Message& m);

// Merges dialogs into the list; each popup dialog with an expiration time is
// dropped from the list at that time unless it is the conversation shown.
//
// `expirationTime` is in seconds since 1970: the dialog expires when the
// scheduler's calendar clock reaches it (a time already past expires at once).
// Times more than ten years ahead are never reached by a running process and
// are not scheduled.
struct AddDialogs {
    std::vector<Dialog> dialogs;
    void execute(ConversationContext& ctx) const;
};

// How long from `now` until `expirationTime` (seconds since 1970); absent when
// it is not worth scheduling (see AddDialogs).
std::optional<Scheduler::Duration> expiryDelay(std::int64_t expirationTime, Clock::WallTime now);

inline auto addMessageUseCase(ConversationContext& ctx) {
    return rx::map([&ctx](const Message& m) { return addMessage(ctx, m); });
}

// Emits the message as a typing notice on the current-state repository.
inline auto addTypingIndicatorUseCase(ConversationContext& ctx) {
    return rx::doOnNext([&ctx](const Message& m) { ctx.currentState.typingIndicator.onNext(m); });
}

// ---- building messages -----------------------------------------------------

// id "0", type "reply_user", direction "u2a", read, sent via wire::kSentVia,
// reply type "text", conversation "0", everything else empty.
Message createEmptyMessage();

inline auto createEmptyMessageUseCase() {
    return [](const auto& source) {
        return source | rx::map([](const auto&) { return createEmptyMessage(); });
    };
}

// id = the text of t, randomId = t, created now, "u2a" for "reply_user" and
// "a2u" otherwise, read, wire::kSentVia, "text", conversation `conversation` or "0".
Message createMessage(const ConversationContext& ctx, const std::string& body,
                      const JsonValue& from, const std::optional<std::string>& conversation,
                      std::int64_t t, const std::string& type);
// A "reply_user" message from the user (their id as a JSON string) with the
// current second as its time value, or the next second no user message of
// this process has had (ids must stay unique).
Message createUserMessage(const ConversationContext& ctx, const std::string& body, const User& user,
                          const std::optional<std::string>& conversation);

using MessageDraft =
    std::tuple<std::string, JsonValue, std::optional<std::string>, std::int64_t, std::string>;
inline auto createMessageUseCase(ConversationContext& ctx) {
    return rx::map([&ctx](const MessageDraft& d) {
        return createMessage(ctx, std::get<0>(d), std::get<1>(d), std::get<2>(d), std::get<3>(d),
                             std::get<4>(d));
    });
}

using UserMessageDraft = std::tuple<std::string, User, std::optional<std::string>>;
inline auto createUserMessageUseCase(ConversationContext& ctx) {
    return rx::map([&ctx](const UserMessageDraft& d) {
        return createUserMessage(ctx, std::get<0>(d), std::get<1>(d), std::get<2>(d));
    });
}

// ---- current state ----------------------------------------------------------

inline auto saveCurrentAdminUseCase(ConversationContext& ctx) {
    return rx::doOnNext([&ctx](const std::pair<Admin, std::optional<std::string>>& value) {
        ctx.currentState.admin.onNext(value.first);
    });
}

// A source: the conversation shown now, then every change.
inline rx::Observable<std::optional<std::string>> getCurrentDialogIdUseCase(
    ConversationContext& ctx) {
    return ctx.currentState.dialogId.asObservable();
}

// Stores a present id under "dialogId" and makes it the conversation shown.
void setCurrentDialogId(ConversationContext& ctx, const std::string& dialogId);

// Skips absent ids; yields the id.
inline auto setCurrentDialogIdUseCase(ConversationContext& ctx) {
    return [&ctx](const rx::Observable<std::optional<std::string>>& source) {
        return source | rx::compact() |
               rx::doOnNext([&ctx](const std::string& id) { setCurrentDialogId(ctx, id); });
    };
}

inline auto getPaginatePositionUseCase(ConversationContext& ctx) {
    return [&ctx](const auto& source) {
        return source | rx::map([&ctx](const auto&) { return ctx.currentState.paginatePosition; });
    };
}

// On a loaded page, the page's `nextBeforePosition` becomes the paging
// position (absent when the page has none); a failure leaves it.
inline auto setPaginatePositionUseCase(ConversationContext& ctx) {
    return rx::doOnNext([&ctx](const Expected<Response<std::vector<Message>>>& page) {
        if (page) {
            ctx.currentState.paginatePosition = page->meta.nextBeforePosition;
        }
    });
}

inline auto clearPaginatePositionUseCase(ConversationContext& ctx) {
    return [&ctx](const auto& source) {
        return source |
               rx::doOnNext([&ctx](const auto&) { ctx.currentState.paginatePosition.reset(); });
    };
}

// ---- reading the repositories ----------------------------------------------

// The listed dialog with this id; absent for an absent or unlisted id.
std::optional<Dialog> getDialog(const ConversationContext& ctx,
                                const std::optional<std::string>& id);

inline auto getDialogUseCase(ConversationContext& ctx) {
    return rx::map([&ctx](const std::optional<std::string>& id) { return getDialog(ctx, id); });
}

// A source: the conversation list now, then every change.
inline rx::Observable<std::vector<Dialog>> getDialogsUseCase(ConversationContext& ctx) {
    return ctx.dialogs.dialogs.asObservable();
}

// For each conversation id: that conversation's messages now and on every
// change, until the next id.
inline auto getMessagesUseCase(ConversationContext& ctx) {
    return rx::flatMapLatest([&ctx](const std::string& dialogId) {
        return ctx.messages.repository(dialogId).messages();
    });
}

// For each (conversation id, message id): that message as listed now.
inline auto getMessageUseCase(ConversationContext& ctx) {
    return rx::map(
        [&ctx](const std::pair<std::string, std::string>& key) -> std::optional<Message> {
            const auto* repo = ctx.messages.existing(key.first);
            const Message* found = repo ? repo->find(key.second) : nullptr;
            return found ? std::optional<Message>(*found) : std::nullopt;
        });
}

// Adds a page of messages (those not listed yet) to their conversation; passes it on.
inline auto saveMessagesUseCase(ConversationContext& ctx) {
    return rx::doOnNext([&ctx](const std::pair<std::string, std::vector<Message>>& page) {
        ctx.messages.repository(page.first).add(page.second);
    });
}

// Adds a page of the service's messages to a conversation: a listed local
// copy of one of them (same randomId and type, an id of its own) gives way to
// it, as to its echo; the others not listed yet are appended.
void addPage(ConversationContext& ctx, const std::string& conversation,
             const std::vector<Message>& page);

// Replaces the listed dialog in place, or appends it; passes it on.
inline auto saveDialogUseCase(ConversationContext& ctx) {
    return rx::doOnNext([&ctx](const Dialog& dialog) { ctx.dialogs.save(dialog); });
}

// Marks a conversation read here (its dialog's counts drop to 0) and yields its
// messages that were still unread, for the caller to report.
std::vector<Message> setMessageRead(ConversationContext& ctx,
                                    const std::optional<std::string>& dialogId);

inline auto setMessageReadUseCase(ConversationContext& ctx) {
    return rx::map(
        [&ctx](const std::optional<std::string>& id) { return setMessageRead(ctx, id); });
}

// Empties the messages of a present conversation id and forgets the paging
// position; passes the id on.
void clearMessages(ConversationContext& ctx, const std::optional<std::string>& dialogId);

inline auto clearMessagesUseCase(ConversationContext& ctx) {
    return rx::doOnNext([&ctx](const std::optional<std::string>& id) { clearMessages(ctx, id); });
}

// ---- unread counter ---------------------------------------------------------

// The number of dialogs with an unread count above 0.
int unreadDialogsCount(const std::vector<Dialog>& dialogs);
// The newest (by lastUpdate, ties in list order) unread dialog whose last part
// the user has not closed.
std::optional<Dialog> bubbleCandidate(const std::vector<Dialog>& dialogs,
                                      const std::vector<std::string>& closedMessages);

inline auto getUreadDialogsCountUseCase() {
    return rx::map([](const std::vector<Dialog>& dialogs) { return unreadDialogsCount(dialogs); });
}

// A source: the bubble candidate of each (conversation list, closed messages)
// combination; absent closed lists are skipped.
rx::Observable<std::optional<Dialog>> getBubbleLastUnread(ConversationContext& ctx);

// ---- welcome and opening -----------------------------------------------------

// Sources over the messenger settings.
rx::Observable<std::optional<std::string>> getWelcomeMessageBodyUseCase(ConversationContext& ctx);
// An absolute URL as is, anything else under the files host's "/avatars/".
rx::Observable<std::optional<std::string>> getWelcomeAvatarUseCase(ConversationContext& ctx);
// "error name" while no settings are held.
rx::Observable<std::string> getWelcomeNameUseCase(ConversationContext& ctx);
// A "reply_admin" message (id "welcome", conversation absent, created now,
// body the welcome text or "") from the welcome operator.
rx::Observable<Message> getWelcomeMessageUseCase(ConversationContext& ctx);
rx::Observable<Admin> getWelcomeAdminUseCase(ConversationContext& ctx);

// For each id: the listed dialog's lastAdmin (nothing when the dialog is not
// listed); for an absent id, the welcome operator.
inline auto getTitleAdminUseCase(ConversationContext& ctx) {
    return rx::flatMapLatest([&ctx](const std::optional<std::string>& id) -> rx::Observable<Admin> {
        if (!id) {
            return getWelcomeAdminUseCase(ctx) | rx::take(1);
        }
        auto dialog = getDialog(ctx, id);
        return dialog ? rx::just(dialog->lastAdmin) : rx::empty<Admin>();
    });
}

// Makes a conversation (or none) current: messages and paging cleared, the id
// stored and published, its operator saved. Yields once. The screens show
// their loading state themselves.
rx::Observable<rx::Unit> openDialog(ConversationContext& ctx, const std::optional<std::string>& id);

inline auto openDialogUseCase(ConversationContext& ctx) {
    return rx::flatMap(
        [&ctx](const std::optional<std::string>& id) { return openDialog(ctx, id); });
}

// The newest "popup_chat" dialog by lastUpdate, or none.
std::optional<std::string> dialogToOpen(const std::vector<Dialog>& dialogs);

// On each trigger opens the newest chat-popup conversation, or none.
inline auto openDialogsUseCase(ConversationContext& ctx) {
    return [&ctx](const auto& source) {
        return source | rx::flatMap([&ctx](const auto&) {
                   return openDialog(ctx, dialogToOpen(ctx.dialogs.dialogs.value()));
               });
    };
}

}  // namespace vesk
