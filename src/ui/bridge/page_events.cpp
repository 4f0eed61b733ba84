#include "ui/bridge/page_events.hpp"

#include <cmath>

#include "ui/bridge/script_text.hpp"
#include "ui/text/numbers.hpp"

namespace vesk {
namespace {

std::optional<double> height(const PageMessage& message) {
    const auto text = message.argument("height");
    const auto value = text::parseDouble(text);
    if (!value || !std::isfinite(*value) || *value < 0) {
        return std::nullopt;
    }
    return *value;
}

std::optional<page::TrackEvent> trackEvent(const PageMessage& message) {
    auto name = message.argument("eventName");
    if (!name) {
        return std::nullopt;
    }
    return page::TrackEvent{std::move(*name)};
}

}  // namespace

std::optional<ConversationPageEvent> conversationPageEvent(const PageMessage& message) {
    const std::string_view name = message.name;
    const auto arg = [&message](std::string_view key) { return message.argument(key); };
    if (name == "onScrollTop") {
        return page::ScrollTop{};
    }
    if (name == "openLink") {
        return page::OpenLink{arg("url")};
    }
    if (name == "sendContactDetails") {
        return page::SendContactDetails{arg("messageId"), arg("type"), arg("value")};
    }
    if (name == "identify") {
        return page::Identify{message.arguments};
    }
    if (name == "trackEvent") {
        if (auto event = trackEvent(message)) {
            return *std::move(event);
        }
        return std::nullopt;
    }
    if (name == "sendEvaluation" || name == "sendVoteComment") {
        return page::SendVote{arg("messageId"), arg("value"), arg("comment")};
    }
    if (name == "clickErrorMessage") {
        return page::ClickErrorMessage{arg("messageId")};
    }
    if (name == "clickImage") {
        return page::ClickImage{arg("imageUrl")};
    }
    if (name == "downloadAttachMessage") {
        return page::DownloadAttach{arg("messageId")};
    }
    if (name == "openAttachMessage") {
        return page::OpenAttach{arg("messageId")};
    }
    if (name == "cancelDownloadAttachMessage") {
        return page::CancelDownloadAttach{arg("messageId")};
    }
    if (name == "clickOnChooseDateCalendly") {
        auto joinUrl = arg("joinUrl");
        auto signature = arg("signature");
        if (!joinUrl || !signature) {
            return std::nullopt;
        }
        return page::ChooseDateCalendly{std::move(*joinUrl), std::move(*signature)};
    }
    if (name == "clickOnJoinMeetingZoom") {
        auto joinUrl = arg("joinUrl");
        if (!joinUrl) {
            return std::nullopt;
        }
        return page::JoinMeetingZoom{std::move(*joinUrl)};
    }
    return std::nullopt;
}

std::optional<ListPageEvent> listPageEvent(const PageMessage& message) {
    if (message.name == "selectDialogue") {
        return page::SelectDialogue{message.argument("conversationId")};
    }
    return std::nullopt;
}

std::optional<PopupPageEvent> popupPageEvent(const PageMessage& message) {
    const std::string_view name = message.name;
    if (name == "popUpIsReady") {
        return page::PopUpIsReady{height(message)};
    }
    if (name == "identify") {
        return page::Identify{message.arguments};
    }
    if (name == "trackEvent") {
        if (auto event = trackEvent(message)) {
            return *std::move(event);
        }
        return std::nullopt;
    }
    if (name == "closePopUp") {
        return page::ClosePopUp{};
    }
    if (name == "openLink") {
        return page::OpenLink{message.argument("url")};
    }
    return std::nullopt;
}

bool acknowledgesBeforeEffect(std::string_view name) {
    return name == "clickOnChooseDateCalendly" || name == "clickOnJoinMeetingZoom";
}

std::string acknowledgement(std::string_view name) {
    return "window.webView.methodComplete({method : " + scriptStringLiteral(name) + "})";
}

}  // namespace vesk
