// User properties, events, push subscriptions, refusals and seed files.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <boost/json/parse.hpp>
#include <filesystem>
#include <fstream>

#include "support/http_client.hpp"

namespace vesk::dev::test {
namespace {

namespace json = boost::json;

class UserData : public ::testing::Test {
  protected:
    void SetUp() override {
        server = startServer();
        ASSERT_NE(server, nullptr);
        session = connectDemo(client, *server);
        user = server->apiBaseUrl() + "users/" + session.userId;
    }

    json::value stateOfUser() {
        const json::value state = client.get(server->baseUrl() + "_dev/state").json();
        for (const auto& u : state.at("users").as_array()) {
            if (u.at("id") == json::value(session.userId)) {
                return u;
            }
        }
        return nullptr;
    }

    std::unique_ptr<DevServer> server;
    HttpClient client;
    Session session;
    std::string user;
};

TEST_F(UserData, PropertyOperationsCombineAsNamed) {
    auto props = [&](const std::string& operations) {
        return client.post(user + "/props" + session.q(), {{"operations", operations}});
    };
    ASSERT_EQ(props(R"([{"op":"update_or_create","key":"$name","value":"Ann"},
                        {"op":"set_once","key":"$name","value":"Bob"},
                        {"op":"set_once","key":"plan","value":"free"},
                        {"op":"add","key":"$orders_count","value":"2"},
                        {"op":"add","key":"$orders_count","value":"3"},
                        {"op":"append","key":"tags","value":"a"},
                        {"op":"union","key":"tags","value":"a"},
                        {"op":"union","key":"tags","value":"b"},
                        {"op":"exclude","key":"tags","value":"a"},
                        {"op":"update_or_create","key":"gone","value":"x"},
                        {"op":"delete","key":"gone","value":""}])")
                  .status,
              200);
    const json::value expected =
        json::parse(R"({"$name":"Ann","plan":"free","$orders_count":5,"tags":["b"]})");
    EXPECT_EQ(stateOfUser().at("props"), expected);

    // A bad list changes nothing at all.
    EXPECT_EQ(
        props(R"([{"op":"update_or_create","key":"plan","value":"pro"},{"op":"boom"}])").status,
        400);
    EXPECT_EQ(props("not json").status, 400);
    EXPECT_EQ(props("[]").status, 200);
    EXPECT_EQ(stateOfUser().at("props"), expected);
}

TEST_F(UserData, EventsAndPushSubscriptionsAreKept) {
    EXPECT_EQ(client.post(user + "/events" + session.q(), {{"event", "opened"}}).status, 200);
    EXPECT_EQ(client
                  .post(user + "/events" + session.q(),
                        {{"event", "bought"}, {"params", R"({"sum":10})"}})
                  .status,
              200);
    const Fields device = {
        {"device_guid", "D1"}, {"token", "t1"}, {"type", "ios"}, {"user_agent", "x"}};
    EXPECT_EQ(client.post(user + "/pushes_subscribe" + session.q(), device).status, 200);
    Fields renewed = device;
    renewed[1].second = "t2";
    EXPECT_EQ(client.post(user + "/pushes_subscribe" + session.q(), renewed).status, 200);

    json::value u = stateOfUser();
    ASSERT_EQ(u.at("events").as_array().size(), 2u);
    EXPECT_EQ(u.at("events").at(1).at("params"), json::parse(R"({"sum":10})"));
    ASSERT_EQ(u.at("pushes").as_array().size(), 1u);
    EXPECT_EQ(u.at("pushes").at(0).at("token"), json::value("t2"));

    auto removed = client.post(user + "/pushes_unsubscribe" + session.q(),
                               {{"device_guid", "D1"}, {"type", "ios"}});
    EXPECT_EQ(removed.json().at("data").at("removed"), json::value(1));
    EXPECT_TRUE(stateOfUser().at("pushes").as_array().empty());
}

// The wire itself is followed through the services' integration and
// knowledge-base tests; these are the refusals those never send.
TEST_F(UserData, SignatureAndIntegrationRefuseMalformedInput) {
    auto signature = client.get(user + "/signature/" + session.q() +
                                "&external_service=calendly&additional_signed_values=d1,c1");
    EXPECT_EQ(signature.status, 400) << signature.body;
    EXPECT_EQ(client
                  .post(server->apiBaseUrl() + "integrations/djangousers" + session.q(),
                        {{"settings", R"({"code":""})"}, {"type", "zoom"}})
                  .status,
              400);
}

class Seed : public ::testing::Test {
  protected:
    void SetUp() override {
        file_ = (std::filesystem::temp_directory_path() /
                 ("vesk-seed-" + std::to_string(::getpid()) + ".json"))
                    .string();
    }
    void TearDown() override { std::filesystem::remove(file_); }

    std::unique_ptr<DevServer> startWith(const std::string& seed, std::string* error) {
        std::ofstream(file_) << seed;
        DevServerOptions options;
        options.seedFile = file_;
        return DevServer::start(options, error);
    }

    std::string file_;
};

TEST_F(Seed, AddsAppsUsersAndConversations) {
    std::string error;
    auto server = startWith(R"({
        // comments and trailing commas are allowed
        "apps": [{"api_key": "shop-key", "app_id": "7", "user_auth_key": "shop-auth",
                  "settings": {"messenger_collapsed_color": "#ff0000"}}],
        "users": [{"id": "500", "app_id": "7", "token": "tok-500", "user_id": "alice"}],
        "conversations": [{"id": "900", "user": "500",
                           "parts": [{"from": "user", "body": "Hi"},
                                     {"from": "admin", "body": "Hello Alice"},]}],
    })",
                            &error);
    ASSERT_NE(server, nullptr) << error;
    HttpClient client;
    auto connected =
        client.post(server->apiBaseUrl() + "connect?auth_token=tok-500", {{"api_key", "shop-key"}});
    const json::value v = connected.json();
    EXPECT_EQ(v.at("data").at("user").at("id"), json::value("500"));
    EXPECT_EQ(v.at("data").at("app").at("settings").at("messenger_collapsed_color"),
              json::value("#ff0000"));
    auto dialog = client.get(server->apiBaseUrl() + "conversations/900?auth_token=tok-500");
    ASSERT_EQ(dialog.status, 200) << dialog.body;
    EXPECT_EQ(dialog.json().at("data").at("user_unread_count"), json::value(1));
    // Ids the server makes later never collide with seeded ones.
    auto fresh = client.post(
        server->apiBaseUrl() + "users/500/startconversation?auth_token=tok-500", {{"body", "x"}});
    EXPECT_NE(fresh.json().at("data").at("id"), json::value("900"));
}

TEST_F(Seed, MalformedSeedsFailToStartWithAReason) {
    for (const char* seed : {"{", R"({"apps": {}})", R"({"apps": [{"api_key": "demo-api-key",
          "app_id": "1", "user_auth_key": "k"}]})",
                             R"({"users": [{"id": "1", "token": "t", "app_id": "nope"}]})",
                             R"({"conversations": [{"user": "nobody"}]})",
                             R"({"users": [{"id": "1", "token": "t"}],
                                 "conversations": [{"user": "1", "parts": []}]})"}) {
        std::string error;
        EXPECT_EQ(startWith(seed, &error), nullptr) << seed;
        EXPECT_FALSE(error.empty()) << seed;
    }
}

}  // namespace
}  // namespace vesk::dev::test
