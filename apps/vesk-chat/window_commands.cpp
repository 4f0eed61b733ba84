#include "window_commands.hpp"

#include <cstdlib>
#include <map>
#include <optional>

#include "vesk/chat.hpp"
#include "vesk/chat_window.hpp"
#include "vesk/headless_platform.hpp"
#include "vesk/vesk.hpp"

namespace vesk::chat {

namespace {

// Lives for the process, like the library it serves.
std::shared_ptr<HeadlessChatPlatform>& platform() {
    static auto* instance = new std::shared_ptr<HeadlessChatPlatform>();
    return *instance;
}

// The downloads seen so far and the one command waiting for an end.
struct Downloads {
    ChatSubscription subscription;
    std::map<std::string, ChatDownload> last;  // by message id
    std::string waitingFor;
    std::function<void()> release;
};

Downloads& downloads() {
    static auto* instance = new Downloads();
    return *instance;
}

bool ended(const ChatDownload& d) {
    return d.state == "done" || d.state == "error";
}

void waitForDownload(const std::string& messageId, const std::function<void()>& hold,
                     std::function<void()> release) {
    auto& d = downloads();
    if (const auto found = d.last.find(messageId); found != d.last.end() && ended(found->second)) {
        return;  // its end was printed already
    }
    d.waitingFor = messageId;
    d.release = std::move(release);
    hold();
}

std::optional<PageMode> modeNamed(const std::string& name) {
    for (const auto mode :
         {PageMode::messages, PageMode::dialogs, PageMode::popup, PageMode::calendly}) {
        if (name == pageModeName(mode)) {
            return mode;
        }
    }
    return std::nullopt;
}

// The field, when present and not null.
const JsonValue* field(const JsonObject& fields, const char* key) {
    const auto* value = fields.find(key);
    return value != nullptr && value->has_value() ? &**value : nullptr;
}

std::string joined(const JsonValue* items) {
    std::string out;
    if (const auto* array = items ? items->array() : nullptr) {
        for (const auto& item : *array) {
            out += (out.empty() ? "" : ", ") + (item.string() ? *item.string() : item.encode());
        }
    }
    return out;
}

// The one-line reading of a window event.
std::string readable(const std::string& event, const JsonObject& fields) {
    const auto text = [&fields](const char* key) {
        const auto* value = field(fields, key);
        if (value == nullptr) {
            return std::string();
        }
        return value->string() ? *value->string() : value->encode();
    };
    if (event == "script") {
        return "[" + text("screen") + "] " + text("script");
    }
    if (event == "navigation") {
        return "[" + text("screen") + "] " + (text("allowed") == "true" ? "loads " : "handles ") +
               text("url");
    }
    if (event == "screens") {
        const auto names = joined(field(fields, "stack"));
        return names.empty() ? "window closed" : "screens: " + names;
    }
    if (event == "overlay") {
        return "overlay: " + text("state") +
               (text("title").empty() ? "" : " - " + text("title") + ": " + text("description"));
    }
    if (event == "bar") {
        return "bar: " + text("title") + " (unread " + text("unread") + ")";
    }
    if (event == "input") {
        return "input: \"" + text("text") + "\"" + (text("enabled") == "true" ? " (send)" : "");
    }
    if (event == "sheet") {
        return "sheet: " + joined(field(fields, "actions"));
    }
    if (event == "open-image") {
        return "open-image: " + joined(field(fields, "urls")) + " from " + text("index");
    }
    if (event == "progress") {
        return text("shown") == "true" ? "progress shown" : "progress hidden";
    }
    if (event == "button") {
        if (text("shown") != "true") {
            return "button hidden";
        }
        const auto* bubble = field(fields, "bubble");
        const auto* said = bubble && bubble->object() ? bubble->object()->find("text") : nullptr;
        const auto* badge = field(fields, "badge");
        return "button " + text("color") + " badge " +
               (badge && badge->string() ? *badge->string() : "-") +
               (said && *said && (*said)->string() ? ", bubble \"" + *(*said)->string() + "\""
                                                   : "") +
               (text("menuOpen") == "true" ? ", menu: " + joined(field(fields, "items")) : "");
    }
    if (event == "popup") {
        const auto* frame = field(fields, "frame");
        return "popup " + text("id") + (text("shown") == "true" ? " shown" : " closed") +
               (frame && text("shown") == "true" ? " at " + frame->encode() : "") +
               (text("pill") == "true" ? " with the pill" : "");
    }
    std::string out = event + ":";
    for (const auto& [key, value] : fields) {
        const auto* shown = field(fields, key.c_str());
        out += " " + key + "=" +
               (shown == nullptr  ? "null"
                : shown->string() ? *shown->string()
                                  : shown->encode());
    }
    return out;
}

void usage(const EventSink& sink, const std::string& text) {
    sink("error", {{"error", JsonValue("usage: " + text)}}, "usage: " + text);
}

void fail(const EventSink& sink, const std::string& text) {
    sink("error", {{"error", JsonValue(text)}}, text);
}

}  // namespace

const char* const kWindowUsage =
    "Chat window (headless; every fact it shows is printed as an event):\n"
    "  chat-open | chat-close         open the chat window, or close it\n"
    "  page <screen> <url>            the page of messages, dialogs, popup or calendly\n"
    "                                 navigates to <url>, as if the user acted on it\n"
    "  input <text...> | input-send   type into the input bar | tap send\n"
    "  attach <file>                  send a local file from the input bar\n"
    "  bar-list | bar-close | retry   tap the bar's list or close button, or retry\n"
    "  sheet <index>                  choose an action of the open action sheet\n"
    "  download-wait <messageId>      wait until the message's attachment is downloaded\n"
    "  popup-close                    tap the close button of the top popup card\n"
    "  button-show | button-hide      show the launcher button (after each setup) or remove it\n"
    "  button-tap | bubble-tap | bubble-close | overlay-tap | button-item <index>\n"
    "                                 tap the launcher, its bubble, the bubble's close\n"
    "                                 button, the menu's overlay or one of its items\n";

void installDownloadPrinter(EventSink sink) {
    downloads().subscription =
        Vesk::shared().chat().onDownload([sink = std::move(sink)](const ChatDownload& download) {
            auto& d = downloads();
            d.last[download.messageId] = download;
            sink("download",
                 {{"url", JsonValue(download.url)},
                  {"state", JsonValue(download.state)},
                  {"percent", JsonValue(static_cast<std::int64_t>(download.percent))},
                  {"path", download.path.empty() ? JsonValue() : JsonValue(download.path)},
                  {"messageId", JsonValue(download.messageId)}},
                 "download " + download.url + ": " + download.state +
                     (download.state == "progress" ? " " + std::to_string(download.percent) + "%"
                      : download.state == "done"   ? " " + download.path
                      : download.state == "error"  ? " " + download.error
                                                   : ""));
            if (ended(download) && d.waitingFor == download.messageId && d.release) {
                d.waitingFor.clear();
                std::exchange(d.release, nullptr)();
            }
        });
}

void installWindowPlatform(std::shared_ptr<Executor> executor, EventSink sink, double screenWidth,
                           double screenHeight) {
    platform() = std::make_shared<HeadlessChatPlatform>(std::move(executor));
    platform()->setScreenSize({screenWidth, screenHeight});
    platform()->setObserver(
        [sink = std::move(sink)](const std::string& event, const JsonObject& fields) {
            sink(event, fields, readable(event, fields));
        });
    setChatPlatform(platform());
}

bool runWindowCommand(const std::string& name, const std::string& rest, const EventSink& sink,
                      const std::function<void()>& hold, std::function<void()> release) {
    auto* window = platform().get();
    if (window == nullptr) {
        return false;
    }
    const auto noWindow = [&sink, &name] { fail(sink, name + ": the chat window is not open"); };
    if (name == "chat-open") {
        Vesk::shared().openChat();
    } else if (name == "chat-close") {
        Vesk::shared().closeChat();
    } else if (name == "page") {
        const auto space = rest.find(' ');
        const auto mode = modeNamed(rest.substr(0, space));
        const auto url =
            space == std::string::npos ? std::string::npos : rest.find_first_not_of(' ', space);
        if (!mode || url == std::string::npos) {
            usage(sink, "page <messages|dialogs|popup|calendly> <url>");
        } else if (!window->navigate(*mode, rest.substr(url))) {
            fail(sink, "page: no " + std::string(pageModeName(*mode)) + " page is open");
        }
    } else if (name == "input") {
        if (!window->typeText(rest)) {
            noWindow();
        }
    } else if (name == "attach") {
        if (rest.empty()) {
            usage(sink, "attach <file>");
        } else if (!window->attachFile(rest)) {
            noWindow();
        }
    } else if (name == "input-send") {
        if (!window->tapSend()) {
            noWindow();
        }
    } else if (name == "bar-list") {
        if (!window->tapList()) {
            noWindow();
        }
    } else if (name == "bar-close") {
        if (!window->tapClose()) {
            noWindow();
        }
    } else if (name == "retry") {
        if (!window->tapRetry()) {
            noWindow();
        }
    } else if (name == "sheet") {
        char* end = nullptr;
        const long index = std::strtol(rest.c_str(), &end, 10);
        if (rest.empty() || end == nullptr || *end != '\0' || index < 0) {
            usage(sink, "sheet <index>");
        } else if (!window->chooseSheetAction(static_cast<std::size_t>(index))) {
            fail(sink, "sheet: no action " + rest + " is offered");
        }
    } else if (name == "button-show") {
        // The host's view the button sits in: vesk-chat has one, for as long as it runs.
        static const auto host = std::make_shared<PlatformView>();
        Vesk::shared().showButton(host);
    } else if (name == "button-hide") {
        Vesk::shared().hideButton();
    } else if (name == "button-tap" || name == "bubble-tap" || name == "bubble-close" ||
               name == "overlay-tap" || name == "button-item") {
        using Tap = HeadlessChatPlatform::LauncherTap;
        const Tap tap = name == "button-tap"     ? Tap::button
                        : name == "bubble-tap"   ? Tap::bubble
                        : name == "bubble-close" ? Tap::bubbleClose
                        : name == "overlay-tap"  ? Tap::overlay
                                                 : Tap::item;
        char* end = nullptr;
        const long index = tap == Tap::item ? std::strtol(rest.c_str(), &end, 10) : 0;
        if (tap == Tap::item && (rest.empty() || *end != '\0' || index < 0)) {
            usage(sink, "button-item <index>");
        } else if (!window->tapLauncher(tap, static_cast<std::size_t>(index))) {
            fail(sink, name + ": not shown");
        }
    } else if (name == "popup-close") {
        if (!window->closePopup()) {
            fail(sink, "popup-close: no popup is shown");
        }
    } else if (name == "download-wait") {
        if (rest.empty()) {
            usage(sink, "download-wait <messageId>");
        } else {
            waitForDownload(rest, hold, std::move(release));
        }
    } else {
        return false;
    }
    return true;
}

}  // namespace vesk::chat
