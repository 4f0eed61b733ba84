#include <gtest/gtest.h>

#include <cmath>

#include "engine_fixture.hpp"
#include "vesk/vesk.hpp"

namespace vesk::gtk::test {
namespace {

bool has(const std::optional<std::string>& json, const std::string& text) {
    return json && json->find(text) != std::string::npos;
}

TEST_F(EngineTest, OpeningTheChatShowsTheConversationAndAReplyWithinASecond) {
    const auto conversation = server().sendPopupChat(userId(), "Welcome to the shop!");
    ASSERT_TRUE(listed(conversation));
    WebKitWebView* page = openChat();
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(waitFor([page] {
        return has(eval(page, messagesScript()), "Welcome to the shop!");
    })) << eval(page, "document.body.innerText").value_or("?");
    GtkWidget* window = GTK_WIDGET(platform().chatWindow());
    const Picture before = drawn(GTK_WIDGET(page));
    ASSERT_FALSE(before.blank()) << "the conversation was never drawn";
    shot(window, "opened");

    const auto sent = std::chrono::steady_clock::now();
    ASSERT_FALSE(server().operatorReply(conversation, "Anna here, how can I help?").empty());
    ASSERT_TRUE(waitFor([page] { return has(eval(page, messagesScript()), "Anna here"); }));
    EXPECT_LT(std::chrono::steady_clock::now() - sent, 1s);
    EXPECT_NE(drawn(GTK_WIDGET(page), before), before) << "the reply was never drawn";
    shot(window, "replied");
}

TEST_F(EngineTest, ScriptsOfOneTurnRunInOrderAndAThrowingOneStopsNoOther) {
    const auto page = platform().createWebPage(PageMode::calendly);
    page->load(server().baseUrl() + "external-widget/0.4.0/ios/", 20s);
    WebKitWebView* view = platform().webView(PageMode::calendly);
    ASSERT_TRUE(waitFor([view] { return eval(view, "typeof window.webView") == "\"object\""; }));
    page->evaluateScript("window.order = ['first'];");
    page->evaluateScript("window.webView.noSuchCall();");
    page->evaluateScript("window.order.push('after a throw') // a comment ends no later script");
    page->evaluateScript("window.order.push('last');");
    ASSERT_TRUE(waitFor([view] { return eval(view, "window.order?.length") == "3"; }));
    EXPECT_EQ(eval(view, "window.order"), R"(["first","after a throw","last"])");
}

TEST_F(EngineTest, TextSentFromTheInputBarShowsLoadingThenSentAndReachesTheServer) {
    WebKitWebView* page = openChat();
    ASSERT_NE(page, nullptr);
    // The first message starts the conversation; slowed, its "loading" can be seen.
    dev::Fault slow;
    slow.pathPrefix = "users/" + userId() + "/startconversation";
    slow.action = dev::Fault::Action::delay;
    slow.delay = 1500ms;
    server().addFault(slow);
    const std::string text = "Do you ship to Canada?";
    gtk_text_buffer_set_text(gtk_text_view_get_buffer(platform().inputText()), text.c_str(), -1);
    ASSERT_TRUE(
        waitFor([] { return gtk_widget_get_sensitive(GTK_WIDGET(platform().sendButton())); }));
    gtk_widget_activate(GTK_WIDGET(platform().sendButton()));

    ASSERT_TRUE(waitFor([&] { return has(eval(page, messagesScript("loading")), text); }))
        << eval(page, "document.body.innerHTML").value_or("?");
    const Picture loading = drawn(GTK_WIDGET(page));
    shot(GTK_WIDGET(platform().chatWindow()), "loading");
    ASSERT_TRUE(waitFor([&] { return has(eval(page, messagesScript("sent")), text); }))
        << eval(page, "document.body.innerHTML").value_or("?");
    EXPECT_NE(drawn(GTK_WIDGET(page), loading), loading) << "the sent status was never drawn";
    shot(GTK_WIDGET(platform().chatWindow()), "sent");

    const auto requests = server().requests();
    EXPECT_TRUE(std::any_of(requests.begin(), requests.end(), [&](const auto& r) {
        return r.path.find("/startconversation") != std::string::npos &&
               r.formField("body") == text;
    }));
    GtkTextBuffer* buffer = gtk_text_view_get_buffer(platform().inputText());
    EXPECT_EQ(gtk_text_buffer_get_char_count(buffer), 0);
    EXPECT_FALSE(gtk_widget_get_sensitive(GTK_WIDGET(platform().sendButton())));
}

TEST_F(EngineTest, ADownloadShowsProgressAndEndsDone) {
    dev::Fault slow;
    slow.pathPrefix = "/files/";
    slow.action = dev::Fault::Action::slow;
    slow.count = -1;
    slow.delay = 40ms;
    slow.chunkBytes = 16384;
    server().addFault(slow);
    const auto conversation = server().sendPopupChat(userId(), "Your invoice is attached");
    ASSERT_FALSE(server().operatorFile(userId(), "invoice.pdf", 400000).empty());
    ASSERT_TRUE(listed(conversation));
    WebKitWebView* page = openChat();
    const std::string file = "document.querySelector('[data-attachment-id]')";
    ASSERT_TRUE(waitFor([&] { return eval(page, file + " !== null") == "true"; }));
    const Picture idle = drawn(GTK_WIDGET(page));
    shot(GTK_WIDGET(platform().chatWindow()), "idle");
    ASSERT_EQ(eval(page, file + ".click(); " + file + ".dataset.state"), "\"idle\"");

    // A part of the file, neither none nor all, was shown on the way.
    bool partial = false;
    ASSERT_TRUE(waitFor([&] {
        const auto state =
            eval(page, file + ".dataset.state + ' ' + " + file + ".dataset.progress");
        if (state && state->rfind("\"downloading ", 0) == 0) {
            const int percent = std::stoi(state->substr(13));
            partial = partial || (percent > 0 && percent < 100);
        }
        return state && state->rfind("\"done", 0) == 0;
    })) << eval(page, file + ".outerHTML").value_or("?");
    EXPECT_TRUE(partial) << "no progress was shown";
    EXPECT_NE(drawn(GTK_WIDGET(page), idle), idle) << "the finished download was never drawn";
    shot(GTK_WIDGET(platform().chatWindow()), "done");
}

TEST_F(EngineTest, APopupShowsOverTheHostAndAClickInsideClosesIt) {
    const Picture host = shot(hostWindow(), "host");
    ASSERT_FALSE(
        server().sendPopup(userId(), R"({"title":"Summer sale","text":"20% off"})").empty());
    ASSERT_TRUE(waitFor([] { return platform().popupCard() != nullptr; }));
    WebKitWebView* page = readyPage(PageMode::popup);
    ASSERT_TRUE(
        waitFor([page] { return has(eval(page, "document.body.innerText"), "Summer sale"); }));
    // The card shows its page at the height the page reports, drawn all the way down, with
    // the pill right under it.
    GtkWidget* view = GTK_WIDGET(page);
    const auto reported = [page] {
        return eval(page,
                    "Math.ceil(document.getElementById('vesk-popup')"
                    ".getBoundingClientRect().height)");
    };
    ASSERT_TRUE(waitFor([&] {
        const int height = gtk_widget_get_height(view);
        return height > 50 && reported() == std::to_string(height) &&
               grab(view).opaqueAt(gtk_widget_get_width(view) / 2, height - 2);
    })) << gtk_widget_get_height(view)
        << " " << reported().value_or("?");
    GtkWidget* pill = shownWithClass(platform().popupCard(), "vesk-pill");
    ASSERT_NE(pill, nullptr);
    graphene_rect_t pageBox;
    graphene_rect_t pillBox;
    ASSERT_TRUE(gtk_widget_compute_bounds(view, hostWindow(), &pageBox));
    ASSERT_TRUE(gtk_widget_compute_bounds(pill, hostWindow(), &pillBox));
    const float gap = pillBox.origin.y - (pageBox.origin.y + pageBox.size.height);
    EXPECT_GE(gap, 0);
    EXPECT_LE(gap, 20);
    EXPECT_NEAR(pillBox.origin.x + pillBox.size.width / 2,
                pageBox.origin.x + pageBox.size.width / 2, 1);
    const Picture shown = shot(hostWindow(), "popup");
    EXPECT_NE(shown, host);

    // A host that grows lays the card out again, still in its middle.
    const auto middle = [&](int width) {
        graphene_rect_t box;
        return gtk_widget_get_width(hostWindow()) == width &&
               gtk_widget_compute_bounds(view, hostWindow(), &box) &&
               std::abs(box.origin.x + box.size.width / 2 - static_cast<float>(width) / 2) <= 1;
    };
    const int width = gtk_widget_get_width(hostWindow());
    const int height = gtk_widget_get_height(hostWindow());
    gtk_window_set_default_size(GTK_WINDOW(hostWindow()), width + 300, height);
    EXPECT_TRUE(waitFor([&] { return middle(width + 300); }, 5s));
    gtk_window_set_default_size(GTK_WINDOW(hostWindow()), width, height);
    ASSERT_TRUE(waitFor([&] { return middle(width); }, 5s));

    ASSERT_EQ(eval(page, "document.querySelector('#vesk-popup [data-vesk-close]').click(); true"),
              "true");
    ASSERT_TRUE(waitFor([] { return platform().popupCard() == nullptr; }));
    EXPECT_NE(shot(hostWindow(), "closed"), shown);
}

TEST_F(EngineTest, TheLauncherBadgeAndBubbleFollowUnreadReplies) {
    Vesk::shared().showButton(host());
    ASSERT_TRUE(waitFor([] { return platform().launcherButton() != nullptr; }));
    EXPECT_EQ(platform().launcherBadge(), nullptr);
    EXPECT_EQ(platform().launcherBubble(), nullptr);
    const Picture quiet = shot(hostWindow(), "quiet");

    const auto text = [](GtkLabel* label) {
        return label != nullptr ? std::string(gtk_label_get_text(label)) : std::string();
    };
    const auto conversation = server().sendPopupChat(userId(), "Still looking for a size?");
    ASSERT_TRUE(waitFor([&] {
        return text(platform().launcherBadge()) == "1" &&
               text(platform().launcherBubble()) == "Still looking for a size?";
    })) << text(platform().launcherBadge())
        << " / " << text(platform().launcherBubble());
    const Picture unread = shot(hostWindow(), "unread");
    EXPECT_NE(unread, quiet);

    server().operatorReply(conversation, "We have M and L in stock");
    ASSERT_TRUE(
        waitFor([&] { return text(platform().launcherBubble()) == "We have M and L in stock"; }));
    EXPECT_EQ(text(platform().launcherBadge()), "1");
}

}  // namespace
}  // namespace vesk::gtk::test
