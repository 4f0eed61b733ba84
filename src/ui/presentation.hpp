// How the screens show what the use cases answer: the overlay a failed load
// leaves, the status a sent message takes, and the loading state of a
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

namespace vesk {

// The service refused: the server-error panel; anything else (no connection,
// no reply, a reply that does not decode): the connection-error panel.
NavigationViewState failureState(const Error& error);

// "warning" when the send failed, "" when it started a conversation; absent
// when nothing changes yet (the message's echo will replace it).
std::optional<std::string> sentStatus(const SendOutcome& outcome);

// Shows the content-loading overlay, then makes the conversation (or none)
// current (openDialog). Yields once.
rx::Observable<rx::Unit> openConversation(ScreenState& screen, ConversationContext& ctx,
                                          const std::optional<std::string>& id);

}  // namespace vesk
