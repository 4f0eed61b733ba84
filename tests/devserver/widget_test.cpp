// The reference web widget as the server serves it: the four pages at the library's page
// paths, each page's script and style found where the page points, and the script answering
// every call the library makes.
#include <gtest/gtest.h>

#include <string>

#include "files.hpp"
#include "support/http_client.hpp"

namespace vesk::dev::test {
namespace {

constexpr const char* kPages[] = {
    "/external-widget/0.4.0/ios/",
    "/external-widget/0.4.0/ios/list/",
    "/external-widget/0.4.0/ios/popup/",
    "/external-widget/0.4.2/ios/calendly",
};

HttpReply get(const std::string& path) {
    RecordedRequest request;
    request.method = "GET";
    request.path = path;
    return serveWidgetPage(request);
}

// The value of the first `attribute="..."` in `html`.
std::string attributeValue(const std::string& html, const std::string& attribute) {
    const std::string key = attribute + "=\"";
    const auto start = html.find(key);
    if (start == std::string::npos) {
        return {};
    }
    const auto from = start + key.size();
    return html.substr(from, html.find('"', from) - from);
}

// `reference` (relative, "../" steps only) resolved against the page at `page`.
std::string resolve(std::string page, std::string reference) {
    page.erase(page.rfind('/') + 1);
    while (reference.starts_with("../")) {
        reference.erase(0, 3);
        page.erase(page.rfind('/', page.size() - 2) + 1);
    }
    return page + reference;
}

TEST(Widget, EachPageLoadsItsScriptAndStyle) {
    for (const std::string page : kPages) {
        SCOPED_TRACE(page);
        const HttpReply html = get(page);
        ASSERT_EQ(html.status, 200);
        EXPECT_EQ(html.contentType, "text/html; charset=utf-8");
        EXPECT_NE(html.body.find("<body data-vesk-page=\""), std::string::npos);
        EXPECT_NE(html.body.find("id=\"webView\""), std::string::npos);  // the blur script's hook

        const std::string script = resolve(page, attributeValue(html.body, "src"));
        EXPECT_EQ(script, "/external-widget/assets/widget.js");
        const HttpReply js = get(script);
        EXPECT_EQ(js.status, 200);
        EXPECT_EQ(js.contentType, "text/javascript; charset=utf-8");

        const HttpReply css = get(resolve(page, attributeValue(html.body, "href")));
        EXPECT_EQ(css.status, 200);
        EXPECT_EQ(css.contentType, "text/css; charset=utf-8");
    }
}

TEST(Widget, TheScriptAnswersEveryCallOfTheLibrary) {
    const std::string js = get("/external-widget/assets/widget.js").body;
    for (const char* call :
         {"initConversationList", "addConversations", "updateConversation", "removeConversation",
          "initDialogue", "addMessages", "updateMessage", "updateMessageAttachment",
          "updateMessageInputStatus", "deleteMessage", "showBackContentLoader",
          "hideBackContentLoader", "methodComplete", "initPopup", "initCalendlyWidget"}) {
        EXPECT_NE(js.find(std::string("\n    ") + call + "("), std::string::npos) << call;
    }
}

TEST(Widget, OnlyTheWidgetsOwnFilesAreServed) {
    EXPECT_EQ(get("/external-widget/assets/nothing.js").status, 404);
    EXPECT_EQ(get("/external-widget/assets/").status, 404);
    EXPECT_EQ(get("/external-widget/assets/messages.html").status, 404);  // pages at their paths
    EXPECT_EQ(get("/external-widget/0.4.0/ios/other/").status, 404);
    EXPECT_EQ(get("/external-widget/0.4.0/ios").status, 404);
}

// Through the server: a page as the library's web view asks for it.
TEST(Widget, TheServerServesThePagesWhereTheLibraryLooks) {
    auto server = startServer();
    ASSERT_NE(server, nullptr);
    HttpClient client;
    const auto page = client.get(server->baseUrl() + "external-widget/0.4.0/ios/list/");
    EXPECT_EQ(page.status, 200);
    EXPECT_NE(page.body.find("data-vesk-page=\"list\""), std::string::npos);
    EXPECT_EQ(client.get(server->baseUrl() + "external-widget/assets/widget.css").status, 200);
}

}  // namespace
}  // namespace vesk::dev::test
