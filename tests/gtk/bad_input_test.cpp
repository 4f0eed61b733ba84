// What the chat does with input meant to hurt it, in the real engine: markup and
// script in texts, huge messages and conversations, a web process that dies and a
// widget host that is down. Each ends in the chat's normal states, never a hang.
#include <gtest/gtest.h>

#include "engine_fixture.hpp"
#include "vesk/json_value.hpp"
#include "vesk/vesk.hpp"

namespace vesk::gtk::test {
namespace {

std::string jsString(const std::string& text) {
    return JsonValue(text).encode();
}

// The number of the page's messages whose text is exactly `text`.
std::string countOfText(const std::string& text) {
    return "Array.from(document.querySelectorAll('[data-message-id] .vesk-text'))"
           ".filter(e => e.textContent === " +
           jsString(text) + ").length";
}

GtkWidget* chatWindow() {
    return GTK_WIDGET(EngineTest::platform().chatWindow());
}

TEST_F(EngineTest, MarkupAndScriptInTextsShowAsTypedAndNeverRun) {
    const std::string body =
        R"(<img src="x" onerror="window.veskInjected = 1"><script>window.veskInjected = 2</script>)"
        R"(<b id="vesk-injected">bold</b></div> & <a href="javascript:window.veskInjected = 3">go</a>)";
    const std::string injected =
        "[document.getElementById('vesk-injected') !== null, "
        "document.querySelector('img[src=\"x\"], script:not([src]), "
        "a[href^=\"javascript\"]') !== null, "
        "window.veskInjected !== undefined]";

    // A popup's title and text.
    ASSERT_FALSE(
        server()
            .sendPopup(userId(), JsonValue(JsonObject{{"title", body}, {"text", body}}).encode())
            .empty());
    WebKitWebView* popup = readyPage(PageMode::popup);
    ASSERT_NE(popup, nullptr);
    const std::string shownTexts =
        "Array.from(document.querySelectorAll('#vesk-popup .vesk-popup-title, "
        "#vesk-popup .vesk-popup-text')).filter(e => e.textContent === " +
        jsString(body) + ").length";
    ASSERT_TRUE(waitFor([&] { return eval(popup, shownTexts) == "2"; }))
        << eval(popup, "document.body.innerHTML").value_or("?");
    EXPECT_EQ(eval(popup, injected), "[false,false,false]");
    shot(hostWindow(), "popup");
    ASSERT_EQ(eval(popup, "document.querySelector('[data-vesk-close]').click(); true"), "true");
    ASSERT_TRUE(waitFor([] { return platform().popupCard() == nullptr; }));

    // A message, both ways one reaches the page: fetched when the chat opens, and in real time.
    const auto conversation = server().sendPopupChat(userId(), body);
    ASSERT_TRUE(listed(conversation));
    WebKitWebView* page = openChat();
    ASSERT_NE(page, nullptr);
    ASSERT_FALSE(server().operatorReply(conversation, body).empty());
    ASSERT_TRUE(waitFor([&] { return eval(page, countOfText(body)) == "2"; }))
        << eval(page, messagesScript()).value_or("?");
    EXPECT_EQ(eval(page, injected), "[false,false,false]");
    EXPECT_FALSE(drawn(GTK_WIDGET(page)).blank());
    shot(chatWindow(), "conversation");
}

TEST_F(EngineTest, TenThousandMessagesAndAMegabyteMessageShowWithoutAHang) {
    const auto conversation = server().sendPopupChat(userId(), "A long story");
    ASSERT_TRUE(listed(conversation));
    ASSERT_EQ(server().publishReplies(userId(), conversation, 10000), 10000U);
    std::string huge = "The beginning of a megabyte. ";
    while (huge.size() < (std::size_t{1} << 20)) {
        huge += "Lorem ipsum dolor sit amet, consectetur adipiscing elit. ";
    }
    huge.resize(std::size_t{1} << 20);
    ASSERT_FALSE(server().operatorReply(conversation, huge).empty());

    // The chat opens on the newest of them: the megabyte shows its beginning.
    const auto opening = std::chrono::steady_clock::now();
    WebKitWebView* page = openChat();
    ASSERT_NE(page, nullptr);
    const std::string bigShown =
        "(() => { const t = Array.from(document.querySelectorAll('[data-truncated]'))"
        ".find(e => e.textContent.startsWith('The beginning of a megabyte.'));"
        " return t ? t.dataset.truncated : ''; })()";
    ASSERT_TRUE(waitFor([&] { return eval(page, bigShown) == "\"1048576\""; }))
        << eval(page, "document.querySelectorAll('[data-message-id]').length").value_or("?");
    EXPECT_EQ(eval(page, countOfText("Reply 10000")), "1");
    EXPECT_LT(std::chrono::steady_clock::now() - opening, 10s);

    // A thousand more reach the open page in real time.
    const auto flooding = std::chrono::steady_clock::now();
    ASSERT_EQ(server().publishReplies(userId(), conversation, 1000), 1000U);
    ASSERT_TRUE(waitFor([&] { return eval(page, countOfText("Reply 1000")) == "1"; }, 30s));
    EXPECT_LT(std::chrono::steady_clock::now() - flooding, 20s);
    // The page still answers at once, and nothing it was sent threw.
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_EQ(eval(page, "document.documentElement.dataset.veskErrors ?? 'none'"), "\"none\"");
    EXPECT_LT(std::chrono::steady_clock::now() - asked, 1s);
    EXPECT_FALSE(drawn(GTK_WIDGET(page)).blank());
    shot(chatWindow(), "shown");
}

TEST_F(EngineTest, AWebProcessThatEndsShowsTheErrorAndRetryBringsTheMessagesBack) {
    const auto conversation = server().sendPopupChat(userId(), "Before the crash");
    ASSERT_TRUE(listed(conversation));
    WebKitWebView* page = openChat();
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(waitFor([&] { return eval(page, countOfText("Before the crash")) == "1"; }));

    webkit_web_view_terminate_web_process(page);
    GtkWidget* retry = nullptr;
    ASSERT_TRUE(
        waitFor([&] { return (retry = shownWithClass(chatWindow(), "vesk-retry")) != nullptr; }));
    const Picture ended = shot(chatWindow(), "ended");
    // What came while the page was gone shows too.
    ASSERT_FALSE(server().operatorReply(conversation, "While it was down").empty());

    gtk_widget_activate(retry);
    ASSERT_EQ(readyPage(PageMode::messages), page);
    ASSERT_TRUE(waitFor([&] {
        return eval(page, countOfText("Before the crash")) == "1" &&
               eval(page, countOfText("While it was down")) == "1";
    })) << eval(page, messagesScript()).value_or("?");
    ASSERT_TRUE(waitFor([] { return shownWithClass(chatWindow(), "vesk-panel") == nullptr; }));
    EXPECT_FALSE(drawn(GTK_WIDGET(page)).blank()) << "the messages were never drawn again";
    EXPECT_NE(shot(chatWindow(), "back"), ended);
}

class WidgetHostDown : public EngineTest,
                       public ::testing::WithParamInterface<dev::Fault::Action> {};

TEST_P(WidgetHostDown, ShowsTheErrorAtOnceAndRetryLoadsThePageOnceItIsBack) {
    dev::Fault down;
    down.pathPrefix = "/external-widget/";
    down.action = GetParam();
    down.status = 503;
    down.body = "Service unavailable";
    down.contentType = "text/plain";
    down.count = -1;
    server().addFault(down);
    const auto opening = std::chrono::steady_clock::now();
    Vesk::shared().openChat();
    GtkWidget* retry = nullptr;
    ASSERT_TRUE(
        waitFor([&] { return (retry = shownWithClass(chatWindow(), "vesk-retry")) != nullptr; }));
    // Well before the page's own time-out.
    EXPECT_LT(std::chrono::steady_clock::now() - opening, 10s);
    shot(chatWindow(), "down");

    server().clearFaults();
    gtk_widget_activate(retry);
    ASSERT_NE(readyPage(PageMode::messages), nullptr);
    ASSERT_TRUE(waitFor([] { return shownWithClass(chatWindow(), "vesk-panel") == nullptr; }));
}

INSTANTIATE_TEST_SUITE_P(EngineTest, WidgetHostDown,
                         ::testing::Values(dev::Fault::Action::drop, dev::Fault::Action::reply),
                         [](const auto& p) {
                             return p.param == dev::Fault::Action::drop ? "Dropped" : "ErrorStatus";
                         });

}  // namespace
}  // namespace vesk::gtk::test
