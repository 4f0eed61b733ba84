// The page messages the library acts on, typed per page, and how each is
// acknowledged. A message no variant names is only acknowledged.
//
// Threading: plain values and pure functions; call from any thread.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "ui/bridge/page_message.hpp"

namespace vesk {
namespace page {

using Arguments = std::optional<std::map<std::string, std::string>>;

struct ScrollTop {};
struct OpenLink {
    std::optional<std::string> url;
};
struct SendContactDetails {
    std::optional<std::string> messageId;
    std::optional<std::string> type;
    std::optional<std::string> value;
};
// Every argument is the user's property.
struct Identify {
    Arguments properties;
};
struct TrackEvent {
    std::string name;
};
// A rating of the conversation, or the comment sent after it.
struct SendVote {
    std::optional<std::string> messageId;
    std::optional<std::string> vote;
    std::optional<std::string> comment;
};
struct ClickErrorMessage {
    std::optional<std::string> messageId;
};
struct ClickImage {
    std::optional<std::string> imageUrl;
};
struct DownloadAttach {
    std::optional<std::string> messageId;
};
struct OpenAttach {
    std::optional<std::string> messageId;
};
struct CancelDownloadAttach {
    std::optional<std::string> messageId;
};
struct ChooseDateCalendly {
    std::string joinUrl;
    std::string signature;
};
struct JoinMeetingZoom {
    std::string joinUrl;
};
struct SelectDialogue {
    std::optional<std::string> conversationId;
};
struct PopUpIsReady {
    std::optional<double> height;  // finite and >= 0 when present
};
struct ClosePopUp {};

}  // namespace page

using ConversationPageEvent =
    std::variant<page::ScrollTop, page::OpenLink, page::SendContactDetails, page::Identify,
                 page::TrackEvent, page::SendVote, page::ClickErrorMessage, page::ClickImage,
                 page::DownloadAttach, page::OpenAttach, page::CancelDownloadAttach,
                 page::ChooseDateCalendly, page::JoinMeetingZoom>;
using ListPageEvent = std::variant<page::SelectDialogue>;
using PopupPageEvent = std::variant<page::PopUpIsReady, page::Identify, page::TrackEvent,
                                    page::ClosePopUp, page::OpenLink>;

// What a message of each page asks for; absent for a name the page does not use and
// for a message missing an argument its effect cannot do without.
[[nodiscard]] std::optional<ConversationPageEvent> conversationPageEvent(
    const PageMessage& message);
[[nodiscard]] std::optional<ListPageEvent> listPageEvent(const PageMessage& message);
[[nodiscard]] std::optional<PopupPageEvent> popupPageEvent(const PageMessage& message);

// Whether the message named `name` is acknowledged before its effect runs (its effect
// leaves the page) rather than after.
[[nodiscard]] bool acknowledgesBeforeEffect(std::string_view name);

// The script that acknowledges the message named `name`; any name is inserted as a
// string literal.
[[nodiscard]] std::string acknowledgement(std::string_view name);

}  // namespace vesk
