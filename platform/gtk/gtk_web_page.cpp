#include "gtk_web_page.hpp"

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace vesk::gtk {

namespace {

bool debugging() {
    static const bool on = std::getenv("VESK_GTK_DEBUG") != nullptr;
    return on;
}

void scriptDone(GObject* source, GAsyncResult* result, gpointer /*data*/) {
    GError* error = nullptr;
    JSCValue* value =
        webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, &error);
    if (error != nullptr) {
        std::fprintf(stderr, "vesk-gtk: script failed: %s\n", error->message);
        g_error_free(error);
    }
    if (value != nullptr) {
        g_object_unref(value);
    }
}

// Errors of loads this page ended itself: a new load, a stop, a cancelled navigation.
bool selfInflicted(const GError* error) {
    return g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED) ||
           g_error_matches(error, WEBKIT_POLICY_ERROR,
                           WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE);
}

}  // namespace

GtkWebPage::GtkWebPage(PageMode mode, WebKitNetworkSession* session)
    : mode_(mode),
      view_(WEBKIT_WEB_VIEW(g_object_ref_sink(
          g_object_new(WEBKIT_TYPE_WEB_VIEW, "network-session", session, nullptr)))) {
    WebKitSettings* settings = webkit_web_view_get_settings(view_);
    webkit_settings_set_javascript_can_open_windows_automatically(settings, FALSE);
    webkit_settings_set_media_playback_requires_user_gesture(settings, TRUE);
    webkit_settings_set_enable_write_console_messages_to_stdout(settings, debugging());
    const GdkRGBA white{1, 1, 1, 1};
    webkit_web_view_set_background_color(view_, &white);
    gtk_widget_set_hexpand(widget(), TRUE);
    gtk_widget_set_vexpand(widget(), TRUE);
    gtk_widget_add_css_class(widget(), "vesk-page");
    g_signal_connect(view_, "decide-policy", G_CALLBACK(&GtkWebPage::onDecidePolicy), this);
    g_signal_connect(view_, "load-changed", G_CALLBACK(&GtkWebPage::onLoadChanged), this);
    g_signal_connect(view_, "load-failed", G_CALLBACK(&GtkWebPage::onLoadFailed), this);
    g_signal_connect(view_, "web-process-terminated", G_CALLBACK(&GtkWebPage::onTerminated), this);
}

GtkWebPage::~GtkWebPage() {
    stopTimer();
    if (flush_ != 0) {
        g_source_remove(flush_);
    }
    g_signal_handlers_disconnect_by_data(view_, this);
    webkit_web_view_stop_loading(view_);
    if (gtk_widget_get_parent(widget()) != nullptr) {
        gtk_widget_unparent(widget());
    }
    g_object_unref(view_);
}

void GtkWebPage::setListener(std::weak_ptr<WebPageListener> listener) {
    listener_ = std::move(listener);
}

void GtkWebPage::load(const std::string& url, std::chrono::milliseconds timeout) {
    flush();  // what was given before the load is for the page loaded now
    stopTimer();
    failed_ = false;
    const auto ms = timeout.count() <= 0 ? 1 : timeout.count();
    timer_ = g_timeout_add(static_cast<guint>(ms), &GtkWebPage::onTimeout, this);
    webkit_web_view_load_uri(view_, url.c_str());
}

// Each evaluation is a round trip to the web process, and a flood of replies sends a
// script each: the scripts of one main-loop turn go as one evaluation, each in a block
// of its own so that one that throws stops no later one.
void GtkWebPage::evaluateScript(const std::string& script) {
    pending_ += "try {\n";
    pending_ += script;
    pending_ += "\n} catch (e) { console.error(e); }\n";
    if (flush_ == 0) {
        flush_ = g_idle_add_full(G_PRIORITY_DEFAULT, &GtkWebPage::onFlush, this, nullptr);
    }
}

gboolean GtkWebPage::onFlush(gpointer data) {
    auto* self = static_cast<GtkWebPage*>(data);
    self->flush_ = 0;
    self->flush();
    return G_SOURCE_REMOVE;
}

void GtkWebPage::flush() {
    if (flush_ != 0) {
        g_source_remove(flush_);
        flush_ = 0;
    }
    if (pending_.empty()) {
        return;
    }
    const std::string script = std::exchange(pending_, {});
    webkit_web_view_evaluate_javascript(view_, script.c_str(), static_cast<gssize>(script.size()),
                                        nullptr, nullptr, nullptr,
                                        debugging() ? &scriptDone : nullptr, nullptr);
}

gboolean GtkWebPage::onDecidePolicy(WebKitWebView* /*view*/, WebKitPolicyDecision* decision,
                                    WebKitPolicyDecisionType type, gpointer data) {
    if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) {
        return FALSE;
    }
    auto* self = static_cast<GtkWebPage*>(data);
    const auto keep = self->shared_from_this();
    WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
        WEBKIT_NAVIGATION_POLICY_DECISION(decision));
    const gchar* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
    const std::string url = uri != nullptr ? uri : "";
    bool allowed = true;
    if (const auto listener = self->listener()) {
        allowed = listener->decideNavigation(url) == WebPageListener::Decision::allow;
    }
    // A page never opens windows of its own; links the library lets through
    // open in place.
    if (!allowed || type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION) {
        webkit_policy_decision_ignore(decision);
        return TRUE;
    }
    return FALSE;
}

void GtkWebPage::onLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer data) {
    auto* self = static_cast<GtkWebPage*>(data);
    const auto keep = self->shared_from_this();
    if (event == WEBKIT_LOAD_STARTED) {
        self->failed_ = false;
    } else if (event == WEBKIT_LOAD_COMMITTED) {
        // An error page the server sent is a failed load, not a page.
        WebKitWebResource* resource = webkit_web_view_get_main_resource(view);
        WebKitURIResponse* response =
            resource != nullptr ? webkit_web_resource_get_response(resource) : nullptr;
        const guint status =
            response != nullptr ? webkit_uri_response_get_status_code(response) : 0;
        if (status >= 400) {
            self->fail("status " + std::to_string(status));
            webkit_web_view_stop_loading(view);
        }
    } else if (event == WEBKIT_LOAD_FINISHED) {
        self->stopTimer();
        if (!self->failed_) {
            if (const auto listener = self->listener()) {
                listener->didFinishLoading();
            }
        }
    }
}

gboolean GtkWebPage::onLoadFailed(WebKitWebView* /*view*/, WebKitLoadEvent /*event*/,
                                  gchar* /*uri*/, GError* error, gpointer data) {
    auto* self = static_cast<GtkWebPage*>(data);
    const auto keep = self->shared_from_this();
    if (!selfInflicted(error)) {
        self->fail(error != nullptr ? error->message : "load failed");
    }
    return TRUE;  // the chat's own error panel shows instead of WebKit's page
}

void GtkWebPage::onTerminated(WebKitWebView* /*view*/, WebKitWebProcessTerminationReason reason,
                              gpointer data) {
    auto* self = static_cast<GtkWebPage*>(data);
    const auto keep = self->shared_from_this();
    self->stopTimer();
    if (debugging()) {
        std::fprintf(stderr, "vesk-gtk: web process ended (%d)\n", static_cast<int>(reason));
    }
    if (const auto listener = self->listener()) {
        listener->webProcessTerminated();
    }
}

gboolean GtkWebPage::onTimeout(gpointer data) {
    auto* self = static_cast<GtkWebPage*>(data);
    const auto keep = self->shared_from_this();
    self->timer_ = 0;
    self->fail("timed out");
    webkit_web_view_stop_loading(self->view_);
    return G_SOURCE_REMOVE;
}

void GtkWebPage::fail(const std::string& error) {
    if (failed_) {
        return;
    }
    failed_ = true;
    stopTimer();
    if (const auto listener = this->listener()) {
        listener->didFailLoading(error);
    }
}

void GtkWebPage::stopTimer() {
    if (timer_ != 0) {
        g_source_remove(timer_);
        timer_ = 0;
    }
}

}  // namespace vesk::gtk
