// The chat window's native screens over the pages, in the real engine.
#include <gtest/gtest.h>
#include <libsoup/soup.h>

#include <algorithm>

#include "engine_fixture.hpp"
#include "vesk/json_value.hpp"

namespace vesk::gtk::test {
namespace {

// Posts `body` to the development server's control `path` (under /_dev/); whether it took it.
bool control(const std::string& path, const JsonObject& body) {
    SoupSession* session = soup_session_new();
    SoupMessage* message =
        soup_message_new("POST", (EngineTest::server().baseUrl() + "_dev/" + path).c_str());
    const std::string json = JsonValue(body).encode();
    GBytes* bytes = g_bytes_new(json.data(), json.size());
    soup_message_set_request_body_from_bytes(message, "application/json", bytes);
    GBytes* answer = soup_session_send_and_read(session, message, nullptr, nullptr);
    const guint status = soup_message_get_status(message);
    if (answer != nullptr) {
        g_bytes_unref(answer);
    }
    g_bytes_unref(bytes);
    g_object_unref(message);
    g_object_unref(session);
    return status >= 200 && status < 300;
}

// The button under `root` on screen whose tooltip says `tooltip`, or null.
GtkWidget* shownButton(GtkWidget* root, const char* tooltip) {
    if (root == nullptr || !gtk_widget_get_mapped(root)) {
        return nullptr;
    }
    const char* said = gtk_widget_get_tooltip_text(root);
    if (GTK_IS_BUTTON(root) && said != nullptr && std::string(said) == tooltip) {
        return root;
    }
    for (GtkWidget* c = gtk_widget_get_first_child(root); c != nullptr;
         c = gtk_widget_get_next_sibling(c)) {
        if (GtkWidget* found = shownButton(c, tooltip)) {
            return found;
        }
    }
    return nullptr;
}

TEST_F(EngineTest, AFailedMessageOffersTheActionSheetAndItsRetrySendsIt) {
    WebKitWebView* page = openChat();
    ASSERT_NE(page, nullptr);
    dev::Fault refused;
    refused.pathPrefix = "users/" + userId() + "/startconversation";
    refused.action = dev::Fault::Action::reply;
    refused.status = 500;
    refused.body = R"({"meta":{"status":500,"error":"unavailable"},"data":{}})";
    server().addFault(refused);
    const std::string text = "Is the blue one back in stock?";
    gtk_text_buffer_set_text(gtk_text_view_get_buffer(platform().inputText()), text.c_str(), -1);
    ASSERT_TRUE(
        waitFor([] { return gtk_widget_get_sensitive(GTK_WIDGET(platform().sendButton())); }));
    gtk_widget_activate(GTK_WIDGET(platform().sendButton()));
    ASSERT_TRUE(waitFor([&] {
        return eval(page, messagesScript("warning")).value_or("").find(text) != std::string::npos;
    })) << eval(page, "document.body.innerHTML").value_or("?");

    // A tap on the failed message: the sheet, whose first action tries again.
    GtkWidget* window = GTK_WIDGET(platform().chatWindow());
    ASSERT_EQ(eval(page,
                   "document.querySelector('[data-status=\"warning\"] .vesk-bubble')"
                   ".click(); true"),
              "true");
    GtkWidget* sheet = nullptr;
    ASSERT_TRUE(waitFor([&] { return (sheet = shownWithClass(window, "vesk-sheet")) != nullptr; }));
    shot(window, "sheet");
    int actions = 0;
    for (GtkWidget* c = gtk_widget_get_first_child(sheet); c != nullptr;
         c = gtk_widget_get_next_sibling(c)) {
        actions += GTK_IS_BUTTON(c) ? 1 : 0;
    }
    EXPECT_EQ(actions, 3);  // retry, delete, cancel
    gtk_widget_activate(gtk_widget_get_first_child(sheet));
    ASSERT_TRUE(waitFor([&] {
        return eval(page, messagesScript("sent")).value_or("").find(text) != std::string::npos;
    })) << eval(page, "document.body.innerHTML").value_or("?");
    EXPECT_EQ(shownWithClass(window, "vesk-sheet"), nullptr);
    const auto requests = server().requests();
    EXPECT_EQ(std::count_if(requests.begin(), requests.end(),
                            [&](const auto& r) {
                                return r.path.find("/startconversation") != std::string::npos &&
                                       r.formField("body") == text;
                            }),
              2);
}

TEST_F(EngineTest, ABookingOfferOpensTheBookingScreenAndItsCloseReturnsToTheConversation) {
    const auto conversation = server().sendPopupChat(userId(), "Shall we talk it over?");
    ASSERT_TRUE(listed(conversation));
    WebKitWebView* page = openChat();
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(control("operator/booking", JsonObject{{"conversation_id", conversation},
                                                       {"url", "https://booking.example/anna"}}));
    const std::string offer = "document.querySelector('.vesk-calendly')";
    ASSERT_TRUE(waitFor([&] { return eval(page, offer + " !== null") == "true"; }));
    ASSERT_EQ(eval(page, offer + ".click(); true"), "true");

    WebKitWebView* booking = readyPage(PageMode::calendly);
    ASSERT_NE(booking, nullptr);
    ASSERT_TRUE(waitFor([&] {
        return eval(booking, "document.body.innerText").value_or("").find("booking.example/anna") !=
               std::string::npos;
    })) << eval(booking, "document.body.innerHTML").value_or("?");
    GtkWidget* window = GTK_WIDGET(platform().chatWindow());
    // Shown once the slide has ended and the page has drawn.
    ASSERT_TRUE(waitFor([&] {
        return gtk_widget_get_mapped(GTK_WIDGET(booking)) && !grab(GTK_WIDGET(booking)).blank();
    }));
    const Picture shown = shot(window, "booking");
    // A day, a time and the confirmation: the page says what was asked for.
    for (const char* pick : {"[data-date]", "[data-time]", "#vesk-calendly-confirm"}) {
        const std::string button = std::string("document.querySelector('") + pick + "')";
        ASSERT_TRUE(waitFor([&] { return eval(booking, button + " !== null") == "true"; })) << pick;
        ASSERT_EQ(eval(booking, button + ".click(); true"), "true");
    }
    ASSERT_TRUE(waitFor([&] {
        return eval(booking, "document.querySelector('.vesk-booked') !== null") == "true";
    }));

    // Its close button leaves the booking, not the chat.
    GtkWidget* close = shownButton(window, "Close the chat");
    ASSERT_NE(close, nullptr);
    gtk_widget_activate(close);
    ASSERT_TRUE(waitFor([&] {
        return gtk_widget_get_mapped(GTK_WIDGET(page)) &&
               (platform().webView(PageMode::calendly) == nullptr ||
                !gtk_widget_get_mapped(GTK_WIDGET(platform().webView(PageMode::calendly))));
    }));
    ASSERT_NE(platform().chatWindow(), nullptr);
    EXPECT_NE(shot(window, "back"), shown);
}

TEST_F(EngineTest, AnImageTappedOpensInTheImageViewer) {
    const auto conversation = server().sendPopupChat(userId(), "Here is the colour");
    ASSERT_TRUE(listed(conversation));
    WebKitWebView* page = openChat();
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(control(
        "operator/reply_file",
        JsonObject{{"conversation_id", conversation},
                   {"filename", "swatch.svg"},
                   {"mime_type", "image/svg+xml"},
                   {"content", R"(<svg xmlns="http://www.w3.org/2000/svg" width="40" height="30">)"
                               R"(<rect width="40" height="30" fill="#e0245e"/></svg>)"}}));
    const std::string image = "document.querySelector('.vesk-image')";
    ASSERT_TRUE(waitFor([&] { return eval(page, image + " !== null") == "true"; }))
        << eval(page, "document.body.innerHTML").value_or("?");
    ASSERT_EQ(eval(page, image + ".click(); true"), "true");

    // A window of its own showing the picture, loaded.
    GtkWindow* viewer = nullptr;
    ASSERT_TRUE(waitFor([&] {
        GListModel* windows = gtk_window_get_toplevels();
        for (guint i = 0; i < g_list_model_get_n_items(windows) && viewer == nullptr; ++i) {
            auto* w = GTK_WINDOW(g_list_model_get_item(windows, i));
            const char* title = gtk_window_get_title(w);
            if (title != nullptr && std::string(title) == "Image" &&
                gtk_widget_get_mapped(GTK_WIDGET(w))) {
                viewer = w;
            }
            g_object_unref(w);
        }
        return viewer != nullptr;
    }));
    auto* view = WEBKIT_WEB_VIEW(gtk_window_get_child(viewer));
    ASSERT_TRUE(waitFor([&] {
        return eval(
                   view,
                   "(() => { const i = document.querySelector('img');"
                   " return i && i.complete ? i.naturalWidth + 'x' + i.naturalHeight : ''; })()") ==
               "\"40x30\"";
    })) << eval(view, "document.body.innerHTML").value_or("?");
    ASSERT_TRUE(waitFor([&] { return !grab(GTK_WIDGET(view)).blank(); }));
    shot(GTK_WIDGET(viewer), "viewer");
    gtk_window_destroy(viewer);
}

// The event controller named `name` on `root` or under it, or null.
GtkEventController* controllerNamed(GtkWidget* root, const char* name) {
    GListModel* controllers = gtk_widget_observe_controllers(root);
    GtkEventController* found = nullptr;
    for (guint i = 0; i < g_list_model_get_n_items(controllers) && found == nullptr; ++i) {
        auto* c = GTK_EVENT_CONTROLLER(g_list_model_get_item(controllers, i));
        const char* said = gtk_event_controller_get_name(c);
        if (said != nullptr && std::string(said) == name) {
            found = c;
        }
        g_object_unref(c);
    }
    g_object_unref(controllers);
    for (GtkWidget* c = gtk_widget_get_first_child(root); c != nullptr && found == nullptr;
         c = gtk_widget_get_next_sibling(c)) {
        found = controllerNamed(c, name);
    }
    return found;
}

TEST_F(EngineTest, EdgeSwipesOpenTheListAndComeBack) {
    ASSERT_NE(openChat(), nullptr);
    GtkWidget* window = GTK_WIDGET(platform().chatWindow());
    GtkEventController* swipe = controllerNamed(window, "vesk-edge-swipe");
    ASSERT_NE(swipe, nullptr);
    const double width = gtk_widget_get_width(gtk_event_controller_get_widget(swipe));
    const auto drag = [swipe](double x, double dx, double dy) {
        g_signal_emit_by_name(swipe, "drag-begin", x, 200.0);
        g_signal_emit_by_name(swipe, "drag-end", dx, dy);
    };
    const auto showing = [](PageMode mode) {
        WebKitWebView* page = platform().webView(mode);
        return page != nullptr && gtk_widget_get_child_visible(GTK_WIDGET(page)) &&
               gtk_widget_get_mapped(GTK_WIDGET(page));
    };

    drag(4, 150, 100);        // mostly down: a scroll, not a swipe
    drag(width / 2, 150, 0);  // not from the edge
    ASSERT_FALSE(waitFor([&] { return showing(PageMode::dialogs); }, 500ms));
    drag(4, 150, 10);
    ASSERT_TRUE(waitFor([&] { return showing(PageMode::dialogs); }));
    drag(width - 4, -150, 0);
    ASSERT_TRUE(
        waitFor([&] { return showing(PageMode::messages) && !showing(PageMode::dialogs); }));
}

}  // namespace
}  // namespace vesk::gtk::test
