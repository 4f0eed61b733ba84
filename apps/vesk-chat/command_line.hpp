// vesk-chat's command line: flags with environment fallbacks, and the commands
// read from standard input, one per line.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vesk::chat {

struct Options {
    std::optional<std::string> apiUrl;     // --api-url, VESK_API_URL
    std::optional<std::string> wssUrl;     // --wss-url, VESK_WSS_URL
    std::optional<std::string> filesUrl;   // --files-url, VESK_FILES_URL
    std::optional<std::string> widgetUrl;  // --widget-url, VESK_WIDGET_URL
    std::optional<std::string> dataDir;    // --data-dir, VESK_DATA_DIR
    std::optional<std::string> appGroup;   // --app-group, VESK_APP_GROUP
    std::optional<std::string> apiKey;     // --api-key, VESK_API_KEY
    double screenWidth = 375;              // --screen <width>x<height>: what popups
    double screenHeight = 667;             // are laid out on
    bool json = false;                     // --json, VESK_CHAT_JSON=1
    bool help = false;
};

// Flags win over the environment. Absent on a bad flag, with the reason in *error.
std::optional<Options> parseOptions(const std::vector<std::string>& args, std::string* error);

struct Command {
    std::string name;                // first word
    std::vector<std::string> words;  // the following words
    std::string rest;                // everything after the name, leading blanks dropped
};

// Absent for a blank line.
std::optional<Command> parseCommand(const std::string& line);

extern const char* const kUsage;

}  // namespace vesk::chat
