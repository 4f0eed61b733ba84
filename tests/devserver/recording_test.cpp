// Every request is recorded as it arrived: form fields, query items, multipart parts, headers.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/http_client.hpp"

namespace vesk::dev::test {
namespace {

namespace json = boost::json;
using ::testing::ElementsAre;
using ::testing::Pair;

class Recording : public ::testing::Test {
  protected:
    void SetUp() override {
        server = startServer();
        ASSERT_NE(server, nullptr);
        session = connectDemo(client, *server);
        auto start = client.post(
            server->apiBaseUrl() + "users/" + session.userId + "/startconversation" + session.q(),
            {{"body", "Hello"}});
        conversationId = std::string(start.json().at("data").at("id").as_string());
        server->clearRequests();
    }

    std::unique_ptr<DevServer> server;
    HttpClient client;
    Session session;
    std::string conversationId;
};

TEST_F(Recording, FormFieldsAndQueryItemsAreDecodedInTheOrderSent) {
    auto r = client.post(server->apiBaseUrl() + "conversations/" + conversationId + "/reply" +
                             session.q() + "&tags%5B%5D=a&tags%5B%5D=b+c",
                         {{"body", "Привет & 100% {user_id}"},
                          {"from_user", "1"},
                          {"random_id", "77"},
                          {"type", ""}});
    ASSERT_EQ(r.status, 200) << r.body;
    const auto requests = server->requests();
    ASSERT_EQ(requests.size(), 1u);
    const RecordedRequest& rec = requests[0];
    EXPECT_EQ(rec.method, "POST");
    EXPECT_EQ(rec.path, "/v1/conversations/" + conversationId + "/reply");
    EXPECT_THAT(rec.queryItems,
                ElementsAre(Pair("auth_token", session.token), Pair("id_as_string", "1"),
                            Pair("tags[]", "a"), Pair("tags[]", "b c")));
    EXPECT_THAT(rec.formFields,
                ElementsAre(Pair("body", "Привет & 100% {user_id}"), Pair("from_user", "1"),
                            Pair("random_id", "77"), Pair("type", "")));
    EXPECT_EQ(rec.formField("random_id"), "77");
    EXPECT_TRUE(rec.hasFormField("type"));
    EXPECT_FALSE(rec.hasFormField("body_json"));
    EXPECT_EQ(rec.body, formEncode(rec.formFields));
    bool sawContentType = false;
    for (const auto& [name, value] : rec.headers) {
        sawContentType = sawContentType ||
                         (name == "Content-Type" && value == "application/x-www-form-urlencoded");
    }
    EXPECT_TRUE(sawContentType);
    // The part is stored as it came, random id echoed as a number.
    const json::value v = r.json();
    EXPECT_EQ(v.at("data").at("body"), json::value("Привет & 100% {user_id}"));
    EXPECT_EQ(v.at("data").at("random_id"), json::value(77));
}

TEST_F(Recording, MultipartPartsAreRecordedAndTheFileIsServedBack) {
    std::string bytes;
    for (int i = 0; i < 70000; ++i) {
        bytes.push_back(static_cast<char>((i * 7) & 0xff));  // binary, with \r\n and NULs
    }
    HttpCall call{"POST", server->apiBaseUrl() + "conversations/" + conversationId + "/replyfile" +
                              session.q() + "&filename=scan%20one.jpeg&random_id=9"};
    call.mime = {{"file", "scan one.jpeg", "", bytes}};
    auto r = client.perform(call);
    ASSERT_EQ(r.status, 200) << r.body;

    const auto requests = server->requests();
    ASSERT_EQ(requests.size(), 1u);
    ASSERT_EQ(requests[0].parts.size(), 1u);
    const RecordedRequest::Part& part = requests[0].parts[0];
    EXPECT_EQ(part.name, "file");
    EXPECT_EQ(part.filename, "scan one.jpeg");
    EXPECT_EQ(part.body, bytes);
    EXPECT_EQ(requests[0].queryItem("filename"), "scan one.jpeg");

    const json::value v = r.json();
    const auto& attachment = v.at("data").at("attachments").at(0);
    EXPECT_EQ(attachment.at("filename"), json::value("scan one.jpeg"));
    EXPECT_EQ(attachment.at("mime_type"), json::value("image/jpeg"));
    EXPECT_EQ(attachment.at("size"), json::value(bytes.size()));
    EXPECT_EQ(v.at("data").at("attachment"), attachment);
    EXPECT_EQ(v.at("data").at("random_id"), json::value(9));
    auto download = client.get(std::string(attachment.at("url").as_string()));
    EXPECT_EQ(download.status, 200);
    EXPECT_EQ(download.body, bytes);
}

TEST_F(Recording, ReplyFileWithoutAFilePartIs400) {
    HttpCall call{"POST", server->apiBaseUrl() + "conversations/" + conversationId + "/replyfile" +
                              session.q()};
    call.mime = {{"other", "", "", "x"}};
    EXPECT_EQ(client.perform(call).status, 400);
}

TEST_F(Recording, EchoAnswersTheRecordedFormOfItself) {
    HttpCall call{"PUT", server->baseUrl() + "_dev/echo?a=1&b=%2F"};
    call.form = {{"k", "v w"}};
    auto r = client.perform(call);
    ASSERT_EQ(r.status, 200);
    const json::value v = r.json();
    EXPECT_EQ(v.at("method"), json::value("PUT"));
    EXPECT_EQ(v.at("path"), json::value("/_dev/echo"));
    EXPECT_EQ(v.at("query"), json::value("a=1&b=%2F"));
    EXPECT_EQ(v.at("query_items").at(1), json::array({"b", "/"}));
    EXPECT_EQ(v.at("form_fields").at(0), json::array({"k", "v w"}));
    EXPECT_EQ(v.at("body"), json::value("k=v%20w"));
    EXPECT_EQ(server->requests().size(), 1u);
}

TEST_F(Recording, ControlRequestsAreNotRecordedAndTheRecordClears) {
    client.get(server->apiBaseUrl() + "conversations/" + conversationId + session.q());
    auto listed = client.get(server->baseUrl() + "_dev/requests");
    ASSERT_EQ(listed.status, 200);
    const json::value v = listed.json();
    ASSERT_EQ(v.at("requests").as_array().size(), 1u);
    EXPECT_EQ(v.at("requests").at(0).at("method"), json::value("GET"));
    EXPECT_EQ(client.get(server->baseUrl() + "_dev/state").status, 200);
    EXPECT_EQ(server->requests().size(), 1u);
    EXPECT_EQ(client.perform({"DELETE", server->baseUrl() + "_dev/requests"}).status, 200);
    EXPECT_TRUE(server->requests().empty());
}

}  // namespace
}  // namespace vesk::dev::test
