// Fault injection: each action, how many requests it takes, which paths it matches, its
// control-API form, and a hanging connection at shutdown.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "support/http_client.hpp"

namespace vesk::dev::test {
namespace {

namespace json = boost::json;

struct FaultCase {
    const char* name;
    Fault fault;
    CURLcode expectedCode;
    long expectedStatus;  // when the transfer succeeds
    long clientTimeoutMs;
};

void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.name;
}

Fault make(Fault::Action action, int count = 1) {
    Fault f;
    f.pathPrefix = "*";
    f.action = action;
    f.count = count;
    return f;
}

class FaultAction : public ::testing::TestWithParam<FaultCase> {
  protected:
    void SetUp() override {
        server = startServer();
        ASSERT_NE(server, nullptr);
    }

    HttpResult connect(long timeoutMs = 60000) {
        HttpCall call{"POST", server->apiBaseUrl() + "connect"};
        call.form = {{"api_key", server->demoApiKey()}};
        call.timeoutMs = timeoutMs;
        return client.perform(call);
    }

    std::unique_ptr<DevServer> server;
    HttpClient client;
};

TEST_P(FaultAction, AppliesToTheNextRequestOnlyThenServesNormally) {
    const FaultCase& c = GetParam();
    server->addFault(c.fault);
    const auto started = std::chrono::steady_clock::now();
    auto faulted = connect(c.clientTimeoutMs);
    const auto elapsed = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(faulted.code, c.expectedCode) << curl_easy_strerror(faulted.code);
    if (c.expectedCode == CURLE_OK) {
        EXPECT_EQ(faulted.status, c.expectedStatus) << faulted.body;
    }
    if (c.fault.action == Fault::Action::reply) {
        EXPECT_EQ(faulted.body, c.fault.body);
    }
    if (c.fault.action == Fault::Action::delay) {
        EXPECT_GE(elapsed, c.fault.delay);
    }
    // The request was recorded even though it was not answered normally.
    EXPECT_EQ(server->requests().size(), 1u);

    auto normal = connect();
    EXPECT_EQ(normal.code, CURLE_OK);
    EXPECT_EQ(normal.status, 200) << normal.body;
}

FaultCase withDelay() {
    Fault f = make(Fault::Action::delay);
    f.delay = std::chrono::milliseconds(300);
    return {"delay", f, CURLE_OK, 200, 60000};
}

FaultCase withReply() {
    Fault f = make(Fault::Action::reply);
    f.status = 503;
    f.body = R"({"meta":{"status":503,"error":"down","error_message":"Maintenance"},"data":null})";
    return {"reply", f, CURLE_OK, 503, 60000};
}

INSTANTIATE_TEST_SUITE_P(
    Actions, FaultAction,
    ::testing::Values(
        withDelay(), withReply(),
        FaultCase{"drop", make(Fault::Action::drop), CURLE_GOT_NOTHING, 0, 60000},
        FaultCase{"truncate", make(Fault::Action::truncate), CURLE_PARTIAL_FILE, 0, 60000},
        // A hang never answers; the client's own timeout ends it.
        FaultCase{"hang", make(Fault::Action::hang), CURLE_OPERATION_TIMEDOUT, 0, 500}),
    [](const ::testing::TestParamInfo<FaultCase>& p) { return std::string(p.param.name); });

class Faults : public FaultAction {};

TEST_F(Faults, CountMinusOneLastsUntilCleared) {
    server->addFault(make(Fault::Action::drop, -1));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(connect().code, CURLE_GOT_NOTHING);
    }
    server->clearFaults();
    EXPECT_EQ(connect().status, 200);
}

TEST_F(Faults, CountNAppliesNTimes) {
    server->addFault(make(Fault::Action::drop, 2));
    EXPECT_EQ(connect().code, CURLE_GOT_NOTHING);
    EXPECT_EQ(connect().code, CURLE_GOT_NOTHING);
    EXPECT_EQ(connect().status, 200);
}

TEST_F(Faults, PrefixesMatchOnlyTheirPaths) {
    Fault f = make(Fault::Action::drop, -1);
    f.pathPrefix = "conversations";  // relative to /v1/
    server->addFault(f);
    f.pathPrefix = "/_dev/blob";
    server->addFault(f);
    EXPECT_EQ(connect().status, 200);
    EXPECT_EQ(client.get(server->apiBaseUrl() + "conversations/1").code, CURLE_GOT_NOTHING);
    EXPECT_EQ(client.get(server->baseUrl() + "_dev/blob?size=10").code, CURLE_GOT_NOTHING);
    EXPECT_EQ(client.get(server->baseUrl() + "_dev/echo").status, 200);
    // "*" is every /v1/ path and nothing else; the control API is never faulted.
    server->clearFaults();
    server->addFault(make(Fault::Action::drop, -1));
    EXPECT_EQ(client.get(server->baseUrl() + "_dev/echo").status, 200);
    EXPECT_EQ(client.get(server->baseUrl() + "_dev/faults").status, 200);
    EXPECT_EQ(connect().code, CURLE_GOT_NOTHING);
}

TEST_F(Faults, ControlApiAddsListsAndClearsFaults) {
    auto added = client.postJson(server->baseUrl() + "_dev/faults",
                                 R"({"path":"connect","action":"reply","status":418,
                                     "body":"teapot","content_type":"text/plain","count":2})");
    ASSERT_EQ(added.status, 201) << added.body;
    EXPECT_EQ(added.json().at("faults").at(0).at("action"), json::value("reply"));
    auto r = connect();
    EXPECT_EQ(r.status, 418);
    EXPECT_EQ(r.body, "teapot");
    EXPECT_EQ(client.get(server->baseUrl() + "_dev/faults").json().at("faults").at(0).at("count"),
              json::value(1));
    EXPECT_EQ(client.perform({"DELETE", server->baseUrl() + "_dev/faults"}).status, 200);
    EXPECT_EQ(connect().status, 200);
    EXPECT_EQ(client.postJson(server->baseUrl() + "_dev/faults", R"({"action":"explode"})").status,
              400);
}

TEST_F(Faults, BlobAnswersTheRequestedSize) {
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{1} << 20}) {
        auto r = client.get(server->baseUrl() + "_dev/blob?size=" + std::to_string(size));
        EXPECT_EQ(r.status, 200);
        EXPECT_EQ(r.body.size(), size);
    }
    EXPECT_EQ(client.get(server->baseUrl() + "_dev/blob?size=-1").status, 400);
}

TEST(FaultShutdown, StoppingTheServerEndsAHangingRequest) {
    auto server = startServer();
    ASSERT_NE(server, nullptr);
    server->addFault(make(Fault::Action::hang));
    const std::string url = server->apiBaseUrl() + "connect";
    HttpResult result;
    std::thread caller([&] {
        HttpClient client;
        HttpCall call{"POST", url};
        call.form = {{"api_key", "demo-api-key"}};
        call.timeoutMs = 120000;
        result = client.perform(call);
    });
    // Wait (bounded) until the request has reached the server.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (server->requests().empty() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(server->requests().size(), 1u);
    const auto stopped = std::chrono::steady_clock::now();
    server.reset();
    caller.join();
    EXPECT_NE(result.code, CURLE_OK);
    EXPECT_NE(result.code, CURLE_OPERATION_TIMEDOUT);
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, std::chrono::seconds(60));
}

}  // namespace
}  // namespace vesk::dev::test
