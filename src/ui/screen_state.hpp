// What the chat's screens share beyond the conversation state: the overlay of
// the chat window, whether the chat is open, and the status changes of sent
// messages the conversation screen shows. Screens never talk to each other;
// they read and write this and the conversation state.
// Threading: main executor.
#pragma once

#include <string>
#include <utility>

#include "core/rx/rx.hpp"
#include "ui/download_service.hpp"
#include "ui/navigation_view_state.hpp"

namespace vesk {

// A change of the download of a message's attachment.
struct AttachmentDownload {
    std::string messageId;
    std::string url;
    DownloadState state;
};

struct ScreenState {
    rx::PublishSubject<NavigationViewState> state;
    rx::BehaviorSubject<bool> isOpen{false};
    // (randomId as decimal text, status): "warning" for a failed send, "" once
    // the service has the message.
    rx::PublishSubject<std::pair<std::string, std::string>> updateMessageStatus;
    // Every state of the attachment downloads the conversation screen follows.
    rx::PublishSubject<AttachmentDownload> downloads;
};

}  // namespace vesk
