// A page of the chat's web widget in a WebKitWebView.
//
// The view reports on the GTK thread, which runs the main executor, so the
// listener is called from WebKit's signal handlers directly.
//
// Scripts given in one main-loop turn run as one evaluation at the next, each as a
// block: a script must parse on its own, and its top-level let and const end with it.
#pragma once

#include <webkit/webkit.h>

#include <memory>
#include <string>

#include "vesk/web_page.hpp"

namespace vesk::gtk {

class GtkWebPage final : public WebPage, public std::enable_shared_from_this<GtkWebPage> {
  public:
    GtkWebPage(PageMode mode, WebKitNetworkSession* session);
    ~GtkWebPage() override;
    GtkWebPage(const GtkWebPage&) = delete;
    GtkWebPage& operator=(const GtkWebPage&) = delete;

    void setListener(std::weak_ptr<WebPageListener> listener) override;
    void load(const std::string& url, std::chrono::milliseconds timeout) override;
    void evaluateScript(const std::string& script) override;

    [[nodiscard]] PageMode mode() const { return mode_; }
    [[nodiscard]] WebKitWebView* view() const { return view_; }
    [[nodiscard]] GtkWidget* widget() const { return GTK_WIDGET(view_); }

  private:
    static gboolean onDecidePolicy(WebKitWebView* view, WebKitPolicyDecision* decision,
                                   WebKitPolicyDecisionType type, gpointer data);
    static void onLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer data);
    static gboolean onLoadFailed(WebKitWebView* view, WebKitLoadEvent event, gchar* uri,
                                 GError* error, gpointer data);
    static void onTerminated(WebKitWebView* view, WebKitWebProcessTerminationReason reason,
                             gpointer data);
    static gboolean onTimeout(gpointer data);
    static gboolean onFlush(gpointer data);

    void fail(const std::string& error);
    void stopTimer();
    void flush();
    [[nodiscard]] std::shared_ptr<WebPageListener> listener() const { return listener_.lock(); }

    PageMode mode_;
    WebKitWebView* view_;
    std::weak_ptr<WebPageListener> listener_;
    guint timer_ = 0;
    std::string pending_;
    guint flush_ = 0;
    // This main-frame load already failed: its end is no finish.
    bool failed_ = false;
};

}  // namespace vesk::gtk
