// vesk-chat's chat window: the library's own screens on the headless
// platform, driven by commands as a user would drive them, with every fact
// they show printed as an event.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "push_commands.hpp"
#include "vesk/executor.hpp"

namespace vesk::chat {

// Installs the headless platform whose events `sink` prints, on a screen of
// that size. Call before the library's first use, with its main executor.
void installWindowPlatform(std::shared_ptr<Executor> executor, EventSink sink, double screenWidth,
                           double screenHeight);

// Prints every attachment download the window follows ("download"). Call
// once, on the main executor, after the platform is installed.
void installDownloadPrinter(EventSink sink);

// Runs chat-open, chat-close, page, input, attach, input-send, bar-list, bar-close,
// retry, sheet, download-wait, popup-close or one of the launcher's (button-show,
// button-hide, button-tap, bubble-tap, bubble-close, overlay-tap, button-item);
// false for any other name. download-wait
// calls `hold` and, once the download has ended, `release`.
bool runWindowCommand(const std::string& name, const std::string& rest, const EventSink& sink,
                      const std::function<void()>& hold, std::function<void()> release);

extern const char* const kWindowUsage;

}  // namespace vesk::chat
