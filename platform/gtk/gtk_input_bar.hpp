// The text field under the conversation: a growing text view, an attach
// button, an emoji chooser and the send button the library enables.
// Threading: GTK main thread only.
#pragma once

#include <gtk/gtk.h>

#include <memory>
#include <string>
#include <vector>

#include "vesk/chat_window.hpp"

namespace vesk::gtk {

class GtkInputBar final : public InputBar {
  public:
    explicit GtkInputBar(GtkWindow* window);
    ~GtkInputBar() override;
    GtkInputBar(const GtkInputBar&) = delete;
    GtkInputBar& operator=(const GtkInputBar&) = delete;

    void setListener(std::weak_ptr<InputBarListener> listener) override;
    void setEnabled(bool enabled) override;
    void setText(const std::string& text) override;

    [[nodiscard]] GtkWidget* widget() const { return root_; }
    [[nodiscard]] GtkTextView* textView() const { return GTK_TEXT_VIEW(text_); }
    [[nodiscard]] GtkButton* sendButton() const { return GTK_BUTTON(send_); }

  private:
    static void onChanged(GtkTextBuffer* buffer, gpointer data);
    static void onSend(GtkButton* button, gpointer data);
    static void onAttach(GtkButton* button, gpointer data);
    static void onChosen(GtkNativeDialog* dialog, int response, gpointer data);
    static void onEmoji(GtkEmojiChooser* chooser, const char* text, gpointer data);
    static gboolean onKey(GtkEventControllerKey* controller, guint key, guint code,
                          GdkModifierType state, gpointer data);

    [[nodiscard]] std::string text() const;

    GtkWindow* window_;
    GtkWidget* root_;
    GtkWidget* text_;
    GtkWidget* send_;
    // Every object whose signals reach this bar.
    std::vector<GObject*> connected_;
    GtkFileChooserNative* chooser_ = nullptr;
    std::weak_ptr<InputBarListener> listener_;
    // The library's own setText is no change of the user's.
    bool settingText_ = false;
};

}  // namespace vesk::gtk
