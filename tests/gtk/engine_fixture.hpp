// One library on the GTK platform per test process: a host window with an
// overlay, the development server in-process, a user set up and signed in.
// Waits iterate the GLib main loop until a fact holds.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dev_server.hpp"
#include "vesk/gtk/gtk_platform.hpp"

namespace vesk::gtk::test {

using namespace std::chrono_literals;

// A screenshot's pixels, to tell a drawn picture from a blank or unchanged one.
struct Picture {
    int width = 0;
    std::vector<unsigned char> pixels;  // 4 bytes a pixel, row after row
    [[nodiscard]] bool blank() const;
    // Whether the pixel at (x, y) is fully covered.
    [[nodiscard]] bool opaqueAt(int x, int y) const;
    friend bool operator==(const Picture&, const Picture&) = default;
};

class EngineTest : public ::testing::Test {
  public:
    void SetUp() override;
    void TearDown() override;

    // Runs the main loop until `fact` holds or `deadline` passes; the fact's last value.
    static bool waitFor(const std::function<bool()>& fact,
                        std::chrono::milliseconds deadline = 20s);
    // The JSON of `script`'s value in `view`; none when it threw or the view is gone.
    static std::optional<std::string> eval(WebKitWebView* view, const std::string& script);
    // The page of `mode`, once its widget script is ready.
    static WebKitWebView* readyPage(PageMode mode);
    // What `widget` shows now (nothing when it is not drawn yet); no file.
    static Picture grab(GtkWidget* widget);
    // Waits until `area` shows a settled picture that is neither blank nor `before`, and
    // returns it. Pass a page, not its window: the window's header changes on its own.
    static Picture drawn(GtkWidget* area, const Picture& before = {});
    // Saves a PNG of `widget` as `<build>/engine-screenshots/<test>-<name>.png`.
    static Picture shot(GtkWidget* widget, const std::string& name);
    // Opens the chat and waits for its conversation page.
    static WebKitWebView* openChat();

    static dev::DevServer& server();
    static GtkChatPlatform& platform();
    static std::shared_ptr<HostView> host();
    static GtkWidget* hostWindow();
    // The signed-in user's id on the server.
    static const std::string& userId();
    // Waits until the library lists conversation `id`.
    static bool listed(const std::string& id);
};

// The texts of the page's messages, by a status or all ("").
std::string messagesScript(const std::string& status = "");

// The first widget under `root` (itself included) with the style class `cssClass` that is on
// screen (mapped), or null.
GtkWidget* shownWithClass(GtkWidget* root, const char* cssClass);

}  // namespace vesk::gtk::test
