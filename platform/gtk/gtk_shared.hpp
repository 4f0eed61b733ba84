// What the GTK platform's views share: the platform's state, the style sheet,
// the link opener and image loading.
// Threading: GTK main thread only.
#pragma once

#include <gtk/gtk.h>
#include <webkit/webkit.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "vesk/gtk/gtk_platform.hpp"

namespace vesk::gtk {

class GtkWebPage;
class GtkChatWindow;
class GtkPopupCard;
class GtkLauncher;

}  // namespace vesk::gtk

struct vesk::gtk::GtkChatPlatform::State {
    GtkPlatformOptions options;
    WebKitNetworkSession* session = nullptr;
    std::weak_ptr<GtkChatWindow> window;
    std::map<PageMode, std::weak_ptr<GtkWebPage>> pages;
    std::vector<std::weak_ptr<GtkPopupCard>> cards;  // oldest first
    std::weak_ptr<GtkLauncher> launcher;

    void openUri(const std::string& uri) const;
};

namespace vesk::gtk {

// A captureless lambda as a signal handler (G_CALLBACK cannot take one with commas).
template <class F>
GCallback callback(F f) {
    return reinterpret_cast<GCallback>(+f);
}

using PlatformState = GtkChatPlatform::State;

// Loads the style sheet once per display.
void installStyle();
// Replaces the rules of `provider` (made on first use) with `css`.
void setCss(GtkCssProvider*& provider, const std::string& css);
// "#rrggbb" when `color` is one, else black.
std::string cssColor(const std::string& color);

// Shows the picture at `url` (http(s) or file) in `picture` once fetched.
void loadPicture(GtkPicture* picture, const std::string& url);

GtkWidget* iconButton(const char* icon, const char* tooltip);
// Removes every child of `box`.
void clearBox(GtkBox* box);
// A round avatar: the picture at `url`, or the initial of `name` on the accent.
GtkWidget* avatar(const std::optional<std::string>& url, const std::string& name, int size);

}  // namespace vesk::gtk
