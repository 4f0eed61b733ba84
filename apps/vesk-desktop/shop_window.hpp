// The host of the demo: a shop page made of GTK widgets inside an overlay,
// where the launcher button and popup cards go, and an operator panel.
// Threading: GTK main thread.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <string>

namespace vesk::desktop {

struct ShopWindow {
    GtkWindow* window = nullptr;
    // Over the shop page: the launcher and popups sit here.
    GtkOverlay* overlay = nullptr;
};

// `operatorCommand` (may be empty: no panel) runs one operator command line;
// `openChat` is the shop's own "Contact us" link.
ShopWindow buildShopWindow(const std::function<std::string(const std::string&)>& operatorCommand,
                           const std::function<void()>& openChat);

}  // namespace vesk::desktop
