// The launcher in a host's GtkOverlay: a round button at the bottom right with
// its unread badge, the bubble of the newest unread reply above it, and the
// menu of channels that unfolds over a dimming layer.
// Threading: GTK main thread only.
#pragma once

#include <gtk/gtk.h>

#include <memory>
#include <string>

#include "gtk_shared.hpp"
#include "vesk/launcher.hpp"

namespace vesk::gtk {

class GtkLauncher final : public LauncherView {
  public:
    GtkLauncher(std::shared_ptr<PlatformState> platform, std::shared_ptr<HostView> host);
    ~GtkLauncher() override;
    GtkLauncher(const GtkLauncher&) = delete;
    GtkLauncher& operator=(const GtkLauncher&) = delete;

    void setListener(std::weak_ptr<LauncherListener> listener) override;
    void show(const LauncherContent& content) override;
    void remove() override;
    void openUrl(const std::string& url) override;
    [[nodiscard]] Size measureBubbleText(const std::string& text, double maxWidth,
                                         int maxLines) const override;
    [[nodiscard]] bool isRightToLeft() const override;

    [[nodiscard]] bool shown() const { return overlay_ != nullptr; }
    [[nodiscard]] GtkWidget* button() const { return button_; }
    [[nodiscard]] GtkLabel* badge() const;
    [[nodiscard]] GtkLabel* bubbleText() const;

  private:
    template <class F>
    void tell(F f) const {
        if (const auto listener = listener_.lock()) {
            f(*listener);
        }
    }
    void rebuild();

    std::shared_ptr<PlatformState> platform_;
    std::shared_ptr<HostView> host_;
    GtkOverlay* overlay_ = nullptr;
    GtkWidget* dim_;
    GtkWidget* root_;
    GtkWidget* bubble_;
    GtkWidget* bubbleText_;
    GtkWidget* bubbleAvatar_;
    GtkWidget* items_;
    GtkWidget* button_;
    GtkWidget* icon_;
    GtkWidget* badge_;
    GtkCssProvider* color_ = nullptr;
    std::weak_ptr<LauncherListener> listener_;
    LauncherContent content_;
};

}  // namespace vesk::gtk
