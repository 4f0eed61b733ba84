// What the library says to a page: the scripts, letter for letter, and the
// settings they carry.
#include "ui/bridge/page_scripts.hpp"

#include <gtest/gtest.h>

#include <string>

#include "ui/bridge/page_events.hpp"
#include "ui/bridge/page_payloads.hpp"
#include "ui/bridge/script_text.hpp"

namespace vesk {
namespace {

Messenger messengerWith(std::string_view connectData) {
    Messenger messenger;
    messenger.connectData = SharedJson(JsonValue::parse(connectData).value());
    return messenger;
}

TEST(PageScripts, ConversationListScripts) {
    const auto list = JsonValue::parse(R"([{"id":"c1"}])").value();
    EXPECT_EQ(script::initConversationList(R"({"a":1})", list),
              R"(window.webView.initConversationList({"appSettings":{"a":1},)"
              R"("unstructuredConversationList":[{"id":"c1"}]}))");
    EXPECT_EQ(script::addConversations(list), R"(window.webView.addConversations([{"id":"c1"}]))");
    EXPECT_EQ(script::addConversations(JsonValue("not a list")),
              "window.webView.addConversations([])");
    EXPECT_EQ(script::removeConversation("c1"), R"(window.webView.removeConversation("c1"))");

    Dialog dialog;
    dialog.partsCount = 3;
    dialog.unreadPartsCount = 1;
    dialog.lastUpdate = 1700000000;
    dialog.partLast.body = "Hi";
    dialog.partLast.type = "comment";
    dialog.lastAdmin.avatar = "https://a.example/x.png";
    EXPECT_EQ(script::updateConversation("c1", conversationUpdateJson(dialog)),
              R"(window.webView.updateConversation("c1",[{"parts_count":3},)"
              R"({"unread_parts_count":1},{"last_update":1700000000},)"
              R"({"part_last":[{"body":"Hi"},{"body_json":null},{"type":"comment"}]},)"
              R"({"last_admin":[{"avatar":"https://a.example/x.png"},)"
              R"({"name":"Unknown admin name"}]}]))");
}

TEST(PageScripts, ConversationScripts) {
    EXPECT_EQ(
        script::initDialogue(R"({"a":1})"),
        R"(window.webView.initDialogue({"appSettings":{"a":1},"unstructuredMessagesData":[]}))");
    MessageEntity entity;
    entity.id = "m1";
    entity.randomId = 7;
    entity.body = "<b>Hi</b>";
    entity.type = "comment";
    entity.created = 1700000000;
    entity.direction = "out";
    entity.read = true;
    entity.sentVia = "sdk";
    entity.conversation = "c1";
    entity.status = "sent";
    EXPECT_EQ(script::addMessages({entity}),
              R"(window.webView.addMessages([{"id":"m1","random_id":7,)"
              R"("body":"\u003cb>Hi\u003c/b>","type":"comment","created":1700000000,)"
              R"("direction":"out","read":true,"sent_via":"sdk","reply_type":"","from":null,)"
              R"("conversation":"c1","body_json":null,"meta_data":null,"attachments":null,)"
              R"("status":"sent"}]))");
    EXPECT_EQ(script::updateMessage("m1", messageStatusJson("warning")),
              R"(window.webView.updateMessage("m1",[{"status":"warning"}]))");
    const auto update = JsonValue::parse(R"({"k":true})").value();
    EXPECT_EQ(script::updateMessageAttachment("m1", update),
              R"(window.webView.updateMessageAttachment("m1",{"k":true}))");
    EXPECT_EQ(script::updateMessageInputStatus("m1", update),
              R"(window.webView.updateMessageInputStatus("m1",{"k":true}))");
    EXPECT_EQ(script::deleteMessage("m1"), R"(window.webView.deleteMessage("m1"))");
    EXPECT_EQ(acknowledgement("openLink"),
              R"(window.webView.methodComplete({method : "openLink"}))");
}

TEST(PageScripts, PopupAndBookingScripts) {
    EXPECT_EQ(script::initPopup(R"({"a":1})", " { \"t\" : [1, \"</script>\"] } "),
              R"(window.webView.initPopup({"appSettings":{"a":1},)"
              R"("bodyJson":{"t":[1,"\u003c/script>"]}}))");
    EXPECT_FALSE(script::initPopup(R"({"a":1})", R"({"t":1}); alert(1); ({)").has_value());
    EXPECT_FALSE(script::initPopup(R"({"a":1})", "").has_value());
    EXPECT_EQ(
        script::initCalendlyWidget("https://b.example/x", "s1"),
        R"(window.webView.initCalendlyWidget({"url":"https://b.example/x","signature":"s1"}))");
}

TEST(PageScripts, InsertedTextReadsBackAsItselfAndStaysInItsLiteral) {
    const std::string hostile[] = {"a\"b",
                                   "a\\",
                                   "\");alert(1);//",
                                   "line\nbreak",
                                   "sep\u2028ara\u2029tor",
                                   "</script><script>x()",
                                   "'",
                                   std::string("nul\0", 4)};
    for (const auto& text : hostile) {
        const std::string head = "window.webView.deleteMessage(";
        const std::string call = script::deleteMessage(text);
        ASSERT_TRUE(call.starts_with(head) && call.ends_with(")")) << call;
        const std::string literal = call.substr(head.size(), call.size() - head.size() - 1);
        EXPECT_EQ(JsonValue::parse(literal), JsonValue(text)) << literal;
        EXPECT_EQ(literal.find_first_of("<\n"), std::string::npos) << literal;
        EXPECT_EQ(literal.find("\u2028"), std::string::npos) << literal;

        const std::string ack = acknowledgement(text);
        EXPECT_EQ(ack, "window.webView.methodComplete({method : " + literal + "})");
    }
    EXPECT_EQ(scriptStringLiteral("a\xFF"), "\"a\xEF\xBF\xBD\"");
}

TEST(PageSettings, LocaleBecomesRussianOrEnglishAndProviderIsAdded) {
    const Messenger messenger = messengerWith(R"({"app":{"locale":"de"},"locale":"fr","n":1})");
    EXPECT_EQ(settingsText(messenger), R"({"app":{"locale":"de"},"locale":"fr","n":1})");
    EXPECT_EQ(localizedSettingsText(messenger, std::nullopt, "ru"),
              R"({"app":{"locale":"ru"},"locale":"ru","n":1})");
    for (const auto& language : {std::optional<std::string>("de"), std::optional<std::string>()}) {
        EXPECT_EQ(localizedSettingsText(messenger, std::nullopt, language),
                  R"({"app":{"locale":"en"},"locale":"en","n":1})");
    }
    EXPECT_EQ(localizedSettingsText(messengerWith(R"({"n":"locale"})"), "Acme", "ru"),
              R"({"n":"locale","provider_name":"Acme"})");
    EXPECT_EQ(localizedSettingsText(messengerWith(R"([1])"), "Acme", "ru"), "[1]");
}

// A locale value holding an escaped quote once left its tail outside the string.
TEST(PageSettings, LocaleHoldingAQuoteIsReplacedWhole) {
    const Messenger messenger = messengerWith(R"({"locale":"x\");alert(1);//","n":1})");
    const auto settings = JsonValue::parse(localizedSettingsText(messenger, std::nullopt, "ru"));
    ASSERT_TRUE(settings.has_value());
    EXPECT_EQ(settings->getString("locale"), "ru");
    EXPECT_EQ(settings->getString("n"), "1");
}

}  // namespace
}  // namespace vesk
