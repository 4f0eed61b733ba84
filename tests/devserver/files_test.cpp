// Files the operator sends: the control that makes them, how /files/ serves them, and the slow
// and stalling deliveries that let a client's download progress be watched.
#include <gtest/gtest.h>

#include <chrono>

#include "support/http_client.hpp"

namespace vesk::dev::test {
namespace {

namespace json = boost::json;

class Files : public ::testing::Test {
  protected:
    void SetUp() override {
        server = startServer();
        ASSERT_NE(server, nullptr);
        session = connectDemo(client, *server);
    }

    HttpResult replyFile(const std::string& members) {
        return client.postJson(server->baseUrl() + "_dev/operator/reply_file",
                               R"({"user_id":")" + session.userId + "\"" + members + "}");
    }

    std::unique_ptr<DevServer> server;
    HttpClient client;
    Session session;
};

TEST_F(Files, AnOperatorFileIsStoredPublishedAndServed) {
    auto made = replyFile(R"(,"filename":"q3 report.pdf","size":100000,"text":"Here")");
    ASSERT_EQ(made.status, 201) << made.body;
    const json::value v = made.json();
    const json::value& attachment = v.at("attachment");
    EXPECT_EQ(v.at("part").at("attachments").at(0), attachment);
    EXPECT_EQ(v.at("part").at("body"), json::value("Here"));
    EXPECT_EQ(v.at("part").at("direction"), json::value("a2u"));
    EXPECT_EQ(attachment.at("mime_type"), json::value("application/pdf"));
    EXPECT_EQ(attachment.at("size"), json::value(100000));
    const std::string url(attachment.at("url").as_string());
    EXPECT_NE(url.find("/files/"), std::string::npos);
    EXPECT_NE(url.find("/q3%20report.pdf"), std::string::npos);

    auto served = client.get(url);
    EXPECT_EQ(served.status, 200);
    ASSERT_EQ(served.body.size(), 100000u);
    EXPECT_EQ(served.body.substr(0, 12), "0123456789ab");

    // The conversation the user reads holds it too.
    const std::string conversation(v.at("conversation").at("id").as_string());
    auto parts =
        client.get(server->apiBaseUrl() + "conversations/" + conversation + "/parts" + session.q());
    EXPECT_EQ(parts.json().at("data").as_array().back().at("attachments").at(0), attachment);
}

TEST_F(Files, ContentGivesTheBytesAndTheEmbeddingCallGivesTheUrl) {
    auto made = replyFile(R"(,"filename":"note.txt","content":"hello")");
    ASSERT_EQ(made.status, 201) << made.body;
    EXPECT_EQ(client.get(std::string(made.json().at("attachment").at("url").as_string())).body,
              "hello");
    const std::string url = server->operatorFile(session.userId, "data.bin", 4097);
    ASSERT_FALSE(url.empty());
    EXPECT_EQ(client.get(url).body.size(), 4097u);
    EXPECT_EQ(server->operatorFile("no-such-user", "x.bin", 1), "");
}

TEST_F(Files, BadRequestsAndUnknownFilesAreRefused) {
    EXPECT_EQ(replyFile(R"(,"size":-1)").status, 400);
    EXPECT_EQ(replyFile(R"(,"size":"big")").status, 400);
    EXPECT_EQ(replyFile(R"(,"filename":"a/b.pdf")").status, 400);
    EXPECT_EQ(client
                  .postJson(server->baseUrl() + "_dev/operator/reply_file",
                            R"({"user_id":"999999","filename":"a.pdf"})")
                  .status,
              404);
    const std::string url = server->operatorFile(session.userId, "a.pdf", 10);
    EXPECT_EQ(client.get(url.substr(0, url.size() - 5) + "b.pdf").status, 404);
    EXPECT_EQ(client.get(server->baseUrl() + "files/999999/a.pdf").status, 404);
}

// The body arrives whole and no sooner than its pieces allow, and the connection stays usable.
TEST_F(Files, SlowFaultPacesTheBodyInPieces) {
    const std::string url = server->operatorFile(session.userId, "big.bin", 5000);
    auto added = client.postJson(server->baseUrl() + "_dev/faults",
                                 R"({"path":"/files/","action":"slow","chunk_bytes":1000,
                                     "delay_ms":40})");
    ASSERT_EQ(added.status, 201) << added.body;
    EXPECT_EQ(added.json().at("faults").at(0).at("chunk_bytes"), json::value(1000));
    const auto started = std::chrono::steady_clock::now();
    auto slow = client.get(url);
    const auto elapsed = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(slow.code, CURLE_OK);
    EXPECT_EQ(slow.body.size(), 5000u);
    EXPECT_GE(elapsed, std::chrono::milliseconds(4 * 40));
    auto next = client.get(url);
    EXPECT_EQ(next.body.size(), 5000u);
    EXPECT_EQ(next.newConnections, 0);
    EXPECT_EQ(
        client.postJson(server->baseUrl() + "_dev/faults", R"({"action":"slow","chunk_bytes":0})")
            .status,
        400);
}

TEST_F(Files, StallFaultSendsHalfTheBodyThenNothing) {
    const std::string url = server->operatorFile(session.userId, "big.bin", 5000);
    Fault stall;
    stall.pathPrefix = "/files/";
    stall.action = Fault::Action::stall;
    server->addFault(stall);
    HttpCall call{"GET", url};
    call.timeoutMs = 500;
    auto stalled = client.perform(call);
    EXPECT_EQ(stalled.code, CURLE_OPERATION_TIMEDOUT);
    EXPECT_EQ(stalled.body.size(), 2500u);
}

}  // namespace
}  // namespace vesk::dev::test
