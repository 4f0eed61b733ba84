#include "gtk_launcher.hpp"

#include <cmath>

namespace vesk::gtk {

namespace {

// The library's chat image: a white speech bubble.
void drawChat(GtkDrawingArea* /*area*/, cairo_t* cr, int width, int height, gpointer /*data*/) {
    const double w = width;
    const double h = height;
    const double r = 6;
    const double x0 = w * 0.15;
    const double y0 = h * 0.2;
    const double x1 = w * 0.85;
    const double y1 = h * 0.7;
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_new_sub_path(cr);
    cairo_arc(cr, x1 - r, y0 + r, r, -M_PI / 2, 0);
    cairo_arc(cr, x1 - r, y1 - r, r, 0, M_PI / 2);
    cairo_line_to(cr, w * 0.42, y1);
    cairo_line_to(cr, w * 0.28, h * 0.86);
    cairo_line_to(cr, w * 0.3, y1);
    cairo_arc(cr, x0 + r, y1 - r, r, M_PI / 2, M_PI);
    cairo_arc(cr, x0 + r, y0 + r, r, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
    cairo_fill(cr);
}

const char* channelColor(const std::string& image) {
    if (image == "VK") {
        return "#0077ff";
    }
    if (image == "Viber") {
        return "#7360f2";
    }
    if (image == "Facebook") {
        return "#0866ff";
    }
    if (image == "Telegram") {
        return "#27a7e7";
    }
    return "#6b6b76";
}

void onClick(GtkWidget* widget, void (*handler)(GtkGestureClick*, int, double, double, gpointer),
             gpointer data) {
    GtkGesture* click = gtk_gesture_click_new();
    g_signal_connect(click, "released", G_CALLBACK(handler), data);
    gtk_widget_add_controller(widget, GTK_EVENT_CONTROLLER(click));
}

}  // namespace

GtkLauncher::GtkLauncher(std::shared_ptr<PlatformState> platform, std::shared_ptr<HostView> host)
    : platform_(std::move(platform)),
      host_(std::move(host)),
      dim_(GTK_WIDGET(g_object_ref_sink(gtk_box_new(GTK_ORIENTATION_VERTICAL, 0)))),
      root_(GTK_WIDGET(g_object_ref_sink(gtk_box_new(GTK_ORIENTATION_VERTICAL, 12)))),
      bubble_(gtk_overlay_new()),
      bubbleText_(gtk_label_new("")),
      bubbleAvatar_(gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0)),
      items_(gtk_box_new(GTK_ORIENTATION_VERTICAL, 10)),
      button_(gtk_button_new()),
      icon_(gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0)),
      badge_(gtk_label_new("")) {
    installStyle();
    gtk_widget_add_css_class(dim_, "vesk-dim");
    gtk_widget_set_name(dim_, "vesk-launcher-dim");
    onClick(
        dim_,
        +[](GtkGestureClick*, int, double, double, gpointer data) {
            static_cast<GtkLauncher*>(data)->tell([](LauncherListener& l) { l.overlayTapped(); });
        },
        this);

    gtk_widget_set_name(root_, "vesk-launcher");
    gtk_widget_set_halign(root_, GTK_ALIGN_END);
    gtk_widget_set_valign(root_, GTK_ALIGN_END);
    gtk_widget_set_margin_end(root_, 20);
    gtk_widget_set_margin_bottom(root_, 20);

    // The bubble, with its close button on its corner.
    GtkWidget* card = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 10);
    gtk_widget_add_css_class(card, "vesk-bubble");
    gtk_widget_set_margin_top(card, 8);
    gtk_widget_set_margin_end(card, 8);
    gtk_widget_set_cursor_from_name(card, "pointer");
    gtk_label_set_wrap(GTK_LABEL(bubbleText_), TRUE);
    gtk_label_set_wrap_mode(GTK_LABEL(bubbleText_), PANGO_WRAP_WORD_CHAR);
    gtk_label_set_lines(GTK_LABEL(bubbleText_), 6);
    gtk_label_set_ellipsize(GTK_LABEL(bubbleText_), PANGO_ELLIPSIZE_END);
    gtk_label_set_max_width_chars(GTK_LABEL(bubbleText_), 28);
    gtk_label_set_xalign(GTK_LABEL(bubbleText_), 0);
    gtk_widget_add_css_class(bubbleText_, "vesk-bubble-text");
    gtk_widget_set_name(bubbleText_, "vesk-bubble-text");
    gtk_box_append(GTK_BOX(card), bubbleAvatar_);
    gtk_box_append(GTK_BOX(card), bubbleText_);
    onClick(
        card,
        +[](GtkGestureClick*, int, double, double, gpointer data) {
            static_cast<GtkLauncher*>(data)->tell([](LauncherListener& l) { l.bubbleTapped(); });
        },
        this);
    gtk_overlay_set_child(GTK_OVERLAY(bubble_), card);
    GtkWidget* closeBubble = iconButton("window-close-symbolic", "Dismiss");
    gtk_widget_remove_css_class(closeBubble, "flat");
    gtk_widget_add_css_class(closeBubble, "vesk-bubble-close");
    gtk_widget_set_halign(closeBubble, GTK_ALIGN_END);
    gtk_widget_set_valign(closeBubble, GTK_ALIGN_START);
    g_signal_connect_swapped(closeBubble, "clicked", callback([](GtkLauncher* self) {
                                 self->tell([](LauncherListener& l) { l.bubbleCloseTapped(); });
                             }),
                             this);
    gtk_overlay_add_overlay(GTK_OVERLAY(bubble_), closeBubble);
    gtk_widget_set_halign(bubble_, GTK_ALIGN_END);
    gtk_widget_set_name(bubble_, "vesk-bubble");

    gtk_widget_set_halign(items_, GTK_ALIGN_END);

    // The button, with its badge on its corner.
    GtkWidget* buttonFrame = gtk_overlay_new();
    gtk_widget_set_halign(buttonFrame, GTK_ALIGN_END);
    gtk_widget_add_css_class(button_, "vesk-launcher-button");
    gtk_widget_set_name(button_, "vesk-launcher-button");
    gtk_widget_set_tooltip_text(button_, "Chat with us");
    gtk_button_set_child(GTK_BUTTON(button_), icon_);
    g_signal_connect_swapped(button_, "clicked", callback([](GtkLauncher* self) {
                                 self->tell([](LauncherListener& l) { l.buttonTapped(); });
                             }),
                             this);
    gtk_overlay_set_child(GTK_OVERLAY(buttonFrame), button_);
    gtk_widget_add_css_class(badge_, "vesk-badge");
    gtk_widget_set_name(badge_, "vesk-launcher-badge");
    gtk_widget_set_halign(badge_, GTK_ALIGN_END);
    gtk_widget_set_valign(badge_, GTK_ALIGN_START);
    gtk_widget_set_can_target(badge_, FALSE);
    gtk_overlay_add_overlay(GTK_OVERLAY(buttonFrame), badge_);

    gtk_box_append(GTK_BOX(root_), bubble_);
    gtk_box_append(GTK_BOX(root_), items_);
    gtk_box_append(GTK_BOX(root_), buttonFrame);
}

GtkLauncher::~GtkLauncher() {
    remove();
    // Handlers reach `this`; the widgets may outlive it in no other hands.
    g_object_unref(root_);
    g_object_unref(dim_);
    if (color_ != nullptr) {
        gtk_style_context_remove_provider_for_display(gdk_display_get_default(),
                                                      GTK_STYLE_PROVIDER(color_));
        g_object_unref(color_);
    }
}

void GtkLauncher::setListener(std::weak_ptr<LauncherListener> listener) {
    listener_ = std::move(listener);
}

void GtkLauncher::show(const LauncherContent& content) {
    if (overlay_ == nullptr) {
        GtkOverlay* overlay = host_ ? host_->overlay() : nullptr;
        if (overlay == nullptr) {
            return;
        }
        overlay_ = GTK_OVERLAY(g_object_ref(overlay));
        gtk_overlay_add_overlay(overlay_, dim_);
        gtk_overlay_add_overlay(overlay_, root_);
    }
    content_ = content;
    rebuild();
}

void GtkLauncher::rebuild() {
    setCss(color_, "#vesk-launcher-button { background: " + cssColor(content_.color) + "; }\n");

    clearBox(GTK_BOX(icon_));
    GtkWidget* image = nullptr;
    if (content_.icon) {
        image = gtk_picture_new_for_filename(content_.icon->path.c_str());
        gtk_picture_set_content_fit(GTK_PICTURE(image), GTK_CONTENT_FIT_CONTAIN);
    } else {
        image = gtk_drawing_area_new();
        gtk_drawing_area_set_draw_func(GTK_DRAWING_AREA(image), &drawChat, nullptr, nullptr);
    }
    gtk_widget_set_size_request(image, 32, 32);
    gtk_widget_set_hexpand(image, TRUE);
    gtk_widget_set_halign(image, GTK_ALIGN_CENTER);
    gtk_widget_set_valign(image, GTK_ALIGN_CENTER);
    gtk_box_append(GTK_BOX(icon_), image);

    gtk_label_set_text(GTK_LABEL(badge_), content_.badge ? content_.badge->c_str() : "");
    gtk_widget_set_visible(badge_, content_.badge ? TRUE : FALSE);

    gtk_widget_set_visible(bubble_, content_.bubble && !content_.menuOpen ? TRUE : FALSE);
    clearBox(GTK_BOX(bubbleAvatar_));
    if (content_.bubble) {
        gtk_label_set_text(GTK_LABEL(bubbleText_), content_.bubble->text.c_str());
        gtk_box_append(GTK_BOX(bubbleAvatar_), avatar(content_.bubble->avatarUrl, "", 32));
    }

    clearBox(GTK_BOX(items_));
    gtk_widget_set_visible(items_, content_.menuOpen ? TRUE : FALSE);
    gtk_widget_set_visible(dim_, content_.menuOpen ? TRUE : FALSE);
    for (std::size_t i = 0; content_.menuOpen && i < content_.items.size(); ++i) {
        const auto& item = content_.items[i];
        GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 13);
        gtk_widget_set_halign(row, GTK_ALIGN_END);
        GtkWidget* label = gtk_label_new(item.label.c_str());
        gtk_widget_add_css_class(label, "vesk-item-label");
        gtk_widget_set_valign(label, GTK_ALIGN_CENTER);
        GtkWidget* letter = gtk_button_new_with_label(item.image.substr(0, 1).c_str());
        gtk_widget_add_css_class(letter, "vesk-item-button");
        const std::string name = "vesk-item-" + std::to_string(i);
        gtk_widget_set_name(letter, name.c_str());
        GtkCssProvider* own = gtk_css_provider_new();
        const std::string css =
            "button { background: " + std::string(channelColor(item.image)) + "; }";
        gtk_css_provider_load_from_data(own, css.c_str(), -1);
        G_GNUC_BEGIN_IGNORE_DEPRECATIONS
        gtk_style_context_add_provider(gtk_widget_get_style_context(letter),
                                       GTK_STYLE_PROVIDER(own),
                                       GTK_STYLE_PROVIDER_PRIORITY_APPLICATION + 2);
        G_GNUC_END_IGNORE_DEPRECATIONS
        g_object_unref(own);
        g_object_set_data(G_OBJECT(letter), "vesk-index", GSIZE_TO_POINTER(i));
        g_signal_connect(letter, "clicked", callback([](GtkButton* b, gpointer data) {
                             const auto index = static_cast<std::size_t>(
                                 GPOINTER_TO_SIZE(g_object_get_data(G_OBJECT(b), "vesk-index")));
                             static_cast<GtkLauncher*>(data)->tell(
                                 [index](LauncherListener& l) { l.itemTapped(index); });
                         }),
                         this);
        gtk_box_append(GTK_BOX(row), label);
        gtk_box_append(GTK_BOX(row), letter);
        gtk_box_append(GTK_BOX(items_), row);
    }
}

void GtkLauncher::remove() {
    if (overlay_ == nullptr) {
        return;
    }
    gtk_overlay_remove_overlay(overlay_, root_);
    gtk_overlay_remove_overlay(overlay_, dim_);
    g_object_unref(overlay_);
    overlay_ = nullptr;
}

void GtkLauncher::openUrl(const std::string& url) {
    platform_->openUri(url);
}

Size GtkLauncher::measureBubbleText(const std::string& text, double maxWidth, int maxLines) const {
    // The bubble's own label, so its font is the one measured.
    PangoLayout* layout = gtk_widget_create_pango_layout(bubbleText_, text.c_str());
    pango_layout_set_width(layout, static_cast<int>(maxWidth * PANGO_SCALE));
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    pango_layout_set_height(layout, -maxLines);
    pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
    int width = 0;
    int height = 0;
    pango_layout_get_pixel_size(layout, &width, &height);
    g_object_unref(layout);
    return {static_cast<double>(width), static_cast<double>(height)};
}

bool GtkLauncher::isRightToLeft() const {
    return gtk_widget_get_direction(root_) == GTK_TEXT_DIR_RTL;
}

GtkLabel* GtkLauncher::badge() const {
    return shown() && gtk_widget_get_visible(badge_) ? GTK_LABEL(badge_) : nullptr;
}

GtkLabel* GtkLauncher::bubbleText() const {
    return shown() && gtk_widget_get_visible(bubble_) ? GTK_LABEL(bubbleText_) : nullptr;
}

}  // namespace vesk::gtk
