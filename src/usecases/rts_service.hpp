// Dispatch of real-time frames: operator replies to the conversation
// repositories, typing notices to the current state, popups and chat popups
// to the popup and dialog repositories. It never answers the server.
//
// The socket posts each text frame to the main executor, in arrival order,
// and `onMessage` runs there: the frame is parsed once, and the repositories
// are only ever touched on the main executor. Anything that does not parse or
// has the wrong shape is dropped without a word; nothing throws.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

#include "core/rx/rx.hpp"
#include "services/models/dialog.hpp"
#include "services/models/message.hpp"
#include "services/realtime/rts_envelope.hpp"
#include "usecases/conversation_context.hpp"

namespace vesk {

class RtsService final : public RtsServiceProtocol {
  public:
    // Marks a popup conversation read on the server; the result is held in the
    // service's dispose bag. The default uses `readDialogUseCase`.
    using ReadDialog = std::function<rx::Observable<rx::Unit>(const std::optional<std::string>&)>;

    // The process's instance: the one of the library's composition root.
    static RtsService& shared();

    // `isChatOpen`: whether the chat window is open now (a popup that arrives
    // while it is closed counts as read).
    RtsService(ConversationContext& ctx, std::function<bool()> isChatOpen,
               ReadDialog readDialog = nullptr);
    // Its pipelines refer to it: it stays where it was made.
    RtsService(const RtsService&) = delete;
    RtsService& operator=(const RtsService&) = delete;

    void onMessage(const std::string& text) override;
    // Fetches what the channel may have missed; each missing message is
    // handled as a reply that just arrived.
    void onReconnected() override;

    rx::DisposeBag disposeBag;
    // Every operator reply, after it was merged into its conversation: what
    // the notification service subscribes to for its local notifications.
    rx::PublishSubject<Message> newMessage;
    // Every chat-popup dialog, after it was merged into the dialog list.
    rx::PublishSubject<Dialog> newDialog;
    // Each time the channel is back after it was away (its catch-up started).
    rx::PublishSubject<rx::Unit> reconnected;

  private:
    void dispatch(const RtsMessage& frame);
    void onTyping(const JsonObject& payload);
    void onConversation(const JsonValue& payload, const JsonObject& object);
    void onReply(const Message& message);
    // The channel's replay of a message a catch-up announced first: its content is
    // taken, but it is not new.
    bool isRepeat(const Message& message);

    ConversationContext& ctx_;
    // What catch-ups announced and the channel may still replay after its reconnect.
    std::unordered_set<std::string> caughtUp_;
    std::function<bool()> isChatOpen_;
    ReadDialog readDialog_;
};

// A source: every dialog that arrived as a chat popup.
inline rx::Observable<Dialog> newDialogUseCase(RtsService& rts) {
    return rts.newDialog.asObservable();
}

}  // namespace vesk
