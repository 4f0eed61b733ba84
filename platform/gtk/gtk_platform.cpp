#include "vesk/gtk/gtk_platform.hpp"

#include <cstdlib>

#include "gtk_chat_window.hpp"
#include "gtk_launcher.hpp"
#include "gtk_popup_card.hpp"
#include "gtk_shared.hpp"
#include "gtk_web_page.hpp"

namespace vesk::gtk {

void prepareEnvironment() {
    // Without a GPU the GL renderers fall back slowly; cairo draws the same.
    setenv("GSK_RENDERER", "cairo", 0);
}

HostView::HostView(GtkOverlay* overlay) {
    g_weak_ref_init(&overlay_, overlay);
}

HostView::~HostView() {
    g_weak_ref_clear(&overlay_);
}

GtkOverlay* HostView::overlay() const {
    auto* overlay = static_cast<GtkOverlay*>(g_weak_ref_get(&overlay_));
    if (overlay != nullptr) {
        g_object_unref(overlay);  // its host holds it; this view only finds it
    }
    return overlay;
}

GtkChatPlatform::GtkChatPlatform(GtkPlatformOptions options) : state_(std::make_shared<State>()) {
    state_->options = std::move(options);
    // The library keeps what must outlive a run; the pages keep nothing.
    state_->session = webkit_network_session_new_ephemeral();
}

GtkChatPlatform::~GtkChatPlatform() {
    g_object_unref(state_->session);
}

std::shared_ptr<ChatWindow> GtkChatPlatform::createChatWindow() {
    auto window = std::make_shared<GtkChatWindow>(state_);
    state_->window = window;
    return window;
}

std::shared_ptr<WebPage> GtkChatPlatform::createWebPage(PageMode mode) {
    auto page = std::make_shared<GtkWebPage>(mode, state_->session);
    state_->pages[mode] = page;
    return page;
}

std::shared_ptr<PopupCard> GtkChatPlatform::createPopupCard(std::shared_ptr<WebPage> page) {
    if (!state_->options.popupLayer) {
        return nullptr;
    }
    auto card = std::make_shared<GtkPopupCard>(state_, std::dynamic_pointer_cast<GtkWebPage>(page));
    std::erase_if(state_->cards, [](const auto& c) { return c.expired(); });
    state_->cards.push_back(card);
    return card;
}

std::shared_ptr<LauncherView> GtkChatPlatform::createLauncher(
    const std::shared_ptr<PlatformView>& host) {
    auto view = std::dynamic_pointer_cast<HostView>(host);
    if (!view) {
        return nullptr;
    }
    auto launcher = std::make_shared<GtkLauncher>(state_, std::move(view));
    state_->launcher = launcher;
    return launcher;
}

ScreenSize GtkChatPlatform::screenSize() const {
    const auto& layer = state_->options.popupLayer;
    if (GtkOverlay* overlay = layer ? layer->overlay() : nullptr) {
        const int width = gtk_widget_get_width(GTK_WIDGET(overlay));
        const int height = gtk_widget_get_height(GTK_WIDGET(overlay));
        if (width > 0 && height > 0) {
            return {static_cast<double>(width), static_cast<double>(height)};
        }
    }
    if (GtkWindow* host = state_->options.host) {
        int width = 0;
        int height = 0;
        gtk_window_get_default_size(host, &width, &height);
        if (width > 0 && height > 0) {
            return {static_cast<double>(width), static_cast<double>(height)};
        }
    }
    return {375, 667};
}

GtkWindow* GtkChatPlatform::chatWindow() const {
    const auto window = state_->window.lock();
    return window && gtk_widget_get_visible(GTK_WIDGET(window->window())) ? window->window()
                                                                          : nullptr;
}

WebKitWebView* GtkChatPlatform::webView(PageMode mode) const {
    const auto found = state_->pages.find(mode);
    const auto page = found == state_->pages.end() ? nullptr : found->second.lock();
    return page ? page->view() : nullptr;
}

GtkTextView* GtkChatPlatform::inputText() const {
    const auto window = state_->window.lock();
    return window ? window->input().textView() : nullptr;
}

GtkButton* GtkChatPlatform::sendButton() const {
    const auto window = state_->window.lock();
    return window ? window->input().sendButton() : nullptr;
}

GtkWidget* GtkChatPlatform::popupCard() const {
    for (auto it = state_->cards.rbegin(); it != state_->cards.rend(); ++it) {
        if (const auto card = it->lock(); card && card->shown()) {
            return card->widget();
        }
    }
    return nullptr;
}

GtkWidget* GtkChatPlatform::launcherButton() const {
    const auto launcher = state_->launcher.lock();
    return launcher && launcher->shown() ? launcher->button() : nullptr;
}

GtkLabel* GtkChatPlatform::launcherBadge() const {
    const auto launcher = state_->launcher.lock();
    return launcher ? launcher->badge() : nullptr;
}

GtkLabel* GtkChatPlatform::launcherBubble() const {
    const auto launcher = state_->launcher.lock();
    return launcher ? launcher->bubbleText() : nullptr;
}

}  // namespace vesk::gtk

namespace vesk::gtk {

GdkTexture* snapshotWidget(GtkWidget* widget) {
    GtkNative* native = widget != nullptr ? gtk_widget_get_native(widget) : nullptr;
    GskRenderer* renderer = native != nullptr ? gtk_native_get_renderer(native) : nullptr;
    const int width = widget != nullptr ? gtk_widget_get_width(widget) : 0;
    const int height = widget != nullptr ? gtk_widget_get_height(widget) : 0;
    if (renderer == nullptr || width <= 0 || height <= 0) {
        return nullptr;
    }
    GdkPaintable* paintable = gtk_widget_paintable_new(widget);
    GtkSnapshot* snapshot = gtk_snapshot_new();
    gdk_paintable_snapshot(paintable, GDK_SNAPSHOT(snapshot), width, height);
    GskRenderNode* node = gtk_snapshot_free_to_node(snapshot);
    g_object_unref(paintable);
    if (node == nullptr) {
        return nullptr;
    }
    const graphene_rect_t bounds =
        GRAPHENE_RECT_INIT(0, 0, static_cast<float>(width), static_cast<float>(height));
    GdkTexture* texture = gsk_renderer_render_texture(renderer, node, &bounds);
    gsk_render_node_unref(node);
    return texture;
}

}  // namespace vesk::gtk
