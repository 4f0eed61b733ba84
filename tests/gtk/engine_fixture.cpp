#include "engine_fixture.hpp"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "engine_support.hpp"
#include "vesk/chat.hpp"
#include "vesk/configuration.hpp"
#include "vesk/downloads.hpp"
#include "vesk/gtk/main_context_executor.hpp"
#include "vesk/key_value_store.hpp"
#include "vesk/runtime.hpp"
#include "vesk/vesk.hpp"

namespace vesk::gtk::test {

namespace {

struct World {
    std::unique_ptr<dev::DevServer> server;
    std::shared_ptr<GtkChatPlatform> platform;
    std::shared_ptr<HostView> host;
    GtkWidget* window = nullptr;
    std::string userId;
    std::vector<std::string> conversations;
    ChatSubscription listing;
};

World* world = nullptr;

bool hasDisplay() {
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x != nullptr && *x != '\0') || (wayland != nullptr && *wayland != '\0');
}

void build() {
    prepareEnvironment();
    gtk_init();
    world = new World;
    std::string error;
    world->server = dev::DevServer::start({}, &error);
    ASSERT_TRUE(world->server) << error;
    DeploymentValues values;
    values.apiUrl = world->server->apiBaseUrl();
    values.wssUrl = world->server->realtimeBaseUrl();
    values.widgetUrl = world->server->baseUrl();
    configure(values);
    std::string dir = (std::filesystem::temp_directory_path() / "vesk-engine-XXXXXX").string();
    ASSERT_NE(::mkdtemp(dir.data()), nullptr);
    setDataDirectory(dir);
    setDownloadDirectory(std::filesystem::path(dir) / "Downloads");
    setMainExecutor(std::make_shared<MainContextExecutor>());

    world->window = gtk_window_new();
    gtk_window_set_default_size(GTK_WINDOW(world->window), 900, 700);
    GtkWidget* overlay = gtk_overlay_new();
    GtkWidget* page = gtk_label_new("The host's page");
    gtk_overlay_set_child(GTK_OVERLAY(overlay), page);
    gtk_window_set_child(GTK_WINDOW(world->window), overlay);
    world->host = std::make_shared<HostView>(GTK_OVERLAY(overlay));
    world->platform = std::make_shared<GtkChatPlatform>(
        GtkPlatformOptions{GTK_WINDOW(world->window), world->host, [](const std::string&) {}});
    setChatPlatform(world->platform);
    gtk_window_present(GTK_WINDOW(world->window));

    std::optional<std::string> outcome;
    auto& vesk = Vesk::shared();
    vesk.setup(
        world->server->demoApiKey(), [&outcome] { outcome = ""; },
        [&outcome](const std::string& e) { outcome = "setup: " + e; });
    ASSERT_TRUE(EngineTest::waitFor([&outcome] { return outcome.has_value(); }));
    ASSERT_EQ(*outcome, "");
    outcome.reset();
    vesk.auth(
        "engine-user", world->server->demoUserAuthKey(), [&outcome] { outcome = ""; },
        [&outcome](const std::string& e) { outcome = "auth: " + e; });
    ASSERT_TRUE(EngineTest::waitFor([&outcome] { return outcome.has_value(); }));
    ASSERT_EQ(*outcome, "");
    world->userId = engine::serverIdOf(*world->server, "engine-user");
    ASSERT_FALSE(world->userId.empty());
    // Real-time events reach only a connected socket.
    ASSERT_TRUE(
        EngineTest::waitFor([] { return world->server->realtimeSocketCount(world->userId) > 0; }));
    world->listing = vesk.chat().onConversations([](const std::vector<ChatConversation>& list) {
        for (const auto& c : list) {
            world->conversations.push_back(c.id);
        }
    });
}

Picture pictureOf(GdkTexture* texture) {
    Picture picture;
    picture.width = gdk_texture_get_width(texture);
    const int height = gdk_texture_get_height(texture);
    const auto stride = static_cast<gsize>(picture.width) * 4;
    picture.pixels.resize(stride * static_cast<gsize>(height));
    gdk_texture_download(texture, picture.pixels.data(), stride);
    return picture;
}

}  // namespace

bool Picture::blank() const {
    // One colour everywhere: nothing was drawn.
    if (pixels.size() < 4) {
        return true;
    }
    for (std::size_t i = 4; i < pixels.size(); i += 4) {
        if (!std::equal(pixels.begin(), pixels.begin() + 4,
                        pixels.begin() + static_cast<long>(i))) {
            return false;
        }
    }
    return true;
}

bool Picture::opaqueAt(int x, int y) const {
    const auto at = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                     static_cast<std::size_t>(x)) *
                        4 +
                    3;
    return x >= 0 && y >= 0 && x < width && at < pixels.size() && pixels[at] == 255;
}

std::string messagesScript(const std::string& status) {
    const std::string selector =
        status.empty() ? "[data-message-id]" : "[data-message-id][data-status=\"" + status + "\"]";
    return "Array.from(document.querySelectorAll('" + selector +
           " .vesk-text')).map(e => e.textContent)";
}

GtkWidget* shownWithClass(GtkWidget* root, const char* cssClass) {
    if (root == nullptr || !gtk_widget_get_mapped(root)) {
        return nullptr;
    }
    if (gtk_widget_has_css_class(root, cssClass)) {
        return root;
    }
    for (GtkWidget* child = gtk_widget_get_first_child(root); child != nullptr;
         child = gtk_widget_get_next_sibling(child)) {
        if (GtkWidget* found = shownWithClass(child, cssClass)) {
            return found;
        }
    }
    return nullptr;
}

void EngineTest::SetUp() {
    if (!hasDisplay()) {
        GTEST_SKIP() << "no display (DISPLAY or WAYLAND_DISPLAY): the engine tests need one; "
                        "run them under xvfb-run";
    }
    if (world == nullptr) {
        build();
    }
}

void EngineTest::TearDown() {
    if (world != nullptr && world->platform->chatWindow() != nullptr) {
        Vesk::shared().closeChat();
        // The next test's pages must not be mistaken for this one's.
        waitFor([] {
            return world->platform->chatWindow() == nullptr &&
                   world->platform->webView(PageMode::messages) == nullptr;
        });
    }
}

bool EngineTest::waitFor(const std::function<bool()>& fact, std::chrono::milliseconds deadline) {
    return engine::runUntil(fact, deadline);
}

std::optional<std::string> EngineTest::eval(WebKitWebView* view, const std::string& script) {
    return engine::evaluate(view, script);
}

WebKitWebView* EngineTest::readyPage(PageMode mode) {
    WebKitWebView* view = nullptr;
    waitFor([&view, mode] {
        view = world->platform->webView(mode);
        return view != nullptr &&
               eval(view, "document.documentElement.dataset.veskReady === '1'") == "true";
    });
    return view;
}

Picture EngineTest::shot(GtkWidget* widget, const std::string& name) {
    Picture picture;
    // A change is drawn on the next frame; until then there is no picture.
    GdkTexture* texture = nullptr;
    waitFor([&texture, widget] { return (texture = snapshotWidget(widget)) != nullptr; }, 5s);
    EXPECT_NE(texture, nullptr) << name << ": nothing drawn";
    if (texture == nullptr) {
        return picture;
    }
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const auto dir = std::filesystem::path(VESK_BINARY_DIR) / "engine-screenshots";
    std::filesystem::create_directories(dir);
    std::string test = info->name();
    std::replace(test.begin(), test.end(), '/', '-');  // a parameterized test's name
    const auto file = dir / (test + "-" + name + ".png");
    EXPECT_TRUE(gdk_texture_save_to_png(texture, file.c_str())) << file;
    picture = pictureOf(texture);
    g_object_unref(texture);
    EXPECT_FALSE(picture.blank()) << file << " is blank";
    return picture;
}

Picture EngineTest::grab(GtkWidget* widget) {
    GdkTexture* texture = snapshotWidget(widget);
    if (texture == nullptr) {
        return {};
    }
    Picture picture = pictureOf(texture);
    g_object_unref(texture);
    return picture;
}

Picture EngineTest::drawn(GtkWidget* area, const Picture& before) {
    // The web process draws a frame or more after the DOM changes, and a change can take a few
    // frames (an image loading, a reflow): the picture counts once it has held still a while.
    Picture picture;
    auto since = std::chrono::steady_clock::now();
    waitFor(
        [&] {
            Picture now = grab(area);
            if (now != picture) {
                picture = std::move(now);
                since = std::chrono::steady_clock::now();
            }
            return !picture.blank() && picture != before &&
                   std::chrono::steady_clock::now() - since >= 150ms;
        },
        5s);
    return picture;
}

WebKitWebView* EngineTest::openChat() {
    Vesk::shared().openChat();
    EXPECT_TRUE(waitFor([] { return world->platform->chatWindow() != nullptr; }));
    return readyPage(PageMode::messages);
}

dev::DevServer& EngineTest::server() {
    return *world->server;
}

GtkChatPlatform& EngineTest::platform() {
    return *world->platform;
}

std::shared_ptr<HostView> EngineTest::host() {
    return world->host;
}

GtkWidget* EngineTest::hostWindow() {
    return world->window;
}

const std::string& EngineTest::userId() {
    return world->userId;
}

bool EngineTest::listed(const std::string& id) {
    return waitFor([&id] {
        return std::find(world->conversations.begin(), world->conversations.end(), id) !=
               world->conversations.end();
    });
}

}  // namespace vesk::gtk::test
