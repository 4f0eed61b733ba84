// Identification by HMAC-SHA256 of the user id, apps added at run time and app-connection tokens.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include "support/http_client.hpp"

namespace vesk::dev::test {
namespace {

namespace json = boost::json;

// Computed independently of the server's own code.
std::string hmacHex(const std::string& key, const std::string& message) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()),
         reinterpret_cast<const unsigned char*>(message.data()), message.size(), digest, &length);
    std::string hex;
    char pair[3];
    for (unsigned int i = 0; i < length; ++i) {
        std::snprintf(pair, sizeof pair, "%02x", digest[i]);
        hex += pair;
    }
    return hex;
}

class Auth : public ::testing::Test {
  protected:
    void SetUp() override {
        server = startServer();
        ASSERT_NE(server, nullptr);
        anonymous = connectDemo(client, *server);
    }

    HttpResult auth(const Session& as, const std::string& userId, const std::string& hash) {
        return client.post(server->apiBaseUrl() + "auth/userappauth" + as.q(),
                           {{"hash", hash}, {"user_id", userId}});
    }

    std::unique_ptr<DevServer> server;
    HttpClient client;
    Session anonymous;
};

TEST_F(Auth, KnownTextVectorMatches) {
    // HMAC-SHA256("key", "The quick brown fox jumps over the lazy dog"), a published vector.
    EXPECT_EQ(hmacHex("key", "The quick brown fox jumps over the lazy dog"),
              "f7bc83f430538424b13298e6aa6fb143ef4d59a14946175997479dbc2d1a3cd8");
}

TEST_F(Auth, RightHashIdentifiesTheSameUserEveryTime) {
    const std::string hash = hmacHex(server->demoUserAuthKey(), "customer-42");
    auto first = auth(anonymous, "customer-42", hash);
    ASSERT_EQ(first.status, 200) << first.body;
    const json::value reply = first.json();
    const auto& data = reply.at("data");
    const std::string id(data.at("user").at("id").as_string());
    const std::string token(data.at("auth_token").as_string());
    EXPECT_NE(id, anonymous.userId);
    EXPECT_EQ(data.at("user").at("user_id"), json::value("customer-42"));
    EXPECT_FALSE(data.at("user").at("is_banned").as_bool());

    const Session another = connectDemo(client, *server);
    auto second = auth(another, "customer-42", hash);
    ASSERT_EQ(second.status, 200);
    EXPECT_EQ(second.json().at("data").at("user").at("id"), json::value(id));
    EXPECT_EQ(second.json().at("data").at("auth_token"), json::value(token));

    // The identified user's token opens its own paths.
    auto presence =
        client.post(server->apiBaseUrl() + "users/" + id + "/setpresence" + Session{id, token}.q(),
                    {{"presence", "online"}});
    EXPECT_EQ(presence.status, 200) << presence.body;
}

TEST_F(Auth, WrongHashesAreRefused) {
    const std::string right = hmacHex(server->demoUserAuthKey(), "customer-42");
    std::string upper = right;
    for (auto& c : upper) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    for (const std::string& hash :
         {hmacHex(server->demoUserAuthKey(), "customer-43"), hmacHex("other-key", "customer-42"),
          upper, std::string(), right.substr(0, 63)}) {
        auto r = auth(anonymous, "customer-42", hash);
        EXPECT_EQ(r.status, 403) << hash;
        EXPECT_EQ(r.json().at("meta").at("error"), json::value("invalid_hash"));
    }
}

TEST_F(Auth, NeedsTheAnonymousUsersToken) {
    auto r =
        auth(Session{"", "nope"}, "customer-42", hmacHex(server->demoUserAuthKey(), "customer-42"));
    EXPECT_EQ(r.status, 401);
}

TEST_F(Auth, AppsAddedAtRunTimeUseTheirOwnKeys) {
    ASSERT_TRUE(server->addApp({"second-key", "2002", "second-auth", "Second"}));
    EXPECT_FALSE(server->addApp({"second-key", "2003", "x", ""}));
    auto control =
        client.postJson(server->baseUrl() + "_dev/apps",
                        R"({"api_key":"third-key","app_id":"3003","user_auth_key":"third-auth"})");
    EXPECT_EQ(control.status, 201) << control.body;
    EXPECT_EQ(client
                  .postJson(server->baseUrl() + "_dev/apps",
                            R"({"api_key":"third-key","app_id":"3004","user_auth_key":"x"})")
                  .status,
              409);

    for (auto [key, appId, authKey] : {std::tuple{"second-key", "2002", "second-auth"},
                                       std::tuple{"third-key", "3003", "third-auth"}}) {
        auto r = client.post(server->apiBaseUrl() + "connect", {{"api_key", key}});
        ASSERT_EQ(r.status, 200) << r.body;
        const json::value reply = r.json();
        const auto& data = reply.at("data");
        EXPECT_EQ(data.at("app").at("id"), json::value(appId));
        const Session s{std::string(data.at("user").at("id").as_string()),
                        std::string(data.at("auth_token").as_string())};
        EXPECT_EQ(auth(s, "u1", hmacHex(authKey, "u1")).status, 200);
        EXPECT_EQ(auth(s, "u1", hmacHex(server->demoUserAuthKey(), "u1")).status, 403);
    }
}

TEST_F(Auth, AppConnectionTokenReachesTheAppsConversations) {
    const std::string appToken = "appm-" + server->demoAppId() + "-" + anonymous.token;
    const std::string path = server->apiBaseUrl() + "apps/" + server->demoAppId() +
                             "/conversations?auth_token=" + appToken + "&recipient_type=sdk";
    auto r = client.get(path);
    EXPECT_EQ(r.status, 200) << r.body;
    EXPECT_EQ(client
                  .get(server->apiBaseUrl() + "apps/" + server->demoAppId() +
                       "/conversations?auth_token=appm-9999-" + anonymous.token)
                  .status,
              401);
}

}  // namespace
}  // namespace vesk::dev::test
