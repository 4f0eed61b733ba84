#include "command_line.hpp"

#include <cstdlib>
#include <sstream>

namespace vesk::chat {

const char* const kUsage =
    "usage: vesk-chat [--api-url URL] [--wss-url URL] [--files-url URL] [--data-dir DIR]\n"
    "                 [--widget-url URL] [--app-group NAME] [--api-key KEY]\n"
    "                 [--screen WIDTHxHEIGHT] [--json]\n"
    "Without an API URL the development server runs in-process and its demo app is used.\n"
    "Commands (one per line): setup [apiKey] | auth <userId> <userAuthKey> | logout |\n"
    "  prop [--op <operation>] <key> <value...> | event <name> [<params...>] |\n"
    "  background | foreground | wait <ms> | dialogs | messages <dialogId> |\n"
    "  open <dialogId> | new | send <text...> | unread |\n"
    "  kb settings|categories|articles <categoryId>|article <id>|search <text...> |\n"
    "  integrations | push-token <token> | push-delete | show-push <payloadJson> |\n"
    "  click-push <payloadJson> | quit\n"
    "  chat-open | chat-close | page <screen> <url> | input <text...> | input-send |\n"
    "  attach <file> | bar-list | bar-close | retry | sheet <index> |\n"
    "  download-wait <messageId> | popup-close | button-show | button-hide |\n"
    "  button-tap | bubble-tap | bubble-close | overlay-tap | button-item <index>\n";

namespace {

std::optional<std::string> env(const char* name) {
    if (const char* value = std::getenv(name); value != nullptr && *value != '\0') {
        return std::string(value);
    }
    return std::nullopt;
}

// "375x667": two whole or decimal numbers, each at least 1 and at most 100000.
bool parseScreen(const std::string& text, Options& o) {
    const auto x = text.find('x');
    if (x == std::string::npos) {
        return false;
    }
    const auto number = [](const std::string& part, double& out) {
        char* end = nullptr;
        out = std::strtod(part.c_str(), &end);
        return !part.empty() && end == part.c_str() + part.size() && out >= 1 && out <= 100000;
    };
    return number(text.substr(0, x), o.screenWidth) && number(text.substr(x + 1), o.screenHeight);
}

}  // namespace

std::optional<Options> parseOptions(const std::vector<std::string>& args, std::string* error) {
    Options o;
    o.apiUrl = env("VESK_API_URL");
    o.wssUrl = env("VESK_WSS_URL");
    o.filesUrl = env("VESK_FILES_URL");
    o.widgetUrl = env("VESK_WIDGET_URL");
    o.dataDir = env("VESK_DATA_DIR");
    o.appGroup = env("VESK_APP_GROUP");
    o.apiKey = env("VESK_API_KEY");
    o.json = env("VESK_CHAT_JSON") == "1";
    const std::pair<const char*, std::optional<std::string>*> valued[] = {
        {"--api-url", &o.apiUrl},       {"--wss-url", &o.wssUrl},   {"--files-url", &o.filesUrl},
        {"--widget-url", &o.widgetUrl}, {"--data-dir", &o.dataDir}, {"--app-group", &o.appGroup},
        {"--api-key", &o.apiKey}};
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--json") {
            o.json = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            o.help = true;
            continue;
        }
        if (arg == "--screen" || arg.starts_with("--screen=")) {
            const bool joined = arg != "--screen";
            if (!joined && i + 1 >= args.size()) {
                *error = "--screen needs a value";
                return std::nullopt;
            }
            const std::string value = joined ? arg.substr(9) : args[++i];
            if (!parseScreen(value, o)) {
                *error = "--screen takes WIDTHxHEIGHT, e.g. 375x667: " + value;
                return std::nullopt;
            }
            continue;
        }
        bool matched = false;
        for (const auto& [flag, target] : valued) {
            const std::string prefix = std::string(flag) + "=";
            if (arg == flag) {
                if (i + 1 >= args.size()) {
                    *error = std::string(flag) + " needs a value";
                    return std::nullopt;
                }
                *target = args[++i];
                matched = true;
            } else if (arg.rfind(prefix, 0) == 0) {
                *target = arg.substr(prefix.size());
                matched = true;
            }
            if (matched) {
                break;
            }
        }
        if (!matched) {
            *error = "unknown argument: " + arg;
            return std::nullopt;
        }
    }
    return o;
}

std::optional<Command> parseCommand(const std::string& line) {
    std::string trimmed = line;
    while (!trimmed.empty() && (trimmed.back() == '\r' || trimmed.back() == '\n')) {
        trimmed.pop_back();
    }
    const auto start = trimmed.find_first_not_of(" \t");
    if (start == std::string::npos) {
        return std::nullopt;
    }
    Command c;
    const auto end = trimmed.find_first_of(" \t", start);
    c.name = trimmed.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (end != std::string::npos) {
        const auto restStart = trimmed.find_first_not_of(" \t", end);
        if (restStart != std::string::npos) {
            c.rest = trimmed.substr(restStart);
        }
    }
    std::istringstream words(c.rest);
    for (std::string w; words >> w;) {
        c.words.push_back(w);
    }
    return c;
}

}  // namespace vesk::chat
