// The chat window: a window of its own above the host, with a header bar
// (operator, list or back button with the unread badge, close), a stack of
// screens that slide on push and pop, the overlays of loading, errors and
// activity, the action sheet, and the input bar under the conversation.
// Threading: GTK main thread only, which runs the main executor.
#pragma once

#include <gtk/gtk.h>

#include <map>
#include <memory>
#include <vector>

#include "gtk_input_bar.hpp"
#include "gtk_shared.hpp"
#include "vesk/chat_window.hpp"

namespace vesk::gtk {

class GtkChatWindow final : public ChatWindow, public std::enable_shared_from_this<GtkChatWindow> {
  public:
    explicit GtkChatWindow(std::shared_ptr<PlatformState> platform);
    ~GtkChatWindow() override;
    GtkChatWindow(const GtkChatWindow&) = delete;
    GtkChatWindow& operator=(const GtkChatWindow&) = delete;

    void setListener(std::weak_ptr<ChatWindowListener> listener) override;
    void present() override;
    void dismiss() override;
    void push(ChatScreenEntry entry, bool animated) override;
    void pop(bool animated) override;
    void setScreens(std::vector<ChatScreenEntry> entries) override;
    void showOverlay(const OverlayContent& overlay) override;
    void showScreenOverlay(ChatScreen screen, const OverlayContent& overlay) override;
    void setNavigationBar(const NavigationBarContent& bar) override;
    void setAccentColor(const std::string& color) override;
    void showActivity(bool shown) override;
    void showActionSheet(const std::vector<SheetAction>& actions) override;
    std::shared_ptr<InputBar> inputBar() override { return input_; }
    void openFile(const std::filesystem::path& file) override;
    void openImages(const std::vector<std::string>& urls, std::size_t index) override;
    void openUrl(const std::string& url) override;

    [[nodiscard]] GtkWindow* window() const { return window_; }
    [[nodiscard]] const GtkInputBar& input() const { return *input_; }

  private:
    struct Screen {
        ChatScreenEntry entry;
        GtkWidget* holder;  // the stack's child, around the page
    };
    struct Panel {
        GtkWidget* root;
        GtkWidget* spinner;
        GtkWidget* title;
        GtkWidget* text;
        GtkWidget* retry;
    };

    template <class F>
    void tell(F f) const {
        if (const auto listener = listener_.lock()) {
            f(*listener);
        }
    }
    Panel makePanel();
    static void fill(Panel& panel, const OverlayContent& overlay);
    GtkWidget* holderFor(const ChatScreenEntry& entry);
    void removeHolder(GtkWidget* holder);
    // What the top screen shows with it (input bar, its own overlay).
    void topChanged();
    // Also reports the new top screen, on a later turn.
    void stackChanged();
    void closeSheet();

    static gboolean onCloseRequest(GtkWindow* window, gpointer data);
    static void onTransition(GObject* stack, GParamSpec* property, gpointer data);
    static void onDragBegin(GtkGestureDrag* drag, double x, double y, gpointer data);
    static void onDragEnd(GtkGestureDrag* drag, double dx, double dy, gpointer data);

    std::shared_ptr<PlatformState> platform_;
    GtkWindow* window_;
    GtkWidget* leftButton_;
    GtkWidget* leftIcon_;
    GtkWidget* badge_;
    GtkWidget* titleBox_;
    GtkWidget* closeButton_;
    GtkWidget* stack_;
    GtkWidget* body_;
    Panel overlay_;
    Panel screenOverlay_;
    GtkWidget* activity_;
    GtkWidget* newButton_;
    GtkWidget* sheet_ = nullptr;
    GtkCssProvider* accent_ = nullptr;
    std::shared_ptr<GtkInputBar> input_;
    std::weak_ptr<ChatWindowListener> listener_;
    std::vector<Screen> screens_;
    // Popped screens still sliding out.
    std::vector<GtkWidget*> leaving_;
    double swipeFrom_ = 0;  // where the touch went down, across the body
    std::map<ChatScreen, OverlayContent> screenOverlays_;
    NavigationBarContent bar_;
    bool barShown_ = false;
    int nextName_ = 0;
};

}  // namespace vesk::gtk
