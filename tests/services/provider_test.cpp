#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/config/library_bundles.hpp"
#include "services/network/parameter_encoding.hpp"
#include "services/network/targets/conversation_target.hpp"
#include "services/network/targets/integration_targets.hpp"
#include "services/network/targets/user_target.hpp"
#include "services/network/vesk_provider.hpp"
#include "tests/support/capturing_console_sink.hpp"
#include "vesk/configuration.hpp"

namespace vesk {
namespace {

using Kind = NetworkSettings::ConnectionType;

NetworkSettingsPtr settings(Kind kind = Kind::sdk, std::string token = "T") {
    return std::make_shared<const NetworkSettings>(kind, std::move(token), "A", "U");
}

net::Parameters formOf(const net::HttpRequest& request) {
    const auto* form = std::get_if<net::FormBody>(&request.body);
    return form ? form->fields : net::Parameters{};
}

constexpr const char* kBase = "https://api.example/v1/";

class ProviderTest : public ::testing::Test {};

TEST_F(ProviderTest, PresenceIsTheWorkedExample) {
    const VeskProvider provider(settings(), kBase, false);
    const auto request = provider.request(UserTarget::setPresence());
    ASSERT_TRUE(request);
    EXPECT_EQ(request->method, net::HttpMethod::post);
    EXPECT_EQ(request->url, "https://api.example/v1/users/U/setpresence");
    EXPECT_EQ(formOf(*request), (net::Parameters{{"presence", "online"}}));
    EXPECT_EQ(request->query, (net::Parameters{{"auth_token", "T"}, {"id_as_string", "1"}}));
}

TEST_F(ProviderTest, PlainRequestsStillCarryTheTokenInTheQuery) {
    const VeskProvider provider(settings(), kBase, false);
    const auto request = provider.request(ConversationTraget::getDialog("d 1"));
    ASSERT_TRUE(request);
    EXPECT_EQ(request->method, net::HttpMethod::get);
    EXPECT_EQ(request->url, "https://api.example/v1/conversations/d%201");
    EXPECT_EQ(request->query, (net::Parameters{{"auth_token", "T"}, {"id_as_string", "1"}}));
    EXPECT_TRUE(std::holds_alternative<std::monostate>(request->body));
}

TEST_F(ProviderTest, ParametersAreSortedWithBooleansAsNumbersAndArraysWithBrackets) {
    const Parameters parameters{
        {"z", JsonValue(true)},        {"a", JsonValue(JsonArray{JsonValue("x"), JsonValue(2)})},
        {"m", JsonValue(false)},       {"o", JsonValue(JsonObject{{"k", JsonValue(1.5)}})},
        {"n", JsonValue(JsonEmpty{})},
    };
    EXPECT_EQ(flattenParameters(parameters),
              (net::Parameters{
                  {"a[]", "x"}, {"a[]", "2"}, {"m", "0"}, {"n", ""}, {"o[k]", "1.5"}, {"z", "1"}}));
}

TEST_F(ProviderTest, PlaceholdersFillStringValuesButNeverKeys) {
    const VeskProvider provider(settings(), kBase, false);
    const auto out = provider.connectionParams(
        {{"{user_id}", JsonValue("{user_id}/{app_id}")}, {"n", JsonValue(5)}});
    EXPECT_EQ(out.find("{user_id}")->value(), JsonValue("U/A"));
    EXPECT_EQ(out.find("n")->value(), JsonValue(5));
}

TEST_F(ProviderTest, CompositeFormsFillPlaceholdersAndKeepTheTokenInTheQuery) {
    const VeskProvider provider(settings(), kBase, false);
    const auto target = makeTarget<UserTarget>(
        "x", net::HttpMethod::post,
        Task::composite({{"who", JsonValue("{user_id}@{app_id}")}, {"n", JsonValue(2)}}));
    const auto request = provider.request(target);
    ASSERT_TRUE(request);
    EXPECT_EQ(formOf(*request), (net::Parameters{{"n", "2"}, {"who", "U@A"}}));
    EXPECT_EQ(request->query, (net::Parameters{{"auth_token", "T"}, {"id_as_string", "1"}}));
    // The target itself is left as it was: a stream may send it again.
    EXPECT_EQ(target.task.parameters.find("who")->value(), JsonValue("{user_id}@{app_id}"));
}

TEST_F(ProviderTest, ConversationsAreRootedAtTheUserOrForAnAppConnectionAtTheApp) {
    EXPECT_EQ(VeskProvider(settings(), kBase, false)
                  .request(ConversationTraget::get("1.5", true, "before"))
                  ->url,
              "https://api.example/v1/users/U/conversations");
    const VeskProvider provider(settings(Kind::app), kBase, false);
    const auto request = provider.request(ConversationTraget::get("", false, "before"));
    ASSERT_TRUE(request);
    EXPECT_EQ(request->url, "https://api.example/v1/apps/A/conversations");
    EXPECT_EQ(request->query, (net::Parameters{{"after", ""},
                                               {"auth_token", "appm-A-T"},
                                               {"id_as_string", "1"},
                                               {"paginate_direction", "before"},
                                               {"paginate_including", "0"},
                                               {"recipient_type", "sdk"}}));
}

TEST_F(ProviderTest, RecipientTypeOnlyForTheConversationList) {
    const VeskProvider provider(settings(), kBase, false);
    const auto request = provider.request(ConversationTraget::start("hi"));
    ASSERT_TRUE(request);
    // A POST with the default encoding carries its tokenized parameters in the body.
    EXPECT_EQ(formOf(*request),
              (net::Parameters{{"auth_token", "T"}, {"body", "hi"}, {"id_as_string", "1"}}));
    EXPECT_TRUE(request->query.empty());
}

TEST_F(ProviderTest, WithoutSettingsOnlyIdAsStringIsAdded) {
    const VeskProvider provider(nullptr, kBase, false);
    const auto request = provider.request(UserTarget::auth("u", "h"));
    ASSERT_TRUE(request);
    EXPECT_EQ(request->url, "https://api.example/v1/auth/userappauth");
    EXPECT_EQ(request->query, (net::Parameters{{"id_as_string", "1"}}));
    EXPECT_EQ(formOf(*request), (net::Parameters{{"hash", "h"}, {"user_id", "u"}}));
}

TEST_F(ProviderTest, AnEmptyTokenIsStillSent) {
    const VeskProvider provider(settings(Kind::sdk, ""), kBase, false);
    EXPECT_EQ(provider.request(UserTarget::setPresence())->query,
              (net::Parameters{{"auth_token", ""}, {"id_as_string", "1"}}));
}

TEST_F(ProviderTest, LeadingSlashPathsJoinWithOneSlash) {
    const VeskProvider provider(settings(), kBase, false);
    EXPECT_EQ(provider.request(CalendlyTarget::deleteIntegration("7"))->url,
              "https://api.example/v1/integrations/djangousers/7");
}

TEST_F(ProviderTest, MessageTargetsFillTheAppIdInParameters) {
    const VeskProvider provider(settings(), kBase, false);
    const auto del = provider.request(MessageTarget::deleteMessage("m"));
    EXPECT_EQ(del->method, net::HttpMethod::del);
    EXPECT_EQ(del->query,
              (net::Parameters{{"app", "A"}, {"auth_token", "T"}, {"id_as_string", "1"}}));
    const auto edit = provider.request(MessageTarget::editMessage("m", "text"));
    EXPECT_EQ(formOf(*edit), (net::Parameters{{"app", "A"}, {"body", "text"}}));
}

TEST_F(ProviderTest, AnInvalidBaseUrlIsAnError) {
    const VeskProvider provider(settings(), "not a url", false);
    EXPECT_FALSE(provider.request(UserTarget::setPresence()));
}

TEST_F(ProviderTest, LoggerMasksEveryCredentialWhereverItAppears) {
    testing::ScopedConsoleCapture console;
    const VeskProvider provider(settings(Kind::sdk, "secret-token"), kBase, true);
    net::HttpReply reply;
    reply.status = 200;
    // A new token nested in the reply, an escaped quote before it, and one left open.
    reply.body = R"({"echo":"secret-token","data":{"note":"a \"q\"","auth_token" : "new-token"},)"
                 R"("user":{"id":"u1"},"token":"cut-token)";
    const auto exchange = [&](const auto& target) {
        const auto request = provider.request(target);
        provider.logRequest(*request);
        provider.logReply(*request, &reply, nullptr);
    };
    exchange(ConversationTraget::start("hi"));
    exchange(UserTarget::auth("customer-7", "hmac-hash"));
    const auto push = provider.request(PushTarget::send("push-token", "device", "fcm", "agent"));
    provider.logRequest(*push);
    const auto calendly = provider.request(CalendlyTarget::createIntegration("calendly-key"));
    provider.logRequest(*calendly);

    const auto lines = console.sink().lines();
    ASSERT_EQ(lines.size(), 6U);
    for (const auto& line : lines) {
        for (const char* secret : {"secret-token", "new-token", "cut-token", "hmac-hash",
                                   "push-token", "calendly-key"}) {
            EXPECT_EQ(line.text.find(secret), std::string::npos) << line.text;
        }
        EXPECT_EQ(line.category, "VeskNetwork");
    }
    // What is not a credential stays readable.
    EXPECT_NE(lines[1].text.find(R"("user":{"id":"u1"})"), std::string::npos) << lines[1].text;
    EXPECT_NE(lines[2].text.find("user_id=customer-7"), std::string::npos) << lines[2].text;
}

TEST_F(ProviderTest, UnreadableJpegDegradesToAPlainPost) {
    testing::ScopedConsoleCapture console;
    const auto target = ConversationTraget::replyFile(true, "d", "/nonexistent/a.jpeg", "r");
    EXPECT_EQ(target.task.kind, Task::Kind::requestPlain);
    EXPECT_EQ(target.path, "conversations/d/replyfile");
    const auto lines = console.sink().lines();
    ASSERT_EQ(lines.size(), 2U);
    EXPECT_EQ(lines[0].text, "jpeg");
    EXPECT_EQ(lines[1].text, "ERROR while replyFile");
}

TEST_F(ProviderTest, OtherFilesStreamFromDiskWithoutNameOrType) {
    const auto dir = std::filesystem::temp_directory_path() / "vesk-provider-test";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "b.png") << "png-bytes";
    const auto target = ConversationTraget::replyFile(true, "d", dir / "b.png", "r1");
    ASSERT_EQ(target.task.kind, Task::Kind::uploadMultipart);
    ASSERT_EQ(target.task.parts.size(), 1U);
    EXPECT_EQ(target.task.parts[0].name, "file");
    EXPECT_EQ(target.task.parts[0].file, dir / "b.png");
    EXPECT_TRUE(target.task.parts[0].filename.empty());
    EXPECT_TRUE(target.task.parts[0].mimeType.empty());
    const VeskProvider provider(settings(), kBase, false);
    EXPECT_EQ(provider.request(target)->query, (net::Parameters{{"auth_token", "T"},
                                                                {"filename", "b.png"},
                                                                {"id_as_string", "1"},
                                                                {"random_id", "r1"}}));
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace vesk
