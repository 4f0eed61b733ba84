// Requests built by the provider, sent through the HTTP client to the
// development server, as the server recorded them.
#include <gtest/gtest.h>
#include <jpeglib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "core/config/library_bundles.hpp"
#include "core/simple_id.hpp"
#include "services/network/targets/conversation_target.hpp"
#include "services/network/targets/event_prop_target.hpp"
#include "services/network/targets/integration_targets.hpp"
#include "services/network/targets/user_target.hpp"
#include "services/network/vesk_service.hpp"
#include "tests/support/api_endpoint.hpp"
#include "tests/support/capturing_console_sink.hpp"
#include "tools/devserver/dev_server.hpp"
#include "vesk/configuration.hpp"

namespace vesk {
namespace {

using std::chrono::seconds;

// A small gradient JPEG at high quality, so re-encoding has something to shrink.
std::string makeJpeg(int width, int height) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<unsigned char> row(static_cast<std::size_t>(width) * 3);
    while (info.next_scanline < info.image_height) {
        for (int x = 0; x < width; ++x) {
            const auto i = static_cast<std::size_t>(x) * 3;
            row[i] = static_cast<unsigned char>(x * 255 / width);
            const auto y = static_cast<int>(info.next_scanline);
            row[i + 1] = static_cast<unsigned char>(y * 255 / height);
            row[i + 2] = static_cast<unsigned char>((x * 7 + y * 13) % 256);
        }
        JSAMPROW pointer = row.data();
        jpeg_write_scanlines(&info, &pointer, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::string bytes(reinterpret_cast<const char*>(out), size);
    std::free(out);
    return bytes;
}

dev::Fault fault(dev::Fault::Action action, int count, int status = 500, std::string body = {}) {
    dev::Fault f;
    f.pathPrefix = "users/";
    f.action = action;
    f.count = count;
    f.status = status;
    f.body = std::move(body);
    return f;
}

class ServiceWireTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        server_ = dev::DevServer::start({}, &error);
        ASSERT_TRUE(server_) << error;
        client_ = std::make_shared<net::HttpClient>(loop_);
        api_ = testing::endpointAt(server_->apiBaseUrl(), client_);
        dir_ = std::filesystem::temp_directory_path() /
               ("vesk-wire-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);

        // An anonymous user of the demo app, as connect makes one.
        const VeskService<UserTarget> anonymous(api_, nullptr);
        const auto reply = await(anonymous.requestRaw(UserTarget::connect(
            "s1", server_->demoApiKey(), true, false, false, false, "b", "o", "d", "t")));
        ASSERT_TRUE(reply);
        const auto body = JsonValue::parse(reply->body);
        ASSERT_TRUE(body);
        const auto data = body->object()->find("data")->value();
        settings_ = std::make_shared<const NetworkSettings>(
            NetworkSettings::ConnectionType::sdk, *data.getString("auth_token"),
            server_->demoAppId(), *data.object()->find("user")->value().getString("id"));
        server_->clearRequests();
    }

    void TearDown() override {
        api_.reset();
        client_.reset();
        server_.reset();
        std::filesystem::remove_all(dir_);
    }

    template <class T>
    std::optional<T> await(const rx::Observable<T>& stream, Error* failure = nullptr) {
        std::optional<T> value;
        bool done = false;
        auto subscription = stream.subscribe([&](const T& v) { value = v; },
                                             [&](const Error& e) {
                                                 if (failure != nullptr) {
                                                     *failure = e;
                                                 }
                                                 done = true;
                                             },
                                             [&] { done = true; });
        EXPECT_TRUE(loop_.runUntil([&] { return done; }, std::chrono::seconds(20)));
        return value;
    }

    dev::RecordedRequest lastRequest() const {
        const auto all = server_->requests();
        return all.empty() ? dev::RecordedRequest{} : all.back();
    }

    RunLoop loop_;
    std::unique_ptr<dev::DevServer> server_;
    std::shared_ptr<net::HttpClient> client_;
    ApiEndpointPtr api_;
    NetworkSettingsPtr settings_;
    std::filesystem::path dir_;
};

TEST_F(ServiceWireTest, PresenceTravelsAsTheWorkedExampleSays) {
    const VeskService<UserTarget> service(api_, settings_);
    const auto result = await(service.request<JsonValue>(UserTarget::setPresence()));
    ASSERT_TRUE(result && result->succeed());
    const auto request = lastRequest();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, "/v1/users/" + settings_->userId + "/setpresence");
    EXPECT_EQ(request.formField("presence"), "online");
    EXPECT_EQ(request.queryItem("auth_token"), settings_->token);
    EXPECT_EQ(request.queryItem("id_as_string"), "1");
}

TEST_F(ServiceWireTest, ConnectSendsEveryBodyFieldWithBooleansAsNumbers) {
    const VeskService<UserTarget> service(api_, nullptr);
    ASSERT_TRUE(await(service.requestRaw(UserTarget::connect(
        "sid", server_->demoApiKey(), true, false, false, true, "br", "os", "dev", "type"))));
    const auto request = lastRequest();
    EXPECT_EQ(request.path, "/v1/connect");
    EXPECT_EQ(request.formField("start_session"), "1");
    EXPECT_EQ(request.formField("include_auto_events"), "0");
    EXPECT_EQ(request.formField("include_push_domain"), "1");
    EXPECT_EQ(request.formField("token_type"), "usersdkios");
    EXPECT_EQ(request.formField("start_session_random_id"), "sid");
    EXPECT_FALSE(request.hasQueryItem("auth_token"));
    EXPECT_EQ(request.queryItem("id_as_string"), "1");
}

TEST_F(ServiceWireTest, ConversationListCarriesPagingAndRecipientType) {
    const VeskService<ConversationTraget> service(api_, settings_);
    const auto result =
        await(service.request<JsonValue>(ConversationTraget::get("", false, "before")));
    ASSERT_TRUE(result && result->succeed());
    const auto request = lastRequest();
    EXPECT_EQ(request.path, "/v1/users/" + settings_->userId + "/conversations");
    EXPECT_TRUE(request.hasQueryItem("after"));
    EXPECT_EQ(request.queryItem("after"), "");
    EXPECT_EQ(request.queryItem("paginate_including"), "0");
    EXPECT_EQ(request.queryItem("paginate_direction"), "before");
    EXPECT_EQ(request.queryItem("recipient_type"), "sdk");
}

TEST_F(ServiceWireTest, StartAndReplyCreateIdsAndKeepTheirFields) {
    const VeskService<ConversationTraget> service(api_, settings_);
    const auto started = await(service.request<SimpleId>(ConversationTraget::start("Hello")));
    ASSERT_TRUE(started && started->succeed());
    const std::string dialogId = started->success()->data.id;
    EXPECT_FALSE(dialogId.empty());

    const auto replied = await(service.request<SimpleId>(
        ConversationTraget::reply(true, dialogId, "Second", "101", "reply_user", std::nullopt)));
    ASSERT_TRUE(replied && replied->succeed());
    const auto request = lastRequest();
    EXPECT_EQ(request.path, "/v1/conversations/" + dialogId + "/reply");
    EXPECT_EQ(request.formField("from_user"), "1");
    EXPECT_EQ(request.formField("random_id"), "101");
    EXPECT_FALSE(request.hasFormField("body_json"));
    EXPECT_EQ(request.formField("auth_token"), settings_->token);
}

TEST_F(ServiceWireTest, PropsAndEventsGoToTheUsersEndpoints) {
    const VeskService<EventPropTarget> service(api_, settings_);
    ASSERT_TRUE(await(service.request<JsonValue>(EventPropTarget::sendProps("[]"))));
    EXPECT_EQ(lastRequest().path, "/v1/users/" + settings_->userId + "/props");
    EXPECT_EQ(lastRequest().formField("operations"), "[]");
    ASSERT_TRUE(await(service.request<JsonValue>(EventPropTarget::sendEvent("opened", ""))));
    EXPECT_EQ(lastRequest().formFields.size(), 1U);
    EXPECT_EQ(lastRequest().formField("event"), "opened");
}

TEST_F(ServiceWireTest, JpegRepliesAreReencodedOtherFilesStreamAsTheyAre) {
    const VeskService<ConversationTraget> service(api_, settings_);
    const auto started = await(service.request<SimpleId>(ConversationTraget::start("files")));
    ASSERT_TRUE(started && started->succeed());
    const std::string dialogId = started->success()->data.id;

    const std::string original = makeJpeg(320, 240);
    std::ofstream(dir_ / "a.jpeg", std::ios::binary) << original;
    const auto jpeg = await(service.requestValue<SimpleId>(
        ConversationTraget::replyFile(true, dialogId, dir_ / "a.jpeg", "102")));
    ASSERT_TRUE(jpeg);
    auto request = lastRequest();
    EXPECT_EQ(request.queryItem("filename"), "a.jpeg");
    EXPECT_EQ(request.queryItem("random_id"), "102");
    ASSERT_NE(request.part("file"), nullptr);
    EXPECT_EQ(request.part("file")->filename, "a.jpeg");
    EXPECT_LT(request.part("file")->body.size(), original.size());
    EXPECT_EQ(request.part("file")->body.substr(0, 2), "\xFF\xD8");

    const std::string png = "\x89PNG\r\n\x1a\n-not-really-an-image";
    std::ofstream(dir_ / "b.png", std::ios::binary) << png;
    ASSERT_TRUE(await(service.requestValue<SimpleId>(
        ConversationTraget::replyFile(true, dialogId, dir_ / "b.png", "103"))));
    request = lastRequest();
    ASSERT_NE(request.part("file"), nullptr);
    EXPECT_EQ(request.part("file")->body, png);
    EXPECT_EQ(request.queryItem("filename"), "b.png");
}

TEST_F(ServiceWireTest, AnUndecodableJpegDegradesToAPlainPost) {
    testing::ScopedConsoleCapture console;
    std::ofstream(dir_ / "c.jpeg", std::ios::binary) << "not a jpeg";
    const auto target = ConversationTraget::replyFile(true, "42", dir_ / "c.jpeg", "r");
    EXPECT_EQ(target.task.kind, Task::Kind::requestPlain);
    EXPECT_EQ(console.sink().lines().back().text, "ERROR while replyFile");
}

TEST_F(ServiceWireTest, ABadTokenIsAnErrorValueWithTheEnvelopeText) {
    auto bad = std::make_shared<const NetworkSettings>(
        NetworkSettings::ConnectionType::sdk, "wrong", settings_->appId, settings_->userId);
    const VeskService<UserTarget> service(api_, bad);
    const auto result = await(service.request<JsonValue>(UserTarget::setPresence()));
    ASSERT_TRUE(result && result->error());
    EXPECT_EQ(result->error()->text().rfind("Error (status: 401)", 0), 0U)
        << result->error()->text();
}

TEST_F(ServiceWireTest, ServerFaultsReachTheCallerAsTheThreeOutcomes) {
    const VeskService<UserTarget> service(api_, settings_);

    server_->addFault(fault(dev::Fault::Action::reply, 1, 200, "not json"));
    auto result = await(service.request<JsonValue>(UserTarget::setPresence()));
    ASSERT_TRUE(result && result->error());
    EXPECT_EQ(result->error()->text(), "ошибка десериализации модели Response<JsonValue>");

    server_->addFault(fault(dev::Fault::Action::reply, 1, 502, "<html>bad gateway</html>"));
    Error failure;
    EXPECT_FALSE(await(service.request<JsonValue>(UserTarget::setPresence()), &failure));
    EXPECT_EQ(failure.kind, Error::Kind::decoding);

    // Every attempt: the client may retry once on a reused connection the server closed.
    server_->addFault(fault(dev::Fault::Action::drop, -1));
    EXPECT_FALSE(await(service.request<JsonValue>(UserTarget::setPresence()), &failure));
    EXPECT_EQ(failure.kind, Error::Kind::transport);
    server_->clearFaults();

    server_->addFault(
        fault(dev::Fault::Action::reply, 1, 404, R"({"meta":{"status":404},"data":null})"));
    failure = {};
    EXPECT_FALSE(await(service.requestValue<SimpleId>(UserTarget::setPresence()), &failure));
    EXPECT_EQ(failure.kind, Error::Kind::api);
    EXPECT_EQ(failure.apiError->payload(), "unknown");
}

TEST_F(ServiceWireTest, DisposingARequestCancelsIt) {
    server_->addFault(fault(dev::Fault::Action::hang, 1));
    const VeskService<UserTarget> service(api_, settings_);
    bool delivered = false;
    auto subscription = service.request<JsonValue>(UserTarget::setPresence())
                            .subscribe([&](const auto&) { delivered = true; },
                                       [&](const Error&) { delivered = true; });
    loop_.runUntil([&] { return !server_->requests().empty(); }, std::chrono::seconds(10));
    subscription.dispose();
    loop_.runUntil([] { return false; }, std::chrono::milliseconds(200));
    EXPECT_FALSE(delivered);
}

}  // namespace
}  // namespace vesk
