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

TEST_F(Files, AnOperatorFileIsStoredAndServedAndOthersAreNot) {
    auto made = replyFile(R"(,"filename":"q3 report.pdf","size":100000,"text":"Here")");
    ASSERT_EQ(made.status, 201) << made.body;
    const json::value v = made.json();
    const json::value& attachment = v.at("attachment");
    EXPECT_EQ(v.at("part").at("attachments").at(0), attachment);
    EXPECT_EQ(v.at("part").at("body"), json::value("Here"));
    EXPECT_EQ(attachment.at("mime_type"), json::value("application/pdf"));
    const std::string url(attachment.at("url").as_string());
    EXPECT_EQ(url.substr(url.rfind('/')), "/q3%20report.pdf");
    EXPECT_EQ(client.get(url).body.size(), 100000u);
    EXPECT_EQ(client.get(server->operatorFile(session.userId, "data.bin", 4097)).body.size(),
              4097u);

    EXPECT_EQ(client.get(url.substr(0, url.rfind('/')) + "/other.pdf").status, 404);
    EXPECT_EQ(replyFile(R"(,"size":-1)").status, 400);
    EXPECT_EQ(replyFile(R"(,"filename":"a/b.pdf")").status, 400);
    EXPECT_EQ(server->operatorFile("999999", "x.bin", 1), "");
}

// Each fault applies to the next file: paced so that it takes at least its pauses and arrives
// whole on a connection that stays usable, then stalled halfway.
TEST_F(Files, SlowAndStallFaultsShapeTheBody) {
    const std::string url = server->operatorFile(session.userId, "big.bin", 5000);
    auto added = client.postJson(server->baseUrl() + "_dev/faults",
                                 R"([{"path":"/files/","action":"slow","chunk_bytes":1000,
                                      "delay_ms":40},{"path":"/files/","action":"stall"}])");
    ASSERT_EQ(added.status, 201) << added.body;
    const auto started = std::chrono::steady_clock::now();
    auto slow = client.get(url);
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(4 * 40));
    EXPECT_EQ(slow.body.size(), 5000u);
    HttpCall call{"GET", url};
    call.timeoutMs = 500;
    auto stalled = client.perform(call);
    EXPECT_EQ(stalled.newConnections, 0);
    EXPECT_EQ(stalled.code, CURLE_OPERATION_TIMEDOUT);
    EXPECT_EQ(stalled.body.size(), 2500u);
}

}  // namespace
}  // namespace vesk::dev::test
