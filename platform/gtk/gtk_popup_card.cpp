#include "gtk_popup_card.hpp"

#include <cmath>
#include <utility>

#include "gtk_web_page.hpp"

namespace vesk::gtk {

namespace {

// The pill's margins around its text: edge, gap, logo, edge.
constexpr double kPillMargins = 10 + 5 + 10 + 10;
// The longest the card's parts wait for the page to draw.
constexpr guint kRevealMs = 1500;
// Ends after the page's next two frames, with the height it drew at.
constexpr const char* kDrawnScript =
    "await new Promise(r => requestAnimationFrame(() => requestAnimationFrame(r)));"
    " return innerHeight;";

int px(double v) {
    return static_cast<int>(std::lround(v));
}

void place(GtkFixed* fixed, GtkWidget* child, const Rect& r) {
    gtk_widget_set_size_request(child, px(r.width), px(r.height));
    gtk_fixed_move(fixed, child, r.x, r.y);
}

}  // namespace

GtkPopupCard::GtkPopupCard(std::shared_ptr<PlatformState> platform,
                           std::shared_ptr<GtkWebPage> page)
    : platform_(std::move(platform)),
      page_(std::move(page)),
      scrim_(GTK_WIDGET(g_object_ref_sink(gtk_fixed_new()))),
      card_(gtk_fixed_new()),
      close_(iconButton("window-close-symbolic", "Close")),
      pill_(gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 5)),
      pillText_(gtk_label_new(nullptr)) {
    installStyle();
    gtk_widget_add_css_class(scrim_, "vesk-scrim");
    gtk_widget_set_name(scrim_, "vesk-popup-card");
    gtk_fixed_put(GTK_FIXED(scrim_), card_, 0, 0);
    if (page_) {
        gtk_widget_add_css_class(page_->widget(), "vesk-popup-page");
        gtk_widget_set_overflow(page_->widget(), GTK_OVERFLOW_HIDDEN);
        gtk_fixed_put(GTK_FIXED(card_), page_->widget(), 0, 0);
    }
    gtk_widget_remove_css_class(close_, "flat");
    gtk_widget_add_css_class(close_, "vesk-popup-close");
    GtkWidget* closeFrame = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
    gtk_widget_set_halign(close_, GTK_ALIGN_END);
    gtk_widget_set_valign(close_, GTK_ALIGN_START);
    gtk_widget_set_hexpand(close_, TRUE);
    gtk_box_append(GTK_BOX(closeFrame), close_);
    gtk_fixed_put(GTK_FIXED(card_), closeFrame, 0, 0);
    g_signal_connect_swapped(close_, "clicked", callback([](GtkPopupCard* self) {
                                 if (const auto l = self->listener_.lock()) {
                                     l->closeTapped();
                                 }
                             }),
                             this);
    gtk_widget_add_css_class(pill_, "vesk-pill");
    gtk_widget_set_margin_start(pillText_, 10);
    gtk_widget_set_valign(pillText_, GTK_ALIGN_CENTER);
    GtkWidget* logo = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
    gtk_widget_add_css_class(logo, "vesk-pill-logo");
    gtk_widget_set_valign(logo, GTK_ALIGN_CENTER);
    gtk_widget_set_margin_end(logo, 10);
    gtk_box_append(GTK_BOX(pill_), pillText_);
    gtk_box_append(GTK_BOX(pill_), logo);
    gtk_widget_set_visible(pill_, FALSE);
    gtk_fixed_put(GTK_FIXED(card_), pill_, 0, 0);
}

GtkPopupCard::~GtkPopupCard() {
    g_signal_handlers_disconnect_by_data(close_, this);
    if (drawn_ != nullptr) {
        g_cancellable_cancel(drawn_);
        g_object_unref(drawn_);
    }
    if (revealTimer_ != 0) {
        g_source_remove(revealTimer_);
    }
    if (relayout_ != 0) {
        g_source_remove(relayout_);
    }
    dismiss();
    if (page_ && gtk_widget_get_parent(page_->widget()) == card_) {
        gtk_fixed_remove(GTK_FIXED(card_), page_->widget());
    }
    g_object_unref(scrim_);
}

void GtkPopupCard::setListener(std::weak_ptr<PopupCardListener> listener) {
    listener_ = std::move(listener);
}

void GtkPopupCard::present() {
    if (shown_ || dismissed_) {
        return;
    }
    const auto& layer = platform_->options.popupLayer;
    layer_ = layer ? layer->overlay() : nullptr;
    if (layer_ == nullptr) {
        return;
    }
    g_object_ref(layer_);
    gtk_widget_set_opacity(card_, 0);
    gtk_overlay_add_overlay(layer_, scrim_);
    shown_ = true;
    layerWidth_ = gtk_widget_get_width(GTK_WIDGET(layer_));
    layerHeight_ = gtk_widget_get_height(GTK_WIDGET(layer_));
    placed_ =
        g_signal_connect(layer_, "get-child-position", G_CALLBACK(&GtkPopupCard::onPlaced), this);
    revealTimer_ = g_timeout_add(
        kRevealMs,
        [](gpointer data) -> gboolean {
            auto* self = static_cast<GtkPopupCard*>(data);
            self->revealTimer_ = 0;
            self->reveal();
            return G_SOURCE_REMOVE;
        },
        this);
    revealWhenDrawn();
}

void GtkPopupCard::revealWhenDrawn() {
    if (revealed_ || !shown_) {
        return;
    }
    if (!page_) {
        reveal();
        return;
    }
    // Before the page has loaded there is nothing of it to show.
    WebKitWebView* view = page_->view();
    if (webkit_web_view_is_loading(view) || webkit_web_view_get_uri(view) == nullptr) {
        return;
    }
    if (drawn_ != nullptr) {
        g_cancellable_cancel(drawn_);
        g_object_unref(drawn_);
    }
    drawn_ = g_cancellable_new();
    webkit_web_view_call_async_javascript_function(view, kDrawnScript, -1, nullptr, nullptr,
                                                   nullptr, drawn_, &GtkPopupCard::onDrawn, this);
}

void GtkPopupCard::onDrawn(GObject* source, GAsyncResult* result, gpointer data) {
    GError* error = nullptr;
    JSCValue* value = webkit_web_view_call_async_javascript_function_finish(WEBKIT_WEB_VIEW(source),
                                                                            result, &error);
    if (error != nullptr) {
        // Cancelled (the card may be gone) or the page would not say: the timer reveals.
        g_error_free(error);
        return;
    }
    auto* self = static_cast<GtkPopupCard*>(data);
    const int height = jsc_value_to_int32(value);
    g_object_unref(value);
    if (height == self->pageHeight_) {
        self->reveal();
    } else {
        // The page has not been given its new size yet.
        self->revealWhenDrawn();
    }
}

gboolean GtkPopupCard::onPlaced(GtkOverlay* layer, GtkWidget* child, GdkRectangle* /*where*/,
                                gpointer data) {
    auto* self = static_cast<GtkPopupCard*>(data);
    const int width = gtk_widget_get_width(GTK_WIDGET(layer));
    const int height = gtk_widget_get_height(GTK_WIDGET(layer));
    if (child == self->scrim_ && (width != self->layerWidth_ || height != self->layerHeight_)) {
        self->layerWidth_ = width;
        self->layerHeight_ = height;
        // Not while the overlay is being allocated: a new layout resizes the card.
        if (self->relayout_ == 0) {
            self->relayout_ = g_idle_add(
                [](gpointer card) -> gboolean {
                    auto* me = static_cast<GtkPopupCard*>(card);
                    me->relayout_ = 0;
                    if (const auto l = me->listener_.lock()) {
                        l->screenChanged();
                    }
                    return G_SOURCE_REMOVE;
                },
                self);
        }
    }
    return FALSE;  // the overlay places the scrim over all of itself
}

void GtkPopupCard::reveal() {
    if (std::exchange(revealed_, true)) {
        return;
    }
    if (revealTimer_ != 0) {
        g_source_remove(revealTimer_);
        revealTimer_ = 0;
    }
    gtk_widget_set_opacity(card_, 1);
}

void GtkPopupCard::dismiss() {
    dismissed_ = true;
    if (!std::exchange(shown_, false)) {
        return;
    }
    g_signal_handler_disconnect(layer_, placed_);
    placed_ = 0;
    gtk_overlay_remove_overlay(layer_, scrim_);
    g_object_unref(layer_);
    layer_ = nullptr;
}

void GtkPopupCard::setLayout(const PopupLayout& layout) {
    place(GTK_FIXED(scrim_), card_, layout.card);
    if (page_) {
        place(GTK_FIXED(card_), page_->widget(), layout.page);
    }
    pageHeight_ = px(layout.page.height);
    place(GTK_FIXED(card_), gtk_widget_get_parent(close_), layout.closeButton);
    gtk_widget_set_visible(pill_, layout.pill ? TRUE : FALSE);
    if (layout.pill) {
        gtk_label_set_text(GTK_LABEL(pillText_), layout.pillText.c_str());
        place(GTK_FIXED(card_), pill_, *layout.pill);
    }
    revealWhenDrawn();
}

double GtkPopupCard::pillWidth(const std::string& said) const {
    PangoLayout* text = gtk_widget_create_pango_layout(pillText_, said.c_str());
    int width = 0;
    int height = 0;
    pango_layout_get_pixel_size(text, &width, &height);
    g_object_unref(text);
    return width + kPillMargins;
}

void GtkPopupCard::openUrl(const std::string& url) {
    platform_->openUri(url);
}

}  // namespace vesk::gtk
