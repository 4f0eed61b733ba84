#include "gtk_shared.hpp"

#include <libsoup/soup.h>

#include <cctype>
#include <cstdio>

namespace vesk::gtk {

namespace {

constexpr const char* kStyle = R"css(
.vesk-chat { background: #ffffff; }
.vesk-chat headerbar { background: #ffffff; box-shadow: none; border-bottom: 1px solid #ececf0;
  min-height: 52px; }
.vesk-title { font-weight: 600; font-size: 15px; color: #1d1d24; }
.vesk-avatar { border-radius: 999px; background: #5b6cff; color: #ffffff; font-weight: 700; }
.vesk-badge { background: #ff3b30; color: #ffffff; border-radius: 999px; font-size: 10px;
  font-weight: 700; min-width: 16px; min-height: 16px; padding: 0 4px; }
.vesk-panel { background: #ffffff; }
.vesk-panel-title { font-size: 17px; font-weight: 600; color: #1d1d24; }
.vesk-panel-text { color: #6b6b76; }
.vesk-retry { border-radius: 999px; padding: 6px 22px; font-weight: 500; }
.vesk-activity { background: rgba(29,29,36,0.75); border-radius: 14px; padding: 18px; }
.vesk-activity spinner { color: #ffffff; }
.vesk-input { background: #ffffff; border-top: 1px solid #ececf0; padding: 8px; }
.vesk-input textview, .vesk-input textview text { background: #f4f4f7; color: #1d1d24; }
.vesk-input-frame { background: #f4f4f7; border-radius: 18px; padding: 6px 12px; }
.vesk-input button { border-radius: 999px; min-width: 34px; min-height: 34px; padding: 0; }
.vesk-scrim { background: rgba(0,0,0,0.6); }
.vesk-dim { background: rgba(0,0,0,0.35); }
.vesk-sheet { background: #ffffff; border-radius: 16px; margin: 10px; padding: 6px; }
.vesk-sheet button { padding: 12px; font-size: 15px; }
.vesk-sheet .destructive { color: #e0245e; }
.vesk-sheet .cancel { font-weight: 700; }
.vesk-popup-page { border-radius: 20px; }
.vesk-popup-close { background: #ffffff; border-radius: 999px; min-width: 36px; min-height: 36px;
  padding: 0; box-shadow: 0 2px 8px rgba(0,0,0,0.25); }
.vesk-pill { background: rgba(0,0,0,0.4); border-radius: 12px; color: #ffffff; font-size: 11px; }
.vesk-pill-logo { background: #ffffff; border-radius: 999px; min-width: 10px; min-height: 10px; }
.vesk-launcher-button { border-radius: 999px; min-width: 60px; min-height: 60px; padding: 0;
  box-shadow: 0 2px 10px rgba(0,0,0,0.15), 0 4px 4px rgba(0,0,0,0.15); border: none; }
.vesk-bubble { background: #ffffff; border-radius: 16px; padding: 9px 14px 11px 14px;
  box-shadow: 0 0 10px rgba(0,0,0,0.2), 0 0 1px rgba(0,0,0,0.1); }
.vesk-bubble-text { color: rgb(77,77,77); font-size: 14px; }
.vesk-bubble-close { background: #ffffff; border-radius: 999px; min-width: 22px; min-height: 22px;
  padding: 0; box-shadow: 0 1px 3px rgba(0,0,0,0.3); }
.vesk-item-label { background: #ffffff; border-radius: 8px; padding: 4px 10px; color: #1d1d24;
  box-shadow: 0 1px 4px rgba(0,0,0,0.2); }
.vesk-item-button { border-radius: 999px; min-width: 44px; min-height: 44px; padding: 0;
  color: #ffffff; font-weight: 700; background: #6b6b76; }
)css";

SoupSession* http() {
    static SoupSession* session = soup_session_new();
    return session;
}

struct PictureRequest {
    GWeakRef picture;
};

void pictureFetched(GObject* source, GAsyncResult* result, gpointer data) {
    auto* request = static_cast<PictureRequest*>(data);
    GError* error = nullptr;
    GBytes* bytes = soup_session_send_and_read_finish(SOUP_SESSION(source), result, &error);
    auto* picture = static_cast<GtkPicture*>(g_weak_ref_get(&request->picture));
    if (bytes != nullptr && picture != nullptr) {
        if (GdkTexture* texture = gdk_texture_new_from_bytes(bytes, nullptr)) {
            gtk_picture_set_paintable(picture, GDK_PAINTABLE(texture));
            g_object_unref(texture);
        }
    }
    if (picture != nullptr) {
        g_object_unref(picture);
    }
    if (bytes != nullptr) {
        g_bytes_unref(bytes);
    }
    if (error != nullptr) {
        g_error_free(error);
    }
    g_weak_ref_clear(&request->picture);
    delete request;
}

}  // namespace

void PlatformState::openUri(const std::string& uri) const {
    if (options.openUri) {
        options.openUri(uri);
        return;
    }
    GError* error = nullptr;
    if (!g_app_info_launch_default_for_uri(uri.c_str(), nullptr, &error)) {
        std::fprintf(stderr, "vesk-gtk: nothing opens %s: %s\n", uri.c_str(),
                     error != nullptr ? error->message : "?");
    }
    if (error != nullptr) {
        g_error_free(error);
    }
}

void installStyle() {
    GdkDisplay* display = gdk_display_get_default();
    if (display == nullptr || g_object_get_data(G_OBJECT(display), "vesk-style") != nullptr) {
        return;
    }
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, kStyle, -1);
    gtk_style_context_add_provider_for_display(display, GTK_STYLE_PROVIDER(provider),
                                               GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_set_data_full(G_OBJECT(display), "vesk-style", provider, g_object_unref);
}

void setCss(GtkCssProvider*& provider, const std::string& css) {
    if (provider == nullptr) {
        provider = gtk_css_provider_new();
        gtk_style_context_add_provider_for_display(gdk_display_get_default(),
                                                   GTK_STYLE_PROVIDER(provider),
                                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION + 1);
    }
    gtk_css_provider_load_from_data(provider, css.c_str(), static_cast<gssize>(css.size()));
}

std::string cssColor(const std::string& color) {
    if (color.size() != 7 || color[0] != '#') {
        return "#000000";
    }
    for (std::size_t i = 1; i < color.size(); ++i) {
        if (std::isxdigit(static_cast<unsigned char>(color[i])) == 0) {
            return "#000000";
        }
    }
    return color;
}

void loadPicture(GtkPicture* picture, const std::string& url) {
    if (url.rfind("http://", 0) != 0 && url.rfind("https://", 0) != 0) {
        GFile* file = g_file_new_for_commandline_arg(url.c_str());
        gtk_picture_set_file(picture, file);
        g_object_unref(file);
        return;
    }
    SoupMessage* message = soup_message_new("GET", url.c_str());
    if (message == nullptr) {
        return;
    }
    auto* request = new PictureRequest;
    g_weak_ref_init(&request->picture, picture);
    soup_session_send_and_read_async(http(), message, G_PRIORITY_DEFAULT, nullptr, &pictureFetched,
                                     request);
    g_object_unref(message);
}

GtkWidget* iconButton(const char* icon, const char* tooltip) {
    GtkWidget* button = gtk_button_new_from_icon_name(icon);
    gtk_widget_set_tooltip_text(button, tooltip);
    gtk_widget_add_css_class(button, "flat");
    gtk_widget_set_valign(button, GTK_ALIGN_CENTER);
    return button;
}

void clearBox(GtkBox* box) {
    while (GtkWidget* child = gtk_widget_get_first_child(GTK_WIDGET(box))) {
        gtk_box_remove(box, child);
    }
}

GtkWidget* avatar(const std::optional<std::string>& url, const std::string& name, int size) {
    GtkWidget* frame = gtk_overlay_new();
    gtk_widget_add_css_class(frame, "vesk-avatar");
    gtk_widget_set_overflow(frame, GTK_OVERFLOW_HIDDEN);
    gtk_widget_set_size_request(frame, size, size);
    gtk_widget_set_valign(frame, GTK_ALIGN_CENTER);
    gtk_widget_set_halign(frame, GTK_ALIGN_CENTER);
    const std::string initial =
        name.empty()
            ? std::string("?")
            : std::string(
                  1, static_cast<char>(std::toupper(static_cast<unsigned char>(name.front()))));
    GtkWidget* letter = gtk_label_new(initial.c_str());
    gtk_overlay_set_child(GTK_OVERLAY(frame), letter);
    if (url && !url->empty()) {
        GtkWidget* picture = gtk_picture_new();
        gtk_picture_set_content_fit(GTK_PICTURE(picture), GTK_CONTENT_FIT_COVER);
        gtk_overlay_add_overlay(GTK_OVERLAY(frame), picture);
        loadPicture(GTK_PICTURE(picture), *url);
    }
    return frame;
}

}  // namespace vesk::gtk
