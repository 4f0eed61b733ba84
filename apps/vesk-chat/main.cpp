// vesk-chat: a terminal host application of the library.
//
// The main thread runs the library's main executor (a RunLoop); a reader thread
// turns stdin lines into commands posted to it. `setup` and `auth` hold the
// command stream until their handler has been called, so a script can rely on
// the order of its lines.
#include <unistd.h>

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "chat_commands.hpp"
#include "command_line.hpp"
#include "dev_server.hpp"
#include "integration_commands.hpp"
#include "push_commands.hpp"
#include "vesk/clock.hpp"
#include "vesk/configuration.hpp"
#include "vesk/executor.hpp"
#include "vesk/host_events.hpp"
#include "vesk/json_value.hpp"
#include "vesk/key_value_store.hpp"
#include "vesk/runtime.hpp"
#include "vesk/vesk.hpp"
#include "window_commands.hpp"

#ifdef VESK_CHAT_LIBEDIT
#include <editline/readline.h>
#endif

namespace vesk::chat {
namespace {

// Writes one event: a JSON object per line with --json, a readable line otherwise.
class Printer {
  public:
    explicit Printer(bool json) : json_(json) {}

    void event(const std::string& name, JsonObject fields, const std::string& readable) const {
        if (json_) {
            JsonObject line{{"event", JsonValue(name)}};
            for (const auto& [key, value] : fields) {
                line.set(key, value);
            }
            std::cout << JsonValue(std::move(line)).encode() << std::endl;
        } else {
            std::cout << readable << std::endl;
        }
    }

    // The outcome of a setup or auth handler.
    void outcome(const std::string& name, const std::optional<std::string>& error) const {
        if (error) {
            event(name, {{"ok", JsonValue(false)}, {"error", JsonValue(*error)}},
                  name + " failed: " + *error);
        } else {
            event(name, {{"ok", JsonValue(true)}}, name + ": ok");
        }
    }

  private:
    bool json_;
};

class Session {
  public:
    Session(std::shared_ptr<RunLoop> loop, Printer printer, std::string apiKey,
            std::optional<std::string> appGroup)
        : loop_(std::move(loop)),
          timers_(*loop_),
          printer_(printer),
          apiKey_(std::move(apiKey)),
          appGroup_(std::move(appGroup)) {}

    // From the reader thread: a line, or the end of input.
    void enqueue(std::optional<std::string> line) {
        loop_->post([this, line = std::move(line)] {
            lines_.push_back(line);
            if (!busy_) {
                next();
            }
        });
    }

  private:
    // Runs queued lines until one holds the stream (setup, auth, wait) or input ends.
    void next() {
        busy_ = false;
        while (!lines_.empty() && !busy_) {
            auto line = std::move(lines_.front());
            lines_.pop_front();
            if (!line) {
                finish();
                return;
            }
            if (auto command = parseCommand(*line)) {
                run(*command);
            }
        }
    }

    void finish() {
        printer_.event("quit", {}, "bye");
        loop_->stop();
        stopped_ = true;
    }

    void hold() { busy_ = true; }

    void release() {
        loop_->post([this] {
            if (!stopped_) {
                next();
            }
        });
    }

    void run(const Command& c) {
        auto& vesk = Vesk::shared();
        if (c.name == "setup") {
            const std::string key = c.words.empty() ? apiKey_ : c.words[0];
            hold();
            vesk.setup(
                key,
                [this] {
                    printer_.outcome("setup", std::nullopt);
                    release();
                },
                [this](const std::string& error) {
                    printer_.outcome("setup", error);
                    release();
                });
        } else if (c.name == "auth") {
            if (c.words.size() != 2) {
                return usage("auth <userId> <userAuthKey>");
            }
            hold();
            vesk.auth(
                c.words[0], c.words[1],
                [this] {
                    printer_.outcome("auth", std::nullopt);
                    release();
                },
                [this](const std::string& error) {
                    printer_.outcome("auth", error);
                    release();
                });
        } else if (c.name == "logout") {
            vesk.logout();
            printer_.event("logout", {}, "logged out; setting up again");
        } else if (c.name == "prop") {
            prop(c);
        } else if (c.name == "event") {
            if (c.words.empty()) {
                return usage("event <name> [<params...>]");
            }
            const auto& name = c.words[0];
            const auto paramsStart = c.rest.find_first_not_of(" \t", name.size());
            const std::string params =
                paramsStart == std::string::npos ? std::string() : c.rest.substr(paramsStart);
            vesk.trackEvent(name, params);
            printer_.event("event", {{"name", JsonValue(name)}, {"params", JsonValue(params)}},
                           "event sent: " + name + (params.empty() ? "" : " " + params));
        } else if (c.name == "background") {
            notifyAppWillResignActive();
            printer_.event("background", {}, "in the background");
        } else if (c.name == "foreground") {
            notifyAppDidBecomeActive();
            printer_.event("foreground", {}, "in the foreground");
        } else if (c.name == "wait") {
            char* end = nullptr;
            const long ms = c.words.size() == 1 ? std::strtol(c.words[0].c_str(), &end, 10) : -1;
            if (ms < 0 || end == nullptr || *end != '\0') {
                return usage("wait <ms>");
            }
            hold();
            timers_.schedule(std::chrono::milliseconds(ms), [this, ms] {
                printer_.event("wait", {{"ms", JsonValue(static_cast<std::int64_t>(ms))}},
                               "waited " + std::to_string(ms) + " ms");
                next();
            });
        } else if (isIntegrationCommand(c.name)) {
            hold();
            runIntegrationCommand(
                c,
                [this](const std::string& n, JsonObject f, const std::string& r) {
                    printer_.event(n, std::move(f), r);
                },
                [this] { release(); });
        } else if (runPushCommand(
                       c.name, c.rest, appGroup_, sink(), [this] { hold(); },
                       [this] { release(); })) {
        } else if (runChatCommand(
                       c.name, c.rest, sink(), [this] { hold(); }, [this] { release(); })) {
        } else if (runWindowCommand(
                       c.name, c.rest, sink(), [this] { hold(); }, [this] { release(); })) {
        } else if (c.name == "quit" || c.name == "exit") {
            lines_.clear();
            finish();
        } else {
            printer_.event("error", {{"error", JsonValue("unknown command: " + c.name)}},
                           "unknown command: " + c.name +
                               " (setup, auth, logout, prop, event, "
                               "background, foreground, wait, dialogs, messages, open, new, send, "
                               "unread, kb, integrations, push-token, push-delete, show-push, "
                               "click-push, chat-open, chat-close, page, input, input-send, "
                               "bar-list, bar-close, retry, sheet, download-wait, quit)");
        }
    }

    void prop(const Command& c) {
        // prop [--op <operation>] <key> <value...>
        std::string rest = c.rest;
        auto operation = UserProperty::Operations::updateOrCreate;
        auto takeWord = [&rest]() {
            const auto end = rest.find_first_of(" \t");
            std::string word = rest.substr(0, end);
            const auto next = end == std::string::npos ? end : rest.find_first_not_of(" \t", end);
            rest = next == std::string::npos ? std::string() : rest.substr(next);
            return word;
        };
        if (rest.rfind("--op", 0) == 0) {
            takeWord();
            const auto raw = takeWord();
            const auto parsed = UserProperty::operation(raw);
            if (!parsed) {
                return usage(
                    "prop --op <update_or_create|set_once|add|delete|append|union|exclude> "
                    "<key> <value...>");
            }
            operation = *parsed;
        }
        const auto key = takeWord();
        if (key.empty() || rest.empty()) {
            return usage("prop [--op <operation>] <key> <value...>");
        }
        Vesk::shared().setUserProperty({UserProperty(key, rest, operation)});
        const auto op = std::string(UserProperty::rawValue(operation));
        printer_.event("prop",
                       {{"op", JsonValue(op)}, {"key", JsonValue(key)}, {"value", JsonValue(rest)}},
                       "property sent: " + key + " = " + rest + " (" + op + ")");
    }

    [[nodiscard]] EventSink sink() const {
        return [printer = printer_](const std::string& name, JsonObject fields,
                                    const std::string& readable) {
            printer.event(name, std::move(fields), readable);
        };
    }

    void usage(const std::string& text) {
        printer_.event("error", {{"error", JsonValue("usage: " + text)}}, "usage: " + text);
    }

    std::shared_ptr<RunLoop> loop_;
    SteadyScheduler timers_;
    Printer printer_;
    std::string apiKey_;
    std::optional<std::string> appGroup_;
    std::deque<std::optional<std::string>> lines_;
    bool busy_ = false;
    bool stopped_ = false;
};

void readLines(Session& session) {
    const bool tty = ::isatty(STDIN_FILENO) != 0;
#ifdef VESK_CHAT_LIBEDIT
    if (tty) {
        while (char* line = ::readline("vesk> ")) {
            if (*line != '\0') {
                ::add_history(line);
            }
            session.enqueue(std::string(line));
            std::free(line);  // NOLINT(cppcoreguidelines-no-malloc): readline's allocation
        }
        session.enqueue(std::nullopt);
        return;
    }
#endif
    std::string line;
    if (tty) {
        std::cout << "vesk> " << std::flush;
    }
    while (std::getline(std::cin, line)) {
        session.enqueue(line);
        if (tty) {
            std::cout << "vesk> " << std::flush;
        }
    }
    session.enqueue(std::nullopt);
}

int run(const Options& options) {
    std::unique_ptr<dev::DevServer> server;
    std::optional<std::filesystem::path> scratch;
    DeploymentValues values;
    values.apiUrl = options.apiUrl;
    values.wssUrl = options.wssUrl;
    values.filesUrl = options.filesUrl;
    values.widgetUrl = options.widgetUrl;
    values.appGroupDomain = options.appGroup;
    std::string apiKey = options.apiKey.value_or("");
    const bool embedded = !options.apiUrl;
    if (embedded) {
        std::string error;
        server = dev::DevServer::start({}, &error);
        if (!server) {
            std::cerr << "vesk-chat: the development server did not start: " << error << "\n";
            return 1;
        }
        values.apiUrl = server->apiBaseUrl();
        if (!values.wssUrl) {
            values.wssUrl = server->realtimeBaseUrl();
        }
        if (!values.widgetUrl) {
            values.widgetUrl = server->baseUrl();  // it serves the chat's pages too
        }
        if (!options.apiKey) {
            apiKey = server->demoApiKey();
        }
    }
    configure(values);
    if (options.dataDir) {
        setDataDirectory(*options.dataDir);
    } else if (embedded) {
        // A user stored against an earlier embedded server means nothing to this one.
        std::string pattern =
            (std::filesystem::temp_directory_path() / "vesk-chat-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            scratch = pattern;
            setDataDirectory(*scratch);
        }
    }

    auto loop = std::make_shared<RunLoop>();
    setMainExecutor(loop);
    const Printer printer(options.json);
    installWindowPlatform(
        loop,
        [printer](const std::string& name, JsonObject fields, const std::string& readable) {
            printer.event(name, std::move(fields), readable);
        },
        options.screenWidth, options.screenHeight);
    installNotificationPrinter(
        [printer](const std::string& name, JsonObject fields, const std::string& readable) {
            printer.event(name, std::move(fields), readable);
        });
    JsonObject ready{{"apiUrl", JsonValue(*values.apiUrl)}, {"embedded", JsonValue(embedded)}};
    if (embedded) {
        ready.set("apiKey", JsonValue(apiKey));
        ready.set("userAuthKey", JsonValue(server->demoUserAuthKey()));
    }
    printer.event("ready", std::move(ready),
                  "vesk-chat " + Vesk::version() + " on " + *values.apiUrl +
                      (embedded ? " (embedded development server, demo app; user auth key " +
                                      server->demoUserAuthKey() + ")"
                                : ""));
    Session session(loop, printer, apiKey, options.appGroup);
    loop->post([printer] {
        Vesk::shared();
        installChatPrinter(
            [printer](const std::string& name, JsonObject fields, const std::string& readable) {
                printer.event(name, std::move(fields), readable);
            });
        installDownloadPrinter(
            [printer](const std::string& name, JsonObject fields, const std::string& readable) {
                printer.event(name, std::move(fields), readable);
            });
    });
    std::thread reader([&session] { readLines(session); });
    reader.detach();  // it may sit in a read when `quit` ends the loop
    loop->run();
    std::cout.flush();
    if (scratch) {
        std::error_code ignored;
        std::filesystem::remove_all(*scratch, ignored);
    }
    // The library lives for the process: leave without unwinding its threads.
    std::_Exit(0);
}

}  // namespace
}  // namespace vesk::chat

int main(int argc, char** argv) {
    std::string error;
    const auto options =
        vesk::chat::parseOptions(std::vector<std::string>(argv + 1, argv + argc), &error);
    if (!options) {
        std::cerr << "vesk-chat: " << error << "\n" << vesk::chat::kUsage << vesk::chat::kPushUsage;
        return 2;
    }
    if (options->help) {
        std::cout << vesk::chat::kUsage << vesk::chat::kPushUsage;
        return 0;
    }
    return vesk::chat::run(*options);
}
