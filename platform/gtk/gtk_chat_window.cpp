#include "gtk_chat_window.hpp"

#include <cmath>
#include <utility>

#include "gtk_web_page.hpp"

namespace vesk::gtk {

namespace {

constexpr guint kSlideMs = 250;

// Runs `f` on a later turn of the main loop.
template <class F>
void later(F f) {
    auto* task = new F(std::move(f));
    g_idle_add_full(
        G_PRIORITY_DEFAULT,
        [](gpointer data) -> gboolean {
            (*static_cast<F*>(data))();
            return G_SOURCE_REMOVE;
        },
        task, [](gpointer data) { delete static_cast<F*>(data); });
}

std::string htmlEscaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// A window showing one image of a list at a time, with previous and next.
struct ImageViewer {
    std::vector<std::string> urls;
    std::size_t index = 0;
    WebKitWebView* view = nullptr;
    GtkWidget* previous = nullptr;
    GtkWidget* next = nullptr;

    void show() {
        const std::string html =
            "<html><body style=\"margin:0;background:#111;display:flex;align-items:center;"
            "justify-content:center;height:100vh\"><img style=\"max-width:100%;max-height:100%\" "
            "src=\"" +
            htmlEscaped(urls[index]) + "\"></body></html>";
        webkit_web_view_load_html(view, html.c_str(), nullptr);
        gtk_widget_set_sensitive(previous, index > 0 ? TRUE : FALSE);
        gtk_widget_set_sensitive(next, index + 1 < urls.size() ? TRUE : FALSE);
    }
};

void openViewer(GtkWindow* parent, WebKitNetworkSession* session, std::vector<std::string> urls,
                std::size_t index) {
    if (urls.empty()) {
        return;
    }
    auto* viewer = new ImageViewer{std::move(urls), 0, nullptr, nullptr, nullptr};
    viewer->index = index < viewer->urls.size() ? index : 0;
    GtkWidget* window = gtk_window_new();
    gtk_window_set_title(GTK_WINDOW(window), "Image");
    gtk_window_set_default_size(GTK_WINDOW(window), 720, 560);
    gtk_window_set_transient_for(GTK_WINDOW(window), parent);
    gtk_window_set_destroy_with_parent(GTK_WINDOW(window), TRUE);
    GtkWidget* header = gtk_header_bar_new();
    viewer->previous = iconButton("go-previous-symbolic", "Previous");
    viewer->next = iconButton("go-next-symbolic", "Next");
    gtk_header_bar_pack_start(GTK_HEADER_BAR(header), viewer->previous);
    gtk_header_bar_pack_start(GTK_HEADER_BAR(header), viewer->next);
    gtk_window_set_titlebar(GTK_WINDOW(window), header);
    viewer->view =
        WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "network-session", session, nullptr));
    gtk_window_set_child(GTK_WINDOW(window), GTK_WIDGET(viewer->view));
    g_signal_connect_swapped(viewer->previous, "clicked", callback([](ImageViewer* v) {
                                 if (v->index > 0) {
                                     --v->index;
                                 }
                                 v->show();
                             }),
                             viewer);
    g_signal_connect_swapped(viewer->next, "clicked", callback([](ImageViewer* v) {
                                 if (v->index + 1 < v->urls.size()) {
                                     ++v->index;
                                 }
                                 v->show();
                             }),
                             viewer);
    g_object_set_data_full(G_OBJECT(window), "vesk-viewer", viewer,
                           [](gpointer data) { delete static_cast<ImageViewer*>(data); });
    viewer->show();
    gtk_window_present(GTK_WINDOW(window));
}

}  // namespace

GtkChatWindow::GtkChatWindow(std::shared_ptr<PlatformState> platform)
    : platform_(std::move(platform)),
      window_(GTK_WINDOW(g_object_ref(gtk_window_new()))),
      leftButton_(gtk_button_new()),
      leftIcon_(gtk_image_new_from_icon_name("view-list-symbolic")),
      badge_(gtk_label_new("")),
      titleBox_(gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 10)),
      closeButton_(iconButton("window-close-symbolic", "Close the chat")),
      stack_(gtk_stack_new()),
      body_(gtk_overlay_new()),
      activity_(gtk_box_new(GTK_ORIENTATION_VERTICAL, 0)),
      newButton_(iconButton("document-edit-symbolic", "New conversation")),
      input_(std::make_shared<GtkInputBar>(window_)) {
    installStyle();
    gtk_window_set_title(window_, "Chat");
    gtk_window_set_default_size(window_, 400, 640);
    gtk_widget_add_css_class(GTK_WIDGET(window_), "vesk-chat");
    gtk_widget_set_name(GTK_WIDGET(window_), "vesk-chat-window");
    if (platform_->options.host != nullptr) {
        gtk_window_set_transient_for(window_, platform_->options.host);
        gtk_window_set_destroy_with_parent(window_, TRUE);
    }

    GtkWidget* header = gtk_header_bar_new();
    gtk_header_bar_set_show_title_buttons(GTK_HEADER_BAR(header), FALSE);
    GtkWidget* leftFrame = gtk_overlay_new();
    gtk_overlay_set_child(GTK_OVERLAY(leftFrame), leftIcon_);
    gtk_widget_add_css_class(badge_, "vesk-badge");
    gtk_widget_set_halign(badge_, GTK_ALIGN_END);
    gtk_widget_set_valign(badge_, GTK_ALIGN_START);
    gtk_widget_set_visible(badge_, FALSE);
    gtk_widget_set_name(badge_, "vesk-unread");
    gtk_overlay_add_overlay(GTK_OVERLAY(leftFrame), badge_);
    gtk_button_set_child(GTK_BUTTON(leftButton_), leftFrame);
    gtk_widget_add_css_class(leftButton_, "flat");
    gtk_widget_set_visible(leftButton_, FALSE);
    gtk_header_bar_pack_start(GTK_HEADER_BAR(header), leftButton_);
    gtk_header_bar_set_title_widget(GTK_HEADER_BAR(header), titleBox_);
    gtk_header_bar_pack_end(GTK_HEADER_BAR(header), closeButton_);
    gtk_window_set_titlebar(window_, header);

    gtk_stack_set_transition_duration(GTK_STACK(stack_), kSlideMs);
    gtk_widget_set_vexpand(stack_, TRUE);
    gtk_overlay_set_child(GTK_OVERLAY(body_), stack_);
    overlay_ = makePanel();
    screenOverlay_ = makePanel();
    gtk_overlay_add_overlay(GTK_OVERLAY(body_), screenOverlay_.root);
    gtk_overlay_add_overlay(GTK_OVERLAY(body_), overlay_.root);

    GtkWidget* spinner = gtk_spinner_new();
    gtk_spinner_set_spinning(GTK_SPINNER(spinner), TRUE);
    gtk_widget_set_size_request(spinner, 32, 32);
    gtk_box_append(GTK_BOX(activity_), spinner);
    gtk_widget_add_css_class(activity_, "vesk-activity");
    gtk_widget_set_halign(activity_, GTK_ALIGN_CENTER);
    gtk_widget_set_valign(activity_, GTK_ALIGN_CENTER);
    gtk_widget_set_visible(activity_, FALSE);
    gtk_overlay_add_overlay(GTK_OVERLAY(body_), activity_);

    gtk_widget_remove_css_class(newButton_, "flat");
    gtk_widget_add_css_class(newButton_, "suggested-action");
    gtk_widget_add_css_class(newButton_, "vesk-launcher-button");
    gtk_widget_set_name(newButton_, "vesk-new-conversation");
    gtk_widget_set_halign(newButton_, GTK_ALIGN_END);
    gtk_widget_set_valign(newButton_, GTK_ALIGN_END);
    gtk_widget_set_margin_end(newButton_, 20);
    gtk_widget_set_margin_bottom(newButton_, 20);
    gtk_widget_set_visible(newButton_, FALSE);
    gtk_overlay_add_overlay(GTK_OVERLAY(body_), newButton_);
    g_signal_connect_swapped(
        newButton_, "clicked", callback([](GtkChatWindow* self) {
            self->tell([](ChatWindowListener& l) { l.newConversationTapped(); });
        }),
        this);

    GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_box_append(GTK_BOX(column), body_);
    gtk_widget_set_visible(input_->widget(), FALSE);
    gtk_box_append(GTK_BOX(column), input_->widget());
    gtk_window_set_child(window_, column);

    g_signal_connect_swapped(
        leftButton_, "clicked", callback([](GtkChatWindow* self) {
            const bool list = self->bar_.listButton;
            self->tell([list](ChatWindowListener& l) { list ? l.listTapped() : l.backTapped(); });
        }),
        this);
    g_signal_connect_swapped(closeButton_, "clicked", callback([](GtkChatWindow* self) {
                                 self->tell([](ChatWindowListener& l) { l.closeTapped(); });
                             }),
                             this);
    g_signal_connect(window_, "close-request", G_CALLBACK(&GtkChatWindow::onCloseRequest), this);
    // Edge swipes on a touch screen; the capture phase sees them before the page does, and
    // only watching (never claiming) leaves the page its own touches.
    GtkGesture* swipe = gtk_gesture_drag_new();
    gtk_gesture_single_set_touch_only(GTK_GESTURE_SINGLE(swipe), TRUE);
    gtk_event_controller_set_propagation_phase(GTK_EVENT_CONTROLLER(swipe), GTK_PHASE_CAPTURE);
    gtk_event_controller_set_name(GTK_EVENT_CONTROLLER(swipe), "vesk-edge-swipe");
    g_signal_connect(swipe, "drag-begin", G_CALLBACK(&GtkChatWindow::onDragBegin), this);
    g_signal_connect(swipe, "drag-end", G_CALLBACK(&GtkChatWindow::onDragEnd), this);
    gtk_widget_add_controller(body_, GTK_EVENT_CONTROLLER(swipe));
    g_signal_connect(stack_, "notify::transition-running", G_CALLBACK(&GtkChatWindow::onTransition),
                     this);
    gtk_window_present(window_);
}

GtkChatWindow::~GtkChatWindow() {
    for (GObject* object :
         {G_OBJECT(leftButton_), G_OBJECT(closeButton_), G_OBJECT(window_), G_OBJECT(newButton_),
          G_OBJECT(stack_), G_OBJECT(overlay_.retry), G_OBJECT(screenOverlay_.retry)}) {
        g_signal_handlers_disconnect_by_data(object, this);
    }
    closeSheet();
    for (auto& screen : screens_) {
        removeHolder(screen.holder);
    }
    for (GtkWidget* holder : std::exchange(leaving_, {})) {
        removeHolder(holder);
    }
    gtk_window_destroy(window_);
    g_object_unref(window_);
    if (accent_ != nullptr) {
        gtk_style_context_remove_provider_for_display(gdk_display_get_default(),
                                                      GTK_STYLE_PROVIDER(accent_));
        g_object_unref(accent_);
    }
}

GtkChatWindow::Panel GtkChatWindow::makePanel() {
    Panel panel{gtk_box_new(GTK_ORIENTATION_VERTICAL, 10), gtk_spinner_new(), gtk_label_new(""),
                gtk_label_new(""), gtk_button_new_with_label("")};
    gtk_widget_add_css_class(panel.root, "vesk-panel");
    gtk_widget_set_valign(panel.root, GTK_ALIGN_FILL);
    GtkWidget* middle = gtk_box_new(GTK_ORIENTATION_VERTICAL, 10);
    gtk_widget_set_valign(middle, GTK_ALIGN_CENTER);
    gtk_widget_set_vexpand(middle, TRUE);
    gtk_widget_set_margin_start(middle, 32);
    gtk_widget_set_margin_end(middle, 32);
    gtk_widget_set_size_request(panel.spinner, 32, 32);
    gtk_widget_add_css_class(panel.title, "vesk-panel-title");
    gtk_widget_add_css_class(panel.text, "vesk-panel-text");
    gtk_label_set_wrap(GTK_LABEL(panel.title), TRUE);
    gtk_label_set_wrap(GTK_LABEL(panel.text), TRUE);
    gtk_label_set_justify(GTK_LABEL(panel.title), GTK_JUSTIFY_CENTER);
    gtk_label_set_justify(GTK_LABEL(panel.text), GTK_JUSTIFY_CENTER);
    gtk_widget_add_css_class(panel.retry, "vesk-retry");
    gtk_widget_add_css_class(panel.retry, "suggested-action");
    gtk_widget_set_halign(panel.retry, GTK_ALIGN_CENTER);
    gtk_widget_set_margin_top(panel.retry, 8);
    for (GtkWidget* part : {panel.spinner, panel.title, panel.text, panel.retry}) {
        gtk_box_append(GTK_BOX(middle), part);
    }
    gtk_box_append(GTK_BOX(panel.root), middle);
    gtk_widget_set_visible(panel.root, FALSE);
    g_signal_connect_swapped(panel.retry, "clicked", callback([](GtkChatWindow* self) {
                                 self->tell([](ChatWindowListener& l) { l.retryTapped(); });
                             }),
                             this);
    return panel;
}

void GtkChatWindow::fill(Panel& panel, const OverlayContent& overlay) {
    const bool loading = overlay.kind == OverlayContent::Kind::loading;
    const bool error = overlay.kind == OverlayContent::Kind::error;
    gtk_widget_set_visible(panel.root, loading || error ? TRUE : FALSE);
    gtk_spinner_set_spinning(GTK_SPINNER(panel.spinner), loading ? TRUE : FALSE);
    gtk_widget_set_visible(panel.spinner, loading ? TRUE : FALSE);
    gtk_label_set_text(GTK_LABEL(panel.title), overlay.title.c_str());
    gtk_label_set_text(GTK_LABEL(panel.text), overlay.description.c_str());
    gtk_widget_set_visible(panel.title, error ? TRUE : FALSE);
    gtk_widget_set_visible(panel.text, error ? TRUE : FALSE);
    gtk_button_set_label(GTK_BUTTON(panel.retry), overlay.retry.c_str());
    gtk_widget_set_visible(panel.retry, error && !overlay.retry.empty() ? TRUE : FALSE);
}

void GtkChatWindow::onDragBegin(GtkGestureDrag* /*drag*/, double x, double /*y*/, gpointer data) {
    static_cast<GtkChatWindow*>(data)->swipeFrom_ = x;
}

void GtkChatWindow::onDragEnd(GtkGestureDrag* /*drag*/, double dx, double dy, gpointer data) {
    auto* self = static_cast<GtkChatWindow*>(data);
    const double x = self->swipeFrom_;
    // From within this of an edge, inward by at least the second, and more across than down.
    constexpr double kEdge = 24;
    constexpr double kDistance = 80;
    const double width = gtk_widget_get_width(self->body_);
    if (std::abs(dx) < kDistance || std::abs(dx) < 2 * std::abs(dy)) {
        return;
    }
    if (x <= kEdge && dx > 0) {
        self->tell([](ChatWindowListener& l) { l.swiped(ChatWindowListener::Edge::left); });
    } else if (x >= width - kEdge && dx < 0) {
        self->tell([](ChatWindowListener& l) { l.swiped(ChatWindowListener::Edge::right); });
    }
}

void GtkChatWindow::setListener(std::weak_ptr<ChatWindowListener> listener) {
    listener_ = std::move(listener);
}

void GtkChatWindow::present() {
    gtk_window_present(window_);
}

void GtkChatWindow::dismiss() {
    closeSheet();
    gtk_widget_set_visible(GTK_WIDGET(window_), FALSE);
}

GtkWidget* GtkChatWindow::holderFor(const ChatScreenEntry& entry) {
    GtkWidget* holder = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_widget_set_name(holder, chatScreenName(entry.screen));
    if (const auto page = std::dynamic_pointer_cast<GtkWebPage>(entry.page)) {
        // A page shown before (the list, pushed again) leaves its old place.
        if (GtkWidget* parent = gtk_widget_get_parent(page->widget()); GTK_IS_BOX(parent)) {
            gtk_box_remove(GTK_BOX(parent), page->widget());
        }
        gtk_box_append(GTK_BOX(holder), page->widget());
    }
    const std::string name = "screen-" + std::to_string(nextName_++);
    gtk_stack_add_named(GTK_STACK(stack_), holder, name.c_str());
    return holder;
}

void GtkChatWindow::removeHolder(GtkWidget* holder) {
    if (gtk_widget_get_parent(holder) == stack_) {
        gtk_stack_remove(GTK_STACK(stack_), holder);
    }
}

void GtkChatWindow::push(ChatScreenEntry entry, bool animated) {
    GtkWidget* holder = holderFor(entry);
    screens_.push_back({std::move(entry), holder});
    gtk_stack_set_transition_type(GTK_STACK(stack_), animated ? GTK_STACK_TRANSITION_TYPE_SLIDE_LEFT
                                                              : GTK_STACK_TRANSITION_TYPE_NONE);
    gtk_stack_set_visible_child(GTK_STACK(stack_), holder);
    stackChanged();
}

void GtkChatWindow::pop(bool animated) {
    if (screens_.empty()) {
        return;
    }
    GtkWidget* gone = screens_.back().holder;
    screens_.pop_back();
    if (!screens_.empty()) {
        gtk_stack_set_transition_type(GTK_STACK(stack_), animated
                                                             ? GTK_STACK_TRANSITION_TYPE_SLIDE_RIGHT
                                                             : GTK_STACK_TRANSITION_TYPE_NONE);
        gtk_stack_set_visible_child(GTK_STACK(stack_), screens_.back().holder);
    }
    if (animated && gtk_stack_get_transition_running(GTK_STACK(stack_))) {
        leaving_.push_back(gone);
    } else {
        removeHolder(gone);
    }
    stackChanged();
}

void GtkChatWindow::setScreens(std::vector<ChatScreenEntry> entries) {
    std::vector<Screen> old = std::exchange(screens_, {});
    gtk_stack_set_transition_type(GTK_STACK(stack_), GTK_STACK_TRANSITION_TYPE_NONE);
    for (auto& entry : entries) {
        GtkWidget* holder = holderFor(entry);
        screens_.push_back({std::move(entry), holder});
    }
    if (!screens_.empty()) {
        gtk_stack_set_visible_child(GTK_STACK(stack_), screens_.back().holder);
    }
    for (auto& screen : old) {
        removeHolder(screen.holder);
    }
    stackChanged();
}

void GtkChatWindow::onTransition(GObject* /*stack*/, GParamSpec* /*property*/, gpointer data) {
    auto* self = static_cast<GtkChatWindow*>(data);
    if (gtk_stack_get_transition_running(GTK_STACK(self->stack_))) {
        return;
    }
    for (GtkWidget* holder : std::exchange(self->leaving_, {})) {
        self->removeHolder(holder);
    }
}

void GtkChatWindow::topChanged() {
    if (screens_.empty()) {
        gtk_widget_set_visible(input_->widget(), FALSE);
        gtk_widget_set_visible(screenOverlay_.root, FALSE);
        gtk_widget_set_visible(newButton_, FALSE);
        return;
    }
    const ChatScreen top = screens_.back().entry.screen;
    gtk_widget_set_visible(input_->widget(), top == ChatScreen::conversation ? TRUE : FALSE);
    gtk_widget_set_visible(newButton_, top == ChatScreen::list ? TRUE : FALSE);
    const auto found = screenOverlays_.find(top);
    fill(screenOverlay_, found != screenOverlays_.end() ? found->second : OverlayContent{});
}

void GtkChatWindow::stackChanged() {
    topChanged();
    if (screens_.empty()) {
        return;
    }
    later([listener = listener_, top = screens_.back().entry.screen] {
        if (const auto l = listener.lock()) {
            l->screenAppeared(top);
        }
    });
}

void GtkChatWindow::showOverlay(const OverlayContent& overlay) {
    fill(overlay_, overlay);
}

void GtkChatWindow::showScreenOverlay(ChatScreen screen, const OverlayContent& overlay) {
    screenOverlays_[screen] = overlay;
    topChanged();
}

void GtkChatWindow::setNavigationBar(const NavigationBarContent& bar) {
    bar_ = bar;
    clearBox(GTK_BOX(titleBox_));
    const bool operatorShown = bar.listButton && !bar.title.empty();
    if (operatorShown) {
        gtk_box_append(GTK_BOX(titleBox_), avatar(bar.avatarUrl, bar.title, 32));
    }
    GtkWidget* title = gtk_label_new(bar.title.c_str());
    gtk_widget_add_css_class(title, "vesk-title");
    gtk_label_set_ellipsize(GTK_LABEL(title), PANGO_ELLIPSIZE_END);
    gtk_widget_set_name(title, "vesk-title");
    gtk_box_append(GTK_BOX(titleBox_), title);
    gtk_widget_set_visible(leftButton_, bar.listButton || bar.backButton ? TRUE : FALSE);
    gtk_image_set_from_icon_name(GTK_IMAGE(leftIcon_),
                                 bar.listButton ? "view-list-symbolic" : "go-previous-symbolic");
    gtk_widget_set_tooltip_text(leftButton_, bar.listButton ? "Conversations" : "Back");
    const bool badge = bar.listButton && bar.unread > 0;
    gtk_label_set_text(GTK_LABEL(badge_),
                       bar.unread > 99 ? "..." : std::to_string(bar.unread).c_str());
    gtk_widget_set_visible(badge_, badge ? TRUE : FALSE);
    gtk_widget_set_visible(closeButton_, bar.closeButton ? TRUE : FALSE);
}

void GtkChatWindow::setAccentColor(const std::string& color) {
    const std::string c = cssColor(color);
    setCss(accent_, "#vesk-chat-window .suggested-action { background: " + c +
                        "; color: #ffffff; }\n#vesk-chat-window spinner { color: " + c +
                        "; }\n#vesk-chat-window .vesk-avatar { background: " + c + "; }\n");
}

void GtkChatWindow::showActivity(bool shown) {
    gtk_widget_set_visible(activity_, shown ? TRUE : FALSE);
}

void GtkChatWindow::closeSheet() {
    if (sheet_ != nullptr) {
        gtk_overlay_remove_overlay(GTK_OVERLAY(body_), sheet_);
        sheet_ = nullptr;
    }
}

void GtkChatWindow::showActionSheet(const std::vector<SheetAction>& actions) {
    closeSheet();
    sheet_ = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_widget_add_css_class(sheet_, "vesk-dim");
    gtk_widget_set_name(sheet_, "vesk-sheet");
    GtkWidget* card = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_widget_add_css_class(card, "vesk-sheet");
    gtk_widget_set_valign(card, GTK_ALIGN_END);
    gtk_widget_set_vexpand(card, TRUE);
    std::optional<std::size_t> cancel;
    for (std::size_t i = 0; i < actions.size(); ++i) {
        GtkWidget* button = gtk_button_new_with_label(actions[i].title.c_str());
        gtk_widget_add_css_class(button, "flat");
        if (actions[i].style == SheetAction::Style::destructive) {
            gtk_widget_add_css_class(button, "destructive");
        } else if (actions[i].style == SheetAction::Style::cancel) {
            gtk_widget_add_css_class(button, "cancel");
            cancel = i;
        }
        g_object_set_data(G_OBJECT(button), "vesk-index", GSIZE_TO_POINTER(i));
        g_signal_connect(
            button, "clicked", callback([](GtkButton* b, gpointer data) {
                auto* self = static_cast<GtkChatWindow*>(data);
                const auto index = static_cast<std::size_t>(
                    GPOINTER_TO_SIZE(g_object_get_data(G_OBJECT(b), "vesk-index")));
                const auto keep = self->shared_from_this();
                self->closeSheet();
                self->tell([index](ChatWindowListener& l) { l.sheetActionChosen(index); });
            }),
            this);
        gtk_box_append(GTK_BOX(card), button);
    }
    // A tap beside the card is the cancel action, when there is one.
    if (cancel) {
        GtkGesture* click = gtk_gesture_click_new();
        g_object_set_data(G_OBJECT(click), "vesk-index", GSIZE_TO_POINTER(*cancel));
        g_signal_connect(
            click, "released",
            callback([](GtkGestureClick* gesture, int, double, double y, gpointer data) {
                auto* self = static_cast<GtkChatWindow*>(data);
                GtkWidget* sheet = gtk_event_controller_get_widget(GTK_EVENT_CONTROLLER(gesture));
                GtkWidget* box = gtk_widget_get_first_child(sheet);
                graphene_point_t at{0, static_cast<float>(y)};
                graphene_point_t inCard;
                if (gtk_widget_compute_point(sheet, box, &at, &inCard) && inCard.y >= 0) {
                    return;
                }
                const auto index = static_cast<std::size_t>(
                    GPOINTER_TO_SIZE(g_object_get_data(G_OBJECT(gesture), "vesk-index")));
                const auto keep = self->shared_from_this();
                self->closeSheet();
                self->tell([index](ChatWindowListener& l) { l.sheetActionChosen(index); });
            }),
            this);
        gtk_widget_add_controller(sheet_, GTK_EVENT_CONTROLLER(click));
    }
    gtk_box_append(GTK_BOX(sheet_), card);
    gtk_overlay_add_overlay(GTK_OVERLAY(body_), sheet_);
}

void GtkChatWindow::openFile(const std::filesystem::path& file) {
    gchar* uri = g_filename_to_uri(file.c_str(), nullptr, nullptr);
    if (uri != nullptr) {
        platform_->openUri(uri);
        g_free(uri);
    }
}

void GtkChatWindow::openImages(const std::vector<std::string>& urls, std::size_t index) {
    openViewer(window_, platform_->session, urls, index);
}

void GtkChatWindow::openUrl(const std::string& url) {
    platform_->openUri(url);
}

gboolean GtkChatWindow::onCloseRequest(GtkWindow* /*window*/, gpointer data) {
    auto* self = static_cast<GtkChatWindow*>(data);
    // The library closes the chat; the window goes when it says so.
    self->tell([](ChatWindowListener& l) { l.closeTapped(); });
    return TRUE;
}

}  // namespace vesk::gtk
