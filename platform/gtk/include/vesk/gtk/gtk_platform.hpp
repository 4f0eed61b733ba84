// The desktop chat platform: GTK 4 and WebKitGTK 6.0 behind the library's
// view interfaces. The chat opens in a window of its own beside the host's;
// popup cards and the launcher button sit in a GtkOverlay of the host's.
//
// Threading: everything here on the GTK main thread, which must also run the
// library's main executor (see main_context_executor.hpp).
#pragma once

#include <gtk/gtk.h>
#include <webkit/webkit.h>

#include <functional>
#include <memory>
#include <string>

#include "vesk/chat_window.hpp"

namespace vesk::gtk {

// Sets what GTK and WebKit need on a desktop without a GPU or inside a
// container, where the host has not chosen otherwise: the cairo renderer for
// GTK. Call before gtk_init. The web process sandbox is left on; a container
// without user namespaces needs WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS=1
// from whoever runs it.
void prepareEnvironment();

// A host's GtkOverlay as the library sees it: hand it to Vesk::showButton for
// the launcher, and to the platform for popup cards. Holds the overlay weakly.
class HostView final : public PlatformView {
  public:
    explicit HostView(GtkOverlay* overlay);
    ~HostView() override;
    HostView(const HostView&) = delete;
    HostView& operator=(const HostView&) = delete;

    // Null once the overlay is gone.
    [[nodiscard]] GtkOverlay* overlay() const;

  private:
    mutable GWeakRef overlay_;
};

struct GtkPlatformOptions {
    // The chat window stays above it and closes with it.
    GtkWindow* host = nullptr;
    // Where popup cards go, dimming the host; none shows no popups.
    std::shared_ptr<HostView> popupLayer;
    // Opens links and files; default: the desktop's handler for the URI.
    std::function<void(const std::string& uri)> openUri;
};

class GtkChatPlatform final : public ChatPlatform {
  public:
    explicit GtkChatPlatform(GtkPlatformOptions options);
    ~GtkChatPlatform() override;
    GtkChatPlatform(const GtkChatPlatform&) = delete;
    GtkChatPlatform& operator=(const GtkChatPlatform&) = delete;

    std::shared_ptr<ChatWindow> createChatWindow() override;
    std::shared_ptr<WebPage> createWebPage(PageMode mode) override;
    std::shared_ptr<PopupCard> createPopupCard(std::shared_ptr<WebPage> page) override;
    std::shared_ptr<LauncherView> createLauncher(
        const std::shared_ptr<PlatformView>& host) override;
    // The popup layer's size (the host window's before it is laid out).
    [[nodiscard]] ScreenSize screenSize() const override;

    // ---- what is shown, for a host's tools and tests (null when not shown) ----
    [[nodiscard]] GtkWindow* chatWindow() const;
    // The newest live page of `mode`.
    [[nodiscard]] WebKitWebView* webView(PageMode mode) const;
    [[nodiscard]] GtkTextView* inputText() const;
    [[nodiscard]] GtkButton* sendButton() const;
    // The top popup card shown.
    [[nodiscard]] GtkWidget* popupCard() const;
    // The launcher shown, its badge and its bubble's text (each null when hidden).
    [[nodiscard]] GtkWidget* launcherButton() const;
    [[nodiscard]] GtkLabel* launcherBadge() const;
    [[nodiscard]] GtkLabel* launcherBubble() const;

    struct State;

  private:
    std::shared_ptr<State> state_;
};

}  // namespace vesk::gtk

namespace vesk::gtk {

// A picture of `widget` as last drawn, or null until it is drawn (again: a
// change is drawn on the next frame). The caller owns the texture.
GdkTexture* snapshotWidget(GtkWidget* widget);

}  // namespace vesk::gtk
