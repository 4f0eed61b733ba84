#include "gtk_input_bar.hpp"

#include "gtk_shared.hpp"

namespace vesk::gtk {

GtkInputBar::GtkInputBar(GtkWindow* window)
    : window_(window),
      root_(GTK_WIDGET(g_object_ref_sink(gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6)))),
      text_(gtk_text_view_new()),
      send_(iconButton("mail-send-symbolic", "Send")) {
    gtk_widget_add_css_class(root_, "vesk-input");
    gtk_widget_set_name(root_, "vesk-input-bar");

    GtkWidget* attach = iconButton("mail-attachment-symbolic", "Attach a file");
    g_signal_connect(attach, "clicked", G_CALLBACK(&GtkInputBar::onAttach), this);
    connected_.push_back(G_OBJECT(attach));
    gtk_widget_set_valign(attach, GTK_ALIGN_END);

    GtkWidget* frame = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 4);
    gtk_widget_add_css_class(frame, "vesk-input-frame");
    gtk_widget_set_hexpand(frame, TRUE);
    GtkWidget* scroller = gtk_scrolled_window_new();
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroller), GTK_POLICY_NEVER,
                                   GTK_POLICY_AUTOMATIC);
    // Grows with its text up to a few lines, then scrolls.
    gtk_scrolled_window_set_propagate_natural_height(GTK_SCROLLED_WINDOW(scroller), TRUE);
    gtk_scrolled_window_set_max_content_height(GTK_SCROLLED_WINDOW(scroller), 120);
    gtk_widget_set_hexpand(scroller, TRUE);
    gtk_widget_set_valign(scroller, GTK_ALIGN_CENTER);
    gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(text_), GTK_WRAP_WORD_CHAR);
    gtk_text_view_set_accepts_tab(GTK_TEXT_VIEW(text_), FALSE);
    gtk_widget_set_name(text_, "vesk-input-text");
    gtk_scrolled_window_set_child(GTK_SCROLLED_WINDOW(scroller), text_);
    gtk_box_append(GTK_BOX(frame), scroller);

    GtkWidget* emoji = gtk_menu_button_new();
    gtk_menu_button_set_icon_name(GTK_MENU_BUTTON(emoji), "face-smile-symbolic");
    gtk_widget_add_css_class(emoji, "flat");
    gtk_widget_set_valign(emoji, GTK_ALIGN_END);
    GtkWidget* chooser = gtk_emoji_chooser_new();
    gtk_menu_button_set_popover(GTK_MENU_BUTTON(emoji), chooser);
    g_signal_connect(chooser, "emoji-picked", G_CALLBACK(&GtkInputBar::onEmoji), this);
    connected_.push_back(G_OBJECT(chooser));
    gtk_box_append(GTK_BOX(frame), emoji);

    gtk_widget_set_name(send_, "vesk-send");
    gtk_widget_set_valign(send_, GTK_ALIGN_END);
    gtk_widget_add_css_class(send_, "suggested-action");
    gtk_widget_remove_css_class(send_, "flat");
    gtk_widget_set_sensitive(send_, FALSE);
    g_signal_connect(send_, "clicked", G_CALLBACK(&GtkInputBar::onSend), this);
    connected_.push_back(G_OBJECT(send_));

    gtk_box_append(GTK_BOX(root_), attach);
    gtk_box_append(GTK_BOX(root_), frame);
    gtk_box_append(GTK_BOX(root_), send_);

    g_signal_connect(gtk_text_view_get_buffer(GTK_TEXT_VIEW(text_)), "changed",
                     G_CALLBACK(&GtkInputBar::onChanged), this);
    connected_.push_back(G_OBJECT(gtk_text_view_get_buffer(GTK_TEXT_VIEW(text_))));
    GtkEventController* keys = gtk_event_controller_key_new();
    g_signal_connect(keys, "key-pressed", G_CALLBACK(&GtkInputBar::onKey), this);
    connected_.push_back(G_OBJECT(keys));
    gtk_widget_add_controller(text_, keys);
}

GtkInputBar::~GtkInputBar() {
    for (GObject* object : connected_) {
        g_signal_handlers_disconnect_by_data(object, this);
    }
    if (chooser_ != nullptr) {
        g_signal_handlers_disconnect_by_data(chooser_, this);
        gtk_native_dialog_destroy(GTK_NATIVE_DIALOG(chooser_));
        g_object_unref(chooser_);
    }
    g_object_unref(root_);
}

void GtkInputBar::setListener(std::weak_ptr<InputBarListener> listener) {
    listener_ = std::move(listener);
}

void GtkInputBar::setEnabled(bool enabled) {
    gtk_widget_set_sensitive(send_, enabled ? TRUE : FALSE);
}

void GtkInputBar::setText(const std::string& text) {
    settingText_ = true;
    gtk_text_buffer_set_text(gtk_text_view_get_buffer(GTK_TEXT_VIEW(text_)), text.c_str(),
                             static_cast<int>(text.size()));
    settingText_ = false;
}

std::string GtkInputBar::text() const {
    GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(text_));
    GtkTextIter start;
    GtkTextIter end;
    gtk_text_buffer_get_bounds(buffer, &start, &end);
    gchar* raw = gtk_text_buffer_get_text(buffer, &start, &end, FALSE);
    std::string out = raw != nullptr ? raw : "";
    g_free(raw);
    return out;
}

void GtkInputBar::onChanged(GtkTextBuffer* /*buffer*/, gpointer data) {
    auto* self = static_cast<GtkInputBar*>(data);
    if (self->settingText_) {
        return;
    }
    if (const auto listener = self->listener_.lock()) {
        listener->textChanged(self->text());
    }
}

void GtkInputBar::onSend(GtkButton* /*button*/, gpointer data) {
    auto* self = static_cast<GtkInputBar*>(data);
    if (const auto listener = self->listener_.lock()) {
        listener->sendTapped();
    }
}

gboolean GtkInputBar::onKey(GtkEventControllerKey* /*controller*/, guint key, guint /*code*/,
                            GdkModifierType state, gpointer data) {
    auto* self = static_cast<GtkInputBar*>(data);
    const bool enter = key == GDK_KEY_Return || key == GDK_KEY_KP_Enter;
    // Shift+Enter starts a new line; Enter sends.
    if (!enter || (state & GDK_SHIFT_MASK) != 0) {
        return FALSE;
    }
    if (gtk_widget_get_sensitive(self->send_)) {
        gtk_widget_activate(self->send_);
    }
    return TRUE;
}

void GtkInputBar::onAttach(GtkButton* /*button*/, gpointer data) {
    auto* self = static_cast<GtkInputBar*>(data);
    if (self->chooser_ == nullptr) {
        self->chooser_ = gtk_file_chooser_native_new(
            "Send a file", self->window_, GTK_FILE_CHOOSER_ACTION_OPEN, "_Send", "_Cancel");
        gtk_native_dialog_set_modal(GTK_NATIVE_DIALOG(self->chooser_), TRUE);
        g_signal_connect(self->chooser_, "response", G_CALLBACK(&GtkInputBar::onChosen), self);
    }
    gtk_native_dialog_show(GTK_NATIVE_DIALOG(self->chooser_));
}

void GtkInputBar::onChosen(GtkNativeDialog* dialog, int response, gpointer data) {
    auto* self = static_cast<GtkInputBar*>(data);
    if (response != GTK_RESPONSE_ACCEPT) {
        return;
    }
    GFile* file = gtk_file_chooser_get_file(GTK_FILE_CHOOSER(dialog));
    gchar* path = file != nullptr ? g_file_get_path(file) : nullptr;
    if (path != nullptr) {
        if (const auto listener = self->listener_.lock()) {
            listener->fileChosen(path);
        }
    }
    g_free(path);
    if (file != nullptr) {
        g_object_unref(file);
    }
}

void GtkInputBar::onEmoji(GtkEmojiChooser* /*chooser*/, const char* text, gpointer data) {
    auto* self = static_cast<GtkInputBar*>(data);
    GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(self->text_));
    gtk_text_buffer_insert_at_cursor(buffer, text, -1);
}

}  // namespace vesk::gtk
