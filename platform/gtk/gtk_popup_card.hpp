// A popup's card over the host: a dimming layer in the host's overlay that
// takes every click, the page, a close button and the powered-by pill, each
// where the library's layout puts it.
//
// The web process draws the page a frame or more after the page is given a
// new size; until then the view shows its old picture. So the card's parts
// stay transparent until the loaded page has drawn at its layout's height
// (or, should it never, for a short while), and nobody sees an empty strip
// with the pill below it.
// Threading: GTK main thread only.
#pragma once

#include <gtk/gtk.h>

#include <memory>
#include <string>

#include "gtk_shared.hpp"
#include "vesk/popup_card.hpp"

namespace vesk::gtk {

class GtkPopupCard final : public PopupCard {
  public:
    GtkPopupCard(std::shared_ptr<PlatformState> platform, std::shared_ptr<GtkWebPage> page);
    ~GtkPopupCard() override;
    GtkPopupCard(const GtkPopupCard&) = delete;
    GtkPopupCard& operator=(const GtkPopupCard&) = delete;

    void setListener(std::weak_ptr<PopupCardListener> listener) override;
    void present() override;
    void dismiss() override;
    void setLayout(const PopupLayout& layout) override;
    [[nodiscard]] double pillWidth(const std::string& text) const override;
    void openUrl(const std::string& url) override;

    [[nodiscard]] bool shown() const { return shown_; }
    [[nodiscard]] GtkWidget* widget() const { return scrim_; }

  private:
    static void onDrawn(GObject* source, GAsyncResult* result, gpointer data);
    // The host's overlay places its children on every allocation: a new size
    // there is a new screen for the card.
    static gboolean onPlaced(GtkOverlay* layer, GtkWidget* child, GdkRectangle* where,
                             gpointer data);
    // Shows the card's parts once the page has drawn at the layout's height.
    void revealWhenDrawn();
    void reveal();

    std::shared_ptr<PlatformState> platform_;
    std::shared_ptr<GtkWebPage> page_;
    GtkWidget* scrim_;
    GtkWidget* card_;
    GtkWidget* close_;
    GtkWidget* pill_;
    GtkWidget* pillText_;
    GtkOverlay* layer_ = nullptr;
    std::weak_ptr<PopupCardListener> listener_;
    bool shown_ = false;
    bool dismissed_ = false;
    bool revealed_ = false;
    int pageHeight_ = 0;
    GCancellable* drawn_ = nullptr;
    guint revealTimer_ = 0;
    gulong placed_ = 0;
    guint relayout_ = 0;
    int layerWidth_ = 0;
    int layerHeight_ = 0;
};

}  // namespace vesk::gtk
