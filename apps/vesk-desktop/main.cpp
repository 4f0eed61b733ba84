// vesk-desktop: the chat as a user sees it on the desktop. A shop window (the
// host) carries the launcher button; the chat opens in a window beside it.
// Without --api-url it starts the development server in-process and talks to
// its demo app, and an operator panel (or --operator: commands on stdin)
// plays the operator.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "dev_server.hpp"
#include "operator_controls.hpp"
#include "shop_window.hpp"
#include "vesk/configuration.hpp"
#include "vesk/downloads.hpp"
#include "vesk/gtk/gtk_platform.hpp"
#include "vesk/gtk/main_context_executor.hpp"
#include "vesk/key_value_store.hpp"
#include "vesk/runtime.hpp"
#include "vesk/vesk.hpp"

namespace {

constexpr const char* kUsage =
    "usage: vesk-desktop [--api-url URL --wss-url URL --widget-url URL] [--api-key KEY]\n"
    "                    [--user ID --user-auth-key KEY] [--operator] [--screenshot FILE.png]\n"
    "  Without --api-url the development server runs in-process with its demo app.\n"
    "  --operator reads operator commands on stdin (embedded server only).\n"
    "  --screenshot shows a short demo, saves a picture of it and quits.\n";

struct Options {
    std::optional<std::string> apiUrl, wssUrl, widgetUrl, apiKey, screenshot;
    std::string user = "shopper-1";
    std::optional<std::string> userAuthKey;
    bool operatorStdin = false;
};

std::optional<Options> parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const auto value = [&]() -> std::optional<std::string> {
            return i + 1 < argc ? std::optional<std::string>(argv[++i]) : std::nullopt;
        };
        std::optional<std::string>* target = a == "--api-url"         ? &o.apiUrl
                                             : a == "--wss-url"       ? &o.wssUrl
                                             : a == "--widget-url"    ? &o.widgetUrl
                                             : a == "--api-key"       ? &o.apiKey
                                             : a == "--screenshot"    ? &o.screenshot
                                             : a == "--user-auth-key" ? &o.userAuthKey
                                                                      : nullptr;
        if (target != nullptr) {
            *target = value();
            if (!*target) {
                return std::nullopt;
            }
        } else if (a == "--user") {
            const auto v = value();
            if (!v) {
                return std::nullopt;
            }
            o.user = *v;
        } else if (a == "--operator") {
            o.operatorStdin = true;
        } else {
            return std::nullopt;
        }
    }
    return o;
}

// Everything the demo keeps for the life of the process.
struct Demo {
    std::unique_ptr<vesk::dev::DevServer> server;
    std::unique_ptr<vesk::desktop::OperatorControls> operatorControls;
    std::shared_ptr<vesk::gtk::GtkChatPlatform> platform;
    std::shared_ptr<vesk::gtk::HostView> host;
    vesk::desktop::ShopWindow shop;
    std::string screenshot;
    int step = 0;
};

Demo& demo() {
    static auto* d = new Demo;
    return *d;
}

bool savePicture(GtkWidget* widget, const std::string& path) {
    GdkTexture* texture = vesk::gtk::snapshotWidget(widget);
    if (texture == nullptr) {
        return false;
    }
    const bool saved = gdk_texture_save_to_png(texture, path.c_str()) != FALSE;
    g_object_unref(texture);
    std::cout << (saved ? "saved " : "could not save ") << path << std::endl;
    return saved;
}

// The screenshot demo: a chat popup (the bubble), the chat opened on it, a
// reply; each step waits for what the last one shows.
gboolean screenshotStep(gpointer /*data*/) {
    auto& d = demo();
    auto run = [&d](const std::string& line) {
        std::cout << d.operatorControls->run(line) << "\n";
    };
    switch (d.step) {
        case 0:
            if (d.platform->launcherButton() == nullptr) {
                return G_SOURCE_CONTINUE;
            }
            run("chat-popup Hi! Our summer sale ends Sunday. Need help choosing a size?");
            break;
        case 1:
            if (d.platform->launcherBubble() == nullptr) {
                return G_SOURCE_CONTINUE;
            }
            vesk::Vesk::shared().openChat();
            break;
        case 2: {
            WebKitWebView* view = d.platform->webView(vesk::PageMode::messages);
            if (view == nullptr || webkit_web_view_is_loading(view)) {
                return G_SOURCE_CONTINUE;
            }
            run("reply The linen shirt runs true to size; M fits most. Anything else?");
            break;
        }
        case 3:
        case 4:
        case 5:
        case 6:
            break;  // about two seconds for the pages to draw their messages
        default: {
            const auto dot = d.screenshot.rfind('.');
            if (!savePicture(GTK_WIDGET(d.shop.window), d.screenshot) ||
                !savePicture(GTK_WIDGET(d.platform->chatWindow()),
                             d.screenshot.substr(0, dot) + "-chat" + d.screenshot.substr(dot))) {
                return G_SOURCE_CONTINUE;  // not drawn yet
            }
            std::_Exit(0);
        }
    }
    ++d.step;
    return G_SOURCE_CONTINUE;
}

gboolean readOperatorLine(GIOChannel* channel, GIOCondition /*condition*/, gpointer /*data*/) {
    gchar* line = nullptr;
    gsize length = 0;
    const GIOStatus status = g_io_channel_read_line(channel, &line, &length, nullptr, nullptr);
    if (status == G_IO_STATUS_EOF) {
        return G_SOURCE_REMOVE;
    }
    if (line != nullptr) {
        std::string text(line);
        g_free(line);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
            text.pop_back();
        }
        if (!text.empty()) {
            std::cout << demo().operatorControls->run(text) << std::endl;
        }
    }
    return G_SOURCE_CONTINUE;
}

}  // namespace

int main(int argc, char** argv) {
    const auto options = parse(argc, argv);
    if (!options) {
        std::cerr << kUsage;
        return 2;
    }
    vesk::gtk::prepareEnvironment();
    gtk_init();
    auto& d = demo();

    vesk::DeploymentValues values;
    values.apiUrl = options->apiUrl;
    values.wssUrl = options->wssUrl;
    values.widgetUrl = options->widgetUrl;
    std::string apiKey = options->apiKey.value_or("");
    std::string userAuthKey = options->userAuthKey.value_or("");
    if (!options->apiUrl) {
        std::string error;
        d.server = vesk::dev::DevServer::start({}, &error);
        if (!d.server) {
            std::cerr << "vesk-desktop: the development server did not start: " << error << "\n";
            return 1;
        }
        values.apiUrl = d.server->apiBaseUrl();
        values.wssUrl = d.server->realtimeBaseUrl();
        values.widgetUrl = d.server->baseUrl();
        apiKey = options->apiKey.value_or(d.server->demoApiKey());
        userAuthKey = options->userAuthKey.value_or(d.server->demoUserAuthKey());
        // A user stored against an earlier embedded server means nothing to this one.
        std::string dir = (std::filesystem::temp_directory_path() / "vesk-desktop-XXXXXX").string();
        if (::mkdtemp(dir.data()) != nullptr) {
            vesk::setDataDirectory(dir);
            vesk::setDownloadDirectory(std::filesystem::path(dir) / "Downloads");
        }
        d.operatorControls =
            std::make_unique<vesk::desktop::OperatorControls>(d.server->baseUrl(), options->user);
        std::cout << "vesk-desktop: development server at " << d.server->baseUrl() << std::endl;
    }
    vesk::configure(values);
    vesk::setMainExecutor(std::make_shared<vesk::gtk::MainContextExecutor>());

    std::function<std::string(const std::string&)> operatorCommand;
    if (d.operatorControls) {
        operatorCommand = [](const std::string& line) {
            return demo().operatorControls->run(line);
        };
    }
    d.shop =
        vesk::desktop::buildShopWindow(operatorCommand, [] { vesk::Vesk::shared().openChat(); });
    d.host = std::make_shared<vesk::gtk::HostView>(d.shop.overlay);
    d.platform = std::make_shared<vesk::gtk::GtkChatPlatform>(
        vesk::gtk::GtkPlatformOptions{d.shop.window, d.host, {}});
    vesk::setChatPlatform(d.platform);
    g_signal_connect(d.shop.window, "close-request",
                     G_CALLBACK(+[](GtkWindow*, gpointer) -> gboolean { std::_Exit(0); }), nullptr);
    gtk_window_present(d.shop.window);

    auto& vesk = vesk::Vesk::shared();
    vesk.setup(
        apiKey,
        [user = options->user, userAuthKey] {
            vesk::Vesk::shared().auth(
                user, userAuthKey,
                [] {
                    std::cout << "vesk-desktop: signed in" << std::endl;
                    vesk::Vesk::shared().showButton(demo().host);
                },
                [](const std::string& e) { std::cerr << "vesk-desktop: auth: " << e << "\n"; });
        },
        [](const std::string& e) { std::cerr << "vesk-desktop: setup: " << e << "\n"; });

    if (options->operatorStdin && d.operatorControls) {
        std::cout << vesk::desktop::OperatorControls::kUsage << std::flush;
        GIOChannel* input = g_io_channel_unix_new(STDIN_FILENO);
        g_io_add_watch(input, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP), &readOperatorLine,
                       nullptr);
    }
    if (options->screenshot && d.operatorControls) {
        d.screenshot = *options->screenshot;
        g_timeout_add(300, &screenshotStep, nullptr);
    }
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    g_main_loop_run(loop);
    return 0;
}
