// The session's services: the HMAC and ids, connect and auth replies, user
// properties, and the session requests against the development server.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>
#include <string>

#include "services/event_prop_service.hpp"
#include "services/session_crypto.hpp"
#include "services/user_service.hpp"
#include "tests/services/support/service_fixture.hpp"
#include "tests/support/api_endpoint.hpp"

namespace vesk {
namespace {

// ---- crypto -------------------------------------------------------------------

struct HmacVector {
    std::string key, message, hex;
};

class HmacRfc4231 : public ::testing::TestWithParam<HmacVector> {};

TEST_P(HmacRfc4231, MatchesTheVector) {
    EXPECT_EQ(hmacSha256Hex(GetParam().key, GetParam().message), GetParam().hex);
}

INSTANTIATE_TEST_SUITE_P(
    Vectors, HmacRfc4231,
    ::testing::Values(
        HmacVector{std::string(20, '\x0b'), "Hi There",
                   "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7"},
        HmacVector{"Jefe", "what do ya want for nothing?",
                   "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843"},
        HmacVector{std::string(20, '\xaa'), std::string(50, '\xdd'),
                   "773ea91e36800e46854db8ebd09181a72959098b3ef8c122d9635514ced565fe"},
        // A key longer than the block size is hashed first.
        HmacVector{std::string(131, '\xaa'),
                   "Test Using Larger Than Block-Size Key - Hash Key First",
                   "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54"},
        HmacVector{"", "", "b613679a0814d9ec772f95d778c35fc5ff1697c493715653c6c712144292c5ad"}));

TEST(SessionId, IsThirtyTwoUpperCaseHexDigitsAndNewPerService) {
    const UserService first(testing::endpointWithoutClient(), nullptr);
    const UserService second(testing::endpointWithoutClient(), nullptr);
    EXPECT_EQ(first.sessionId().size(), 32U);
    EXPECT_EQ(first.sessionId().find_first_not_of("0123456789ABCDEF"), std::string::npos);
    EXPECT_NE(first.sessionId(), second.sessionId());
    EXPECT_EQ(first.networkSettings()->token, "");  // blank settings without any given
}

TEST(RandomUuid, IsVersionFourAndNeverRepeatsAcrossAForkOrManyCalls) {
    std::set<std::string> seen;
    for (int i = 0; i < 1000; ++i) {  // several blocks of the per-thread pool
        const std::string id = randomUuid();
        ASSERT_EQ(id.size(), 36U);
        EXPECT_EQ(id[14], '4');
        EXPECT_NE(std::string("89AB").find(id[19]), std::string::npos) << id;
        for (const std::size_t dash : {8U, 13U, 18U, 23U}) {
            EXPECT_EQ(id[dash], '-') << id;
        }
        EXPECT_EQ(id.find_first_not_of("0123456789ABCDEF-"), std::string::npos) << id;
        EXPECT_TRUE(seen.insert(id).second) << id;
    }
    // A forked child must not hand out what its parent hands out next.
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const std::string id = randomUuid();
        const auto written = ::write(fds[1], id.data(), id.size());
        ::_exit(written == static_cast<ssize_t>(id.size()) ? 0 : 1);
    }
    const std::string parentId = randomUuid();
    std::string childId(36, '\0');
    ASSERT_EQ(::read(fds[0], childId.data(), childId.size()), 36);
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(fds[0]);
    ::close(fds[1]);
    EXPECT_NE(childId, parentId);
}

// ---- models -------------------------------------------------------------------

std::string connectBody(const std::string& settingsExtra, const std::string& userExtra = "") {
    return R"({"meta":{"status":200},"data":{"auth_token":"tok","user":{"id":"u1",)"
           R"("is_banned":false,"has_conversations":true,"conversations_unread":["c1"])" +
           userExtra +
           R"(},"app":{"id":"a1","name":"Shop","settings":{"messenger_collapsed_color":"#fff",)"
           R"("messenger_avatar":"av","messenger_welcome_message":"hi",)"
           R"("messenger_icon_vk_show":true,"messenger_icon_viber_show":false,)"
           R"("messenger_icon_facebook_show":false,"messenger_icon_telegram_show":true)" +
           settingsExtra + "}}}}";
}

TEST(ConnectReply, DecodesUserAndMessengerAndAnOptionalTextOfAnotherTypeIsAbsent) {
    const std::string body = connectBody(
        R"(,"messenger_show_powered_by":true,"messenger_icon_vk_text":5,"messenger_icon_viber_text":"v")");
    const auto mapped = UserService::mapConnectReply(200, body);
    ASSERT_TRUE(mapped);
    ASSERT_TRUE(mapped->succeed());
    const auto& [user, messenger] = *mapped->success();
    EXPECT_EQ(user.id, "u1");
    EXPECT_EQ(user.token, "tok");
    EXPECT_TRUE(user.hasConversations);
    EXPECT_EQ(user.conversationsUnread, std::vector<std::string>{"c1"});
    EXPECT_EQ(messenger.appId, "a1");
    EXPECT_TRUE(messenger.isPoweredByVisible);
    EXPECT_TRUE(messenger.isTelegramVisible);
    EXPECT_FALSE(messenger.vkText.has_value());
    EXPECT_EQ(messenger.viberText, "v");
    EXPECT_TRUE(messenger.connectData->object()->contains("app"));
    // The connect path takes the tree; decoding from a tree that stays copies it.
    const auto tree = JsonValue::parse(body);
    ASSERT_TRUE(tree);
    const auto copied = json::Codec<Messenger>::decode(*tree);
    ASSERT_TRUE(copied);
    EXPECT_EQ(*copied, messenger);
    EXPECT_EQ(*copied->connectData, tree->object()->find("data")->value());
}

struct BadConnect {
    std::string body;
    std::string text;
};

class ConnectReplyErrors : public ::testing::TestWithParam<BadConnect> {};

TEST_P(ConnectReplyErrors, GiveTheRussianText) {
    const auto mapped = UserService::mapConnectReply(200, GetParam().body);
    ASSERT_TRUE(mapped);
    ASSERT_FALSE(mapped->succeed());
    EXPECT_EQ(mapped->error()->text(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, ConnectReplyErrors,
    ::testing::Values(
        BadConnect{connectBody(""),  // no "messenger_show_powered_by"
                   "connect(withKey: withVersion:) Ошибка десериализации модели Messenger"},
        BadConnect{connectBody(R"(,"messenger_show_powered_by":true)", R"(,"is_banned":"no")"),
                   "connect(withKey: withVersion:) Ошибка десериализации модели User"},
        BadConnect{"not json",
                   "connect(withKey: withVersion:) Ошибка десериализации модели User"}));

TEST(ConnectReply, RejectionCarriesTheEnvelopeText) {
    const auto mapped = UserService::mapConnectReply(
        400,
        R"({"meta":{"status":400,"error":"invalid_api_key","error_message":"Unknown"},"data":{}})");
    ASSERT_TRUE(mapped);
    EXPECT_EQ(mapped->error()->text(), "Error (status: 400) invalid_api_key: Unknown");
    EXPECT_FALSE(UserService::mapConnectReply(502, "<html>"));  // a failed stream
}

Messenger someMessenger() {
    Messenger m;
    m.appId = "a1";
    return m;
}

const char* kAuthUser =
    R"("user":{"id":"ext","is_banned":false,"has_conversations":false,"conversations_unread":[]})";

TEST(AuthReply, NumericTokenBecomesItsDecimalText) {
    const auto mapped = UserService::mapAuthReply(
        200,
        std::string(R"({"meta":{"status":200},"data":{"auth_token":12345,)") + kAuthUser + "}}",
        someMessenger(), std::nullopt);
    ASSERT_TRUE(mapped && mapped->succeed());
    const auto& session = **mapped->success();
    EXPECT_EQ(session.first.id, "ext");
    EXPECT_EQ(session.first.token, "12345");
    EXPECT_EQ(session.second.appId, "a1");
}

TEST(AuthReply, UndecodableUserFallsBackToTheOldUserWithTheNewToken) {
    User old;
    old.id = "old";
    old.token = "stale";
    const std::string body = R"({"meta":{"status":200},"data":{"auth_token":"fresh"}})";
    const auto withOld = UserService::mapAuthReply(200, body, someMessenger(), old);
    ASSERT_TRUE(withOld && withOld->succeed());
    EXPECT_EQ((*withOld->success())->first.id, "old");
    EXPECT_EQ((*withOld->success())->first.token, "fresh");
    const auto withoutOld = UserService::mapAuthReply(200, body, someMessenger(), std::nullopt);
    ASSERT_TRUE(withoutOld);
    EXPECT_EQ(withoutOld->error()->text(), "Wrong old user");
}

TEST(AuthReply, MissingTokenOrDataGiveTheirTexts) {
    const auto noToken = UserService::mapAuthReply(
        200, std::string(R"({"meta":{"status":200},"data":{)") + kAuthUser + "}}", someMessenger(),
        std::nullopt);
    EXPECT_EQ(noToken->error()->text(), "Wrong user serializator");
    for (const char* body : {"garbage", R"({"meta":{"status":200}})", R"({"data":[1]})"}) {
        const auto mapped = UserService::mapAuthReply(200, body, someMessenger(), std::nullopt);
        ASSERT_TRUE(mapped) << body;
        EXPECT_EQ(mapped->error()->text(),
                  "auth(withUserId: withUserAuthKey:) Ошибка десериализации модели User")
            << body;
    }
}

// ---- properties ---------------------------------------------------------------

TEST(UserProperties, EncodeAsOpKeyValueObjectsWithEscapedQuotes) {
    EXPECT_EQ(encodeUserProperties({}), "[]");
    EXPECT_EQ(encodeUserProperties(
                  {UserProperty("$name", "A \"q\"", UserProperty::Operations::setOnce),
                   EcommerceUserProperty(EcommerceUserProperty::Property::lastOrderStatus, "paid",
                                         UserProperty::Operations::delete_)}),
              R"([{"op":"set_once","key":"$name","value":"A \"q\""},)"
              R"({"op":"delete","key":"$last_order_status","value":"paid"}])");
}

TEST(UserProperties, OperationRawValuesRoundTrip) {
    for (int i = 0; i <= static_cast<int>(UserProperty::Operations::exclude); ++i) {
        const auto op = static_cast<UserProperty::Operations>(i);
        EXPECT_EQ(UserProperty::operation(UserProperty::rawValue(op)), op);
    }
    EXPECT_EQ(UserProperty::rawValue(UserProperty::Operations::union_), "union");
    EXPECT_FALSE(UserProperty::operation("update").has_value());
    EXPECT_EQ(EcommerceUserProperty::rawValue(EcommerceUserProperty::Property::viewedCategories),
              "$viewed_categories");
}

// ---- services against the development server -------------------------------------

using ServicesTest = testing::ServiceTest;

TEST_F(ServicesTest, ConnectSendsTheSessionFieldsAndDecodesTheDemoApp) {
    const UserService service(api, nullptr);
    const auto result = first(service.connect(server->demoApiKey(), "1.0.33"));
    ASSERT_TRUE(result && result->succeed());
    EXPECT_EQ(result->success()->second.appId, server->demoAppId());
    const auto sent = requestsTo("/v1/connect");
    ASSERT_EQ(sent.size(), 1U);
    const auto& r = sent[0];
    EXPECT_EQ(r.method, "POST");
    EXPECT_EQ(r.formField("start_session_random_id"), service.sessionId());
    EXPECT_EQ(r.formField("api_key"), server->demoApiKey());
    EXPECT_EQ(r.formField("start_session"), "1");
    EXPECT_EQ(r.formField("include_auto_events"), "0");
    EXPECT_EQ(r.formField("include_js_scripts"), "0");
    EXPECT_EQ(r.formField("include_push_domain"), "0");
    EXPECT_EQ(r.formField("browser"), "iOS sdk 1.0.33");
    EXPECT_EQ(r.formField("os").rfind("iOS ", 0), 0U);
    EXPECT_EQ(r.formField("device_type"), "phone");
    EXPECT_EQ(r.formField("token_type"), "usersdkios");
    EXPECT_TRUE(r.hasQueryItem("auth_token"));
    EXPECT_EQ(r.queryItem("id_as_string"), "1");
}

TEST_F(ServicesTest, AuthWithTheRightHashIdentifiesTheUserAndAWrongKeyIsRejected) {
    const UserService service(api, settings);
    Messenger messenger;
    messenger.appId = settings->appId;
    const auto ok =
        first(service.auth("ext-1", messenger, std::nullopt, server->demoUserAuthKey()));
    ASSERT_TRUE(ok && ok->succeed());
    EXPECT_EQ((*ok->success())->first.id.empty(), false);
    EXPECT_TRUE((*ok->success())->first.token.has_value());
    const auto sent = requestsTo("/v1/auth/userappauth");
    ASSERT_EQ(sent.size(), 1U);
    EXPECT_EQ(sent[0].formField("hash"), hmacSha256Hex(server->demoUserAuthKey(), "ext-1"));
    const auto bad = first(service.auth("ext-1", messenger, std::nullopt, "wrong key"));
    ASSERT_TRUE(bad);
    EXPECT_EQ(bad->error()->text().rfind("Error (status: 403) ", 0), 0U);
}

TEST_F(ServicesTest, EmptyPropertyListAndParameterlessEventSendTheMinimum) {
    const EventPropService service(api, settings);
    ASSERT_TRUE(first(service.setUserProperty({}))->succeed());
    ASSERT_TRUE(first(service.trackEvent("opened", ""))->succeed());
    ASSERT_TRUE(first(service.trackEvent("bought", R"({"sum":5})"))->succeed());
    const auto props = requestsTo("/v1/users/" + service.networkSettings()->userId + "/props");
    ASSERT_EQ(props.size(), 1U);
    EXPECT_EQ(props[0].formFields, (decltype(props[0].formFields){{"operations", "[]"}}));
    const auto events = requestsTo("/v1/users/" + service.networkSettings()->userId + "/events");
    ASSERT_EQ(events.size(), 2U);
    EXPECT_EQ(events[0].formFields, (decltype(events[0].formFields){{"event", "opened"}}));
    EXPECT_EQ(events[1].formField("params"), R"({"sum":5})");
}

TEST_F(ServicesTest, ServiceEventWritesRolesAsAQuotedList) {
    const EventPropService service(api, settings);
    ASSERT_TRUE(first(service.trackServiceEvent("rated", "", {"admin", "owner"})));
    const auto sent =
        requestsTo("/v1/apps/" + service.networkSettings()->appId + "/service_events");
    ASSERT_EQ(sent.size(), 1U);
    EXPECT_EQ(sent[0].formField("admin_roles"), R"(["admin","owner"])");
    EXPECT_FALSE(sent[0].hasFormField("event_props"));
}

}  // namespace
}  // namespace vesk
