// How the screens show what the use cases answer: the overlay a failed load
// leaves, the status a sent or kept message takes, and the loading state of a
// conversation being opened.
// Threading: main executor.
#pragma once

#include <optional>
#include <string>

#include "core/error.hpp"
#include "core/rx/rx.hpp"
#include "ui/navigation_view_state.hpp"
#include "ui/screen_state.hpp"
#include "usecases/conversation_context.hpp"
#include "usecases/conversation_requests.hpp"
#include "usecases/outbox.hpp"

namespace vesk {

// The service refused: the server-error panel; anything else (no connection,
// no reply, a reply that does not decode): the connection-error panel.
NavigationViewState failureState(const Error& error);

// "warning" when the send failed, "" when it started a conversation; absent
// when nothing changes yet (the message's echo will replace it).
std::optional<std::string> sentStatus(const SendOutcome& outcome);

// What the conversation page shows of a change of the outbox: "loading"
// while the message is on its way, "warning" once it failed, "" when it
// started a conversation; absent for a reply the service took (its echo
// replaces it).
std::optional<std::string> outboxStatus(const Outbox::Change& change);

// Publishes each change of the outbox as a message status (updateMessageStatus)
// until disposed.
rx::Disposable showOutboxChanges(Outbox& outbox, ScreenState& screen);

// Shows the content-loading overlay, then makes the conversation (or none)
// current (openDialog). Yields once.
rx::Observable<rx::Unit> openConversation(ScreenState& screen, ConversationContext& ctx,
                                          const std::optional<std::string>& id);

}  // namespace vesk
