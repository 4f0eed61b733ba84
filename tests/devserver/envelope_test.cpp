// The envelope, status codes and auth_token checks every /v1/ reply follows.
#include <gtest/gtest.h>

#include "support/http_client.hpp"

namespace vesk::dev::test {
namespace {

namespace json = boost::json;

class Envelope : public ::testing::Test {
  protected:
    void SetUp() override {
        server = startServer();
        ASSERT_NE(server, nullptr);
        api = server->apiBaseUrl();
        session = connectDemo(client, *server);
    }

    // The body is the error envelope of `status`, with both error texts.
    static void expectErrorEnvelope(const HttpResult& r, long status) {
        EXPECT_EQ(r.status, status) << r.body;
        const json::value v = r.json();
        ASSERT_TRUE(v.is_object()) << r.body;
        const auto& meta = v.at("meta").as_object();
        EXPECT_EQ(meta.at("status"), json::value(status));
        EXPECT_TRUE(meta.at("error").is_string());
        EXPECT_TRUE(meta.at("error_message").is_string());
        EXPECT_FALSE(meta.at("error_message").as_string().empty());
        EXPECT_TRUE(v.at("data").is_null());
    }

    std::unique_ptr<DevServer> server;
    HttpClient client;
    std::string api;
    Session session;
};

TEST_F(Envelope, ConnectAnswersUserTokenAndEveryMessengerSetting) {
    auto r = client.post(api + "connect?auth_token=&id_as_string=1",
                         {{"api_key", server->demoApiKey()}, {"start_session", "1"}});
    ASSERT_EQ(r.status, 200);
    const json::value v = r.json();
    EXPECT_EQ(v.at("meta").at("status"), json::value(200));
    const auto& data = v.at("data");
    const auto& user = data.at("user");
    EXPECT_TRUE(user.at("id").is_string());
    EXPECT_TRUE(user.at("is_banned").is_bool());
    EXPECT_TRUE(user.at("has_conversations").is_bool());
    EXPECT_TRUE(user.at("conversations_unread").is_array());
    EXPECT_EQ(data.at("auth_token").as_string().size(), 32u);
    const auto& app = data.at("app");
    EXPECT_EQ(app.at("id"), json::value(server->demoAppId()));
    EXPECT_TRUE(app.at("name").is_string());
    for (const char* key :
         {"messenger_collapsed_color", "messenger_avatar", "messenger_welcome_message",
          "messenger_icon_vk_text", "messenger_icon_viber_text", "messenger_icon_facebook_text",
          "messenger_icon_telegram_text"}) {
        EXPECT_TRUE(app.at("settings").at(key).is_string()) << key;
    }
    for (const char* key :
         {"messenger_show_powered_by", "messenger_icon_vk_show", "messenger_icon_viber_show",
          "messenger_icon_facebook_show", "messenger_icon_telegram_show"}) {
        EXPECT_TRUE(app.at("settings").at(key).is_bool()) << key;
    }
}

TEST_F(Envelope, EachConnectWithoutTokenMakesANewAnonymousUser) {
    const Session other = connectDemo(client, *server);
    EXPECT_NE(other.userId, session.userId);
    EXPECT_NE(other.token, session.token);
}

TEST_F(Envelope, UnknownApiKeyIsA400ErrorEnvelope) {
    expectErrorEnvelope(client.post(api + "connect", {{"api_key", "no-such-key"}}), 400);
}

TEST_F(Envelope, UnknownPathIs404AndWrongMethodIs405) {
    expectErrorEnvelope(client.get(api + "no/such/path" + session.q()), 404);
    expectErrorEnvelope(client.get(api + "connect"), 405);
}

TEST_F(Envelope, RepeatedAndTrailingSlashesRouteAlike) {
    auto r = client.get(api + "/knowledgebase/" + server->demoAppId() + "/" + session.q());
    EXPECT_EQ(r.status, 200) << r.body;
}

struct Endpoint {
    const char* method;
    const char* path;  // "{user}" and "{app}" are filled in
};

void PrintTo(const Endpoint& e, std::ostream* os) {
    *os << e.method << " " << e.path;
}

class AuthToken : public Envelope, public ::testing::WithParamInterface<Endpoint> {
  protected:
    HttpResult call(const std::string& query) {
        std::string path = GetParam().path;
        for (auto [name, value] : {std::pair<std::string, std::string>{"{user}", session.userId},
                                   {"{app}", server->demoAppId()}}) {
            if (auto at = path.find(name); at != std::string::npos) {
                path.replace(at, name.size(), value);
            }
        }
        HttpCall c{GetParam().method, api + path + query};
        if (c.method == "POST") {
            c.form = {{"presence", "online"}};
        }
        return client.perform(c);
    }
};

TEST_P(AuthToken, MissingOrWrongTokenIs401AndTheRightOneIsServed) {
    expectErrorEnvelope(call(""), 401);
    expectErrorEnvelope(call("?auth_token="), 401);
    expectErrorEnvelope(call("?auth_token=0123456789abcdef0123456789abcdef"), 401);
    auto ok = call(session.q());
    EXPECT_EQ(ok.status, 200) << ok.body;
    EXPECT_EQ(ok.json().at("meta").at("status"), json::value(200));
}

INSTANTIATE_TEST_SUITE_P(Endpoints, AuthToken,
                         ::testing::Values(Endpoint{"POST", "users/{user}/setpresence"},
                                           Endpoint{"GET", "users/{user}/conversations"},
                                           Endpoint{"GET", "apps/{app}/integrations"},
                                           Endpoint{"GET", "knowledgebase/{app}/categories"}));

TEST_F(Envelope, AnotherUsersPathIs403) {
    const Session other = connectDemo(client, *server);
    expectErrorEnvelope(client.post(api + "users/" + other.userId + "/setpresence" + session.q(),
                                    {{"presence", "online"}}),
                        403);
}

TEST_F(Envelope, MissingRequiredFieldsAre400) {
    const std::string user = api + "users/" + session.userId;
    expectErrorEnvelope(client.post(user + "/startconversation" + session.q(), {{"x", "1"}}), 400);
    expectErrorEnvelope(client.post(user + "/events" + session.q(), {{"params", "{}"}}), 400);
    expectErrorEnvelope(client.post(user + "/pushes_subscribe" + session.q(), {{"type", "ios"}}),
                        400);
    expectErrorEnvelope(client.post(api + "connect", {{"browser", "x"}}), 400);
}

TEST_F(Envelope, MalformedRequestsGet400AndTheServerKeepsServing) {
    for (const std::string& garbage :
         {std::string("HELLO\r\n\r\n"), std::string("GET / HTTP/1.1\r\nNo colon here\r\n\r\n"),
          std::string("POST /v1/connect HTTP/1.1\r\nContent-Length: zz\r\n\r\n"),
          std::string("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", 11) + "\r\n\r\n"}) {
        const std::string reply = rawExchange(server->port(), garbage);
        EXPECT_EQ(reply.rfind("HTTP/1.1 400", 0), 0u) << reply;
    }
    EXPECT_EQ(client.post(api + "connect", {{"api_key", server->demoApiKey()}}).status, 200);
}

TEST(EnvelopeLimits, BodyOverTheLimitIs413) {
    DevServerOptions options;
    options.bodyLimit = 1024;
    auto server = startServer(options);
    ASSERT_NE(server, nullptr);
    HttpClient client;
    auto r = client.post(server->apiBaseUrl() + "connect",
                         {{"api_key", server->demoApiKey()}, {"device", std::string(4096, 'x')}});
    EXPECT_EQ(r.status, 413) << r.body;
    EXPECT_EQ(
        client.post(server->apiBaseUrl() + "connect", {{"api_key", server->demoApiKey()}}).status,
        200);
}

}  // namespace
}  // namespace vesk::dev::test
