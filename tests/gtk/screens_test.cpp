// The chat window's native screens over the pages, in the real engine.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine_fixture.hpp"

namespace vesk::gtk::test {
namespace {

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

}  // namespace
}  // namespace vesk::gtk::test
