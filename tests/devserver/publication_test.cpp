// What the real-time channel will deliver: replies are queued for their user once the request
// succeeded, and handed out outside the server's lock.
#include <gtest/gtest.h>

#include <boost/json/parse.hpp>

#include "service.hpp"

namespace vesk::dev::test {
namespace {

namespace json = boost::json;

class Publications : public ::testing::Test {
  protected:
    void SetUp() override {
        service.setBaseUrl("http://127.0.0.1:1/");
        service.setPublisher([this](const std::vector<Publication>& batch) {
            // Outside the lock: calling back into the service must not deadlock.
            (void)service.requests();
            seen.insert(seen.end(), batch.begin(), batch.end());
        });
        const json::value connected = call("POST", "/v1/connect", "api_key=demo-api-key");
        userId = std::string(connected.at("data").at("user").at("id").as_string());
        token = std::string(connected.at("data").at("auth_token").as_string());
    }

    json::value call(const std::string& method, const std::string& target, const std::string& body,
                     const std::string& contentType = "application/x-www-form-urlencoded") {
        HttpRequest request;
        request.method = method;
        request.target = target;
        request.headers = {{"Content-Type", contentType}};
        request.body = body;
        HttpOutcome outcome = service.handle(std::move(request));
        json::error_code ec;
        return json::parse(outcome.reply.body, ec);
    }

    Service service;
    std::vector<Publication> seen;
    std::string userId, token;
};

TEST_F(Publications, UserAndOperatorRepliesAreQueuedForTheUser) {
    const json::value started =
        call("POST", "/v1/users/" + userId + "/startconversation?auth_token=" + token, "body=Hi");
    const std::string conversation(started.at("data").at("id").as_string());
    call("POST", "/_dev/operator/reply",
         R"({"conversation_id":")" + conversation + R"(","text":"Hello"})", "application/json");
    ASSERT_EQ(seen.size(), 2u);
    for (const auto& p : seen) {
        EXPECT_EQ(p.appId, "1001");
        EXPECT_EQ(p.userId, userId);
        EXPECT_EQ(p.channel, "conversation_reply");
        EXPECT_EQ(p.message.at("conversation"), json::value(conversation));
    }
    EXPECT_EQ(seen[0].message.at("direction"), json::value("u2a"));
    EXPECT_EQ(seen[1].message.at("body"), json::value("Hello"));
    EXPECT_EQ(seen[1].message.at("direction"), json::value("a2u"));
}

TEST_F(Publications, FailedRequestsQueueNothing) {
    call("POST", "/v1/users/" + userId + "/startconversation?auth_token=" + token, "");
    call("POST", "/v1/conversations/0/reply?auth_token=" + token, "body=x");
    call("POST", "/_dev/operator/reply", R"({"user_id":"nobody","text":"x"})", "application/json");
    EXPECT_TRUE(seen.empty());
}

}  // namespace
}  // namespace vesk::dev::test
