// Any navigation a page makes is either no message or a message every page's
// catalogue reads, and its acknowledgement keeps the name inside one string
// literal that reads back as the name.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "ui/bridge/page_events.hpp"
#include "ui/bridge/page_message.hpp"
#include "ui/bridge/page_url.hpp"
#include "ui/text/utf8.hpp"
#include "vesk/json_value.hpp"

namespace {

bool isUtf8(std::string_view text) {
    for (std::size_t pos = 0; pos < text.size();) {
        const auto scalar = vesk::text::decodeUtf8(text, pos);
        if (!scalar.valid) {
            return false;
        }
        pos += scalar.length;
    }
    return true;
}

void checkAcknowledgement(const std::string& name) {
    constexpr std::string_view head = "window.webView.methodComplete({method : ";
    constexpr std::string_view tail = "})";
    const std::string script = vesk::acknowledgement(name);
    if (!script.starts_with(head) || !script.ends_with(tail)) {
        __builtin_trap();
    }
    const std::string_view literal =
        std::string_view(script).substr(head.size(), script.size() - head.size() - tail.size());
    const auto value = vesk::JsonValue::parse(literal);
    if (!value || !value->isString() || literal.find('<') != std::string_view::npos) {
        __builtin_trap();
    }
    if (isUtf8(name) && *value->string() != name) {
        __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view url(reinterpret_cast<const char*>(data), size);
    const auto message = vesk::parsePageMessage(url);
    if (!message) {
        return 0;
    }
    if (!vesk::isPageMessageUrl(url) || message->name.empty()) {
        __builtin_trap();
    }
    (void)vesk::conversationPageEvent(*message);
    (void)vesk::listPageEvent(*message);
    if (const auto event = vesk::popupPageEvent(*message)) {
        if (const auto* ready = std::get_if<vesk::page::PopUpIsReady>(&*event)) {
            if (ready->height && (!std::isfinite(*ready->height) || *ready->height < 0)) {
                __builtin_trap();
            }
        }
    }
    (void)vesk::acknowledgesBeforeEffect(message->name);
    checkAcknowledgement(message->name);
    return 0;
}
