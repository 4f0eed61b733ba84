// The names of the public view enums: tools and logs print them, and the
// headless platform's events carry them.
#include "vesk/chat_window.hpp"
#include "vesk/web_page.hpp"

namespace vesk {

const char* pageModeName(PageMode mode) noexcept {
    switch (mode) {
        case PageMode::calendly:
            return "calendly";
        case PageMode::messages:
            return "messages";
        case PageMode::dialogs:
            return "dialogs";
        case PageMode::popup:
            return "popup";
    }
    return "messages";
}

const char* chatScreenName(ChatScreen screen) noexcept {
    switch (screen) {
        case ChatScreen::start:
            return "start";
        case ChatScreen::conversation:
            return "conversation";
        case ChatScreen::list:
            return "list";
        case ChatScreen::booking:
            return "booking";
    }
    return "start";
}

}  // namespace vesk
