#include "engine_support.hpp"

#include <libsoup/soup.h>

#include "vesk/json_value.hpp"

namespace vesk::gtk::engine {

bool runUntil(const std::function<bool()>& fact, std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!fact()) {
        if (std::chrono::steady_clock::now() > end) {
            return fact();
        }
        // Wakes at least every 10 ms to look again, whatever the loop is waiting for.
        GSource* tick = g_timeout_source_new(10);
        g_source_set_callback(
            tick, [](gpointer) -> gboolean { return G_SOURCE_REMOVE; }, nullptr, nullptr);
        g_source_attach(tick, nullptr);
        g_main_context_iteration(nullptr, TRUE);
        g_source_destroy(tick);
        g_source_unref(tick);
    }
    return true;
}

std::optional<std::string> evaluate(WebKitWebView* view, const std::string& script) {
    if (view == nullptr) {
        return std::nullopt;
    }
    struct Result {
        bool done = false;
        std::optional<std::string> json;
    } result;
    // Held until the answer comes, so the view cannot go while it is asked.
    g_object_ref(view);
    webkit_web_view_evaluate_javascript(
        view, script.c_str(), static_cast<gssize>(script.size()), nullptr, nullptr, nullptr,
        [](GObject* source, GAsyncResult* async, gpointer data) {
            auto* r = static_cast<Result*>(data);
            JSCValue* value =
                webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), async, nullptr);
            if (value != nullptr) {
                char* json = jsc_value_to_json(value, 0);
                r->json = json != nullptr ? json : "null";
                g_free(json);
                g_object_unref(value);
            }
            r->done = true;
        },
        &result);
    // The callback owns a pointer to `result`: wait for it whatever happens.
    while (!result.done) {
        g_main_context_iteration(nullptr, TRUE);
    }
    g_object_unref(view);
    return result.json;
}

std::string serverIdOf(const dev::DevServer& server, const std::string& hostId) {
    SoupSession* session = soup_session_new();
    SoupMessage* message = soup_message_new("GET", (server.baseUrl() + "_dev/state").c_str());
    GBytes* body = soup_session_send_and_read(session, message, nullptr, nullptr);
    std::string id;
    if (body != nullptr) {
        gsize size = 0;
        const auto* data = static_cast<const char*>(g_bytes_get_data(body, &size));
        const auto state = JsonValue::parse(std::string_view(data, size));
        const auto* root = state ? state->object() : nullptr;
        const auto* users = root != nullptr ? root->find("users") : nullptr;
        const auto* list = users != nullptr && *users ? (*users)->array() : nullptr;
        for (std::size_t i = 0; list != nullptr && i < list->size(); ++i) {
            if ((*list)[i].getString("user_id") == hostId) {
                id = (*list)[i].getString("id").value_or("");
            }
        }
        g_bytes_unref(body);
    }
    g_object_unref(message);
    g_object_unref(session);
    return id;
}

}  // namespace vesk::gtk::engine
