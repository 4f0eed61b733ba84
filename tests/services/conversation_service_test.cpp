// The conversation and message services against the development server.
#include "services/conversation_service.hpp"

#include <gtest/gtest.h>
#include <jpeglib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>

#include "core/api_error.hpp"
#include "core/config/library_bundles.hpp"
#include "services/message_service.hpp"
#include "tests/support/api_endpoint.hpp"
#include "tools/devserver/dev_server.hpp"
#include "ui/message_entity.hpp"
#include "vesk/configuration.hpp"

namespace vesk {
namespace {

constexpr int kSeededDialogs = 23;  // more than one page of 20
constexpr int kLongDialogParts = 25;
const std::string kUser = "500";
const std::string kToken = "tok-500";
const std::string kLongDialog = "900";

// A photo-like JPEG at high quality, so re-encoding has something to shrink.
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
        const auto y = static_cast<int>(info.next_scanline);
        for (int x = 0; x < width; ++x) {
            const auto i = static_cast<std::size_t>(x) * 3;
            row[i] = static_cast<unsigned char>(x * 255 / width);
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

// One user of the demo app with a page and a bit of conversations, the first
// of which is long enough to page through its parts.
std::string seedJson() {
    std::string conversations;
    for (int i = 0; i < kSeededDialogs; ++i) {
        std::string parts;
        const int count = i == 0 ? kLongDialogParts : 1;
        for (int p = 0; p < count; ++p) {
            parts += std::string(p > 0 ? "," : "") + R"({"from":")" +
                     (p % 2 == 0 ? "user" : "admin") + R"(","body":"part )" + std::to_string(p) +
                     R"("})";
        }
        conversations += std::string(i > 0 ? "," : "") + R"({"id":")" + std::to_string(900 + i) +
                         R"(","user":")" + kUser + R"(","type":"conversation","parts":[)" + parts +
                         "]}";
    }
    return R"({"users":[{"id":")" + kUser + R"(","token":")" + kToken +
           R"(","user_id":"alice"}],)" + R"("conversations":[)" + conversations + "]}";
}

class ConversationServiceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("vesk-conversations-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
        std::ofstream(dir_ / "seed.json") << seedJson();
        dev::DevServerOptions options;
        options.seedFile = (dir_ / "seed.json").string();
        std::string error;
        server_ = dev::DevServer::start(options, &error);
        ASSERT_TRUE(server_) << error;
        client_ = std::make_shared<net::HttpClient>(loop_);
        api_ = testing::endpointAt(server_->apiBaseUrl(), client_);
        settings_ = std::make_shared<const NetworkSettings>(NetworkSettings::ConnectionType::sdk,
                                                            kToken, server_->demoAppId(), kUser);
        conversations_.emplace(api_, settings_);
        messages_.emplace(api_, settings_);
    }

    void TearDown() override {
        conversations_.reset();
        messages_.reset();
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

    // The data of a successful Result, failing the test otherwise.
    template <class T>
    std::optional<Response<T>> awaitSuccess(const rx::Observable<Result<Response<T>>>& stream) {
        const auto result = await(stream);
        if (!result) {
            ADD_FAILURE() << "no result";
            return std::nullopt;
        }
        if (!result->succeed()) {
            ADD_FAILURE() << result->error()->text();
            return std::nullopt;
        }
        return *result->success();
    }

    dev::RecordedRequest lastRequest() const {
        const auto all = server_->requests();
        return all.empty() ? dev::RecordedRequest{} : all.back();
    }

    void replyFault(int status, std::string body) {
        dev::Fault fault;
        fault.pathPrefix = "*";
        fault.action = dev::Fault::Action::reply;
        fault.status = status;
        fault.body = std::move(body);
        server_->addFault(std::move(fault));
    }

    RunLoop loop_;
    std::unique_ptr<dev::DevServer> server_;
    std::shared_ptr<net::HttpClient> client_;
    ApiEndpointPtr api_;
    NetworkSettingsPtr settings_;
    std::optional<ConversationService> conversations_;
    std::optional<MessageService> messages_;
    std::filesystem::path dir_;
};

TEST_F(ConversationServiceTest, DialogsComeInPagesContinuedByNextAfter) {
    const auto first = awaitSuccess(conversations_->getDialogs(""));
    ASSERT_TRUE(first);
    auto request = lastRequest();
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.path, "/v1/users/" + kUser + "/conversations");
    EXPECT_TRUE(request.hasQueryItem("after"));
    EXPECT_EQ(request.queryItem("after"), "");
    EXPECT_EQ(request.queryItem("paginate_including"), "0");
    EXPECT_EQ(request.queryItem("paginate_direction"), "before");
    EXPECT_EQ(request.queryItem("recipient_type"), "sdk");
    EXPECT_EQ(first->data.size(), 20U);
    ASSERT_TRUE(first->meta.nextAfter);
    // The oldest conversation is the long one: it is on the second page.
    EXPECT_EQ(first->data.front().id, std::to_string(900 + kSeededDialogs - 1));

    const auto second = awaitSuccess(conversations_->getDialogs(*first->meta.nextAfter));
    ASSERT_TRUE(second);
    EXPECT_EQ(lastRequest().queryItem("after"), *first->meta.nextAfter);
    EXPECT_EQ(second->data.size(), static_cast<std::size_t>(kSeededDialogs - 20));
    EXPECT_FALSE(second->meta.nextAfter);

    std::set<std::string> ids;
    for (const auto* page : {&first->data, &second->data}) {
        for (const auto& dialog : *page) {
            ids.insert(dialog.id);
        }
    }
    EXPECT_EQ(ids.size(), static_cast<std::size_t>(kSeededDialogs));
    const auto& longDialog = second->data.back();
    EXPECT_EQ(longDialog.id, kLongDialog);
    EXPECT_EQ(longDialog.partsCount, kLongDialogParts);
    EXPECT_EQ(longDialog.partLast.body, "part 24");
    EXPECT_EQ(longDialog.partLast.conversation, kLongDialog);
    EXPECT_FALSE(longDialog.lastAdmin.type.empty());
}

TEST_F(ConversationServiceTest, OneDialogIsSharedAmongItsSubscribers) {
    const auto stream = conversations_->get(kLongDialog);
    std::vector<Result<Response<Dialog>>> seen;
    rx::DisposeBag bag;
    bool done = false;
    bag.insert(stream.subscribe([&](const auto& r) { seen.push_back(r); },
                                [&](const Error&) { done = true; }, [&] { done = true; }));
    bag.insert(stream.subscribe([&](const auto& r) { seen.push_back(r); }));
    ASSERT_TRUE(loop_.runUntil([&] { return done; }, std::chrono::seconds(20)));
    ASSERT_EQ(seen.size(), 2U);
    ASSERT_TRUE(seen[0].succeed()) << seen[0].error()->text();
    EXPECT_EQ(seen[0].success()->data.id, kLongDialog);
    EXPECT_EQ(seen[1].success()->data.id, kLongDialog);
    EXPECT_EQ(server_->requests().size(), 1U);
    EXPECT_EQ(lastRequest().path, "/v1/conversations/" + kLongDialog);
}

TEST_F(ConversationServiceTest, StartReplyAndMarkRead) {
    const auto started = awaitSuccess(conversations_->start("Hello"));
    ASSERT_TRUE(started);
    const std::string dialogId = started->data.id;
    EXPECT_FALSE(dialogId.empty());
    EXPECT_EQ(lastRequest().path, "/v1/users/" + kUser + "/startconversation");
    EXPECT_EQ(lastRequest().formField("body"), "Hello");

    const auto replied =
        awaitSuccess(conversations_->reply(dialogId, "Second", "101", "reply_user", std::nullopt));
    ASSERT_TRUE(replied);
    EXPECT_FALSE(replied->data.id.empty());
    auto request = lastRequest();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, "/v1/conversations/" + dialogId + "/reply");
    EXPECT_EQ(request.formField("body"), "Second");
    EXPECT_EQ(request.formField("from_user"), "1");
    EXPECT_EQ(request.formField("random_id"), "101");
    EXPECT_EQ(request.formField("type"), "reply_user");
    EXPECT_FALSE(request.hasFormField("body_json"));

    ASSERT_TRUE(awaitSuccess(conversations_->reply(dialogId, "Card", "102", "reply_user",
                                                   std::string(R"({"name":"n"})"))));
    EXPECT_EQ(lastRequest().formField("body_json"), R"({"name":"n"})");

    const auto read = awaitSuccess(conversations_->markRead(dialogId));
    ASSERT_TRUE(read);
    EXPECT_EQ(lastRequest().path, "/v1/conversations/" + dialogId + "/markread");
    ASSERT_TRUE(read->data);
    EXPECT_EQ(read->data->getString("id"), dialogId);
}

TEST_F(ConversationServiceTest, RepliesAreTheUsersOnlyOnAnSdkConnection) {
    EXPECT_TRUE(conversations_->isFromUser());
    const ConversationService app(
        api_, std::make_shared<const NetworkSettings>(NetworkSettings::ConnectionType::app, "t",
                                                      "1001", "u"));
    EXPECT_FALSE(app.isFromUser());
    const ConversationService none(api_, nullptr);
    EXPECT_FALSE(none.isFromUser());
}

TEST_F(ConversationServiceTest, AJpegIsReencodedAndNamedOtherFilesAreStreamed) {
    const std::string original = makeJpeg(320, 240);
    std::ofstream(dir_ / "a.jpeg", std::ios::binary) << original;
    Error failure;
    const auto jpeg =
        await(conversations_->replyFile(kLongDialog, dir_ / "a.jpeg", "201"), &failure);
    ASSERT_TRUE(jpeg) << failure.description;
    EXPECT_FALSE(jpeg->id.empty());
    ASSERT_TRUE(jpeg->attachment);
    EXPECT_EQ(jpeg->attachment->getString("filename"), "a.jpeg");
    auto request = lastRequest();
    EXPECT_EQ(request.path, "/v1/conversations/" + kLongDialog + "/replyfile");
    EXPECT_EQ(request.queryItem("filename"), "a.jpeg");
    EXPECT_EQ(request.queryItem("random_id"), "201");
    ASSERT_NE(request.part("file"), nullptr);
    EXPECT_EQ(request.part("file")->filename, "a.jpeg");
    EXPECT_LT(request.part("file")->body.size(), original.size());
    EXPECT_EQ(request.part("file")->body.substr(0, 2), "\xFF\xD8");

    const std::string png = "\x89PNG\r\n\x1a\n-streamed-as-is";
    std::ofstream(dir_ / "b.png", std::ios::binary) << png;
    ASSERT_TRUE(await(conversations_->replyFile(kLongDialog, dir_ / "b.png", "202")));
    request = lastRequest();
    ASSERT_NE(request.part("file"), nullptr);
    EXPECT_EQ(request.part("file")->body, png);
    EXPECT_EQ(request.queryItem("filename"), "b.png");

    // The new part's attachment reaches the page form intact.
    const auto page = awaitSuccess(messages_->getMessages(kLongDialog, std::nullopt));
    ASSERT_TRUE(page);
    const auto entity = getMessageEntity(page->data.back(), "", "done");
    ASSERT_TRUE(entity.attachments);
    ASSERT_EQ(entity.attachments->size(), 1U);
    EXPECT_EQ(entity.attachments->front().filename, "b.png");
    EXPECT_EQ(entity.attachments->front().size, static_cast<std::int64_t>(png.size()));
}

TEST_F(ConversationServiceTest, MessagesPageBackwardsFromAPosition) {
    const auto newest = awaitSuccess(messages_->getMessages(kLongDialog, std::nullopt));
    ASSERT_TRUE(newest);
    auto request = lastRequest();
    EXPECT_EQ(request.path, "/v1/conversations/" + kLongDialog + "/parts");
    EXPECT_FALSE(request.hasQueryItem("after"));
    EXPECT_FALSE(request.hasQueryItem("paginate_include"));
    EXPECT_FALSE(request.hasQueryItem("paginate_direction"));
    EXPECT_EQ(request.queryItem("auth_token"), kToken);
    ASSERT_EQ(newest->data.size(), 20U);
    EXPECT_EQ(newest->data.back().body, "part 24");
    EXPECT_EQ(newest->data.front().body, "part 5");
    ASSERT_TRUE(newest->meta.nextBeforePosition);

    const auto older =
        awaitSuccess(messages_->getMessages(kLongDialog, newest->meta.nextBeforePosition));
    ASSERT_TRUE(older);
    request = lastRequest();
    EXPECT_EQ(request.queryItem("after"), *newest->meta.nextBeforePosition);
    EXPECT_EQ(request.queryItem("paginate_include"), "false");
    EXPECT_EQ(request.queryItem("paginate_direction"), "before");
    ASSERT_EQ(older->data.size(), 5U);
    EXPECT_EQ(older->data.front().body, "part 0");
    EXPECT_EQ(older->data.back().body, "part 4");
    EXPECT_FALSE(older->meta.nextBeforePosition);
}

TEST_F(ConversationServiceTest, UpdateEditAndDeleteAMessage) {
    const auto replied =
        awaitSuccess(conversations_->reply(kLongDialog, "typo", "301", "reply_user", std::nullopt));
    ASSERT_TRUE(replied);
    const std::string partId = replied->data.id;

    const auto updated = awaitSuccess(messages_->updateMessage(partId, R"({"rating":5})"));
    ASSERT_TRUE(updated);
    auto request = lastRequest();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, "/v1/conversationparts/" + partId + "/meta_data");
    EXPECT_EQ(request.formField("meta_data"), R"({"rating":5})");
    const auto meta = updated->data.object()->find("meta_data");
    ASSERT_TRUE(meta && *meta);
    EXPECT_EQ((*meta)->getString("rating"), "5");

    Error failure;
    const auto edited = await(messages_->editMessage(partId, "fixed"), &failure);
    ASSERT_TRUE(edited) << failure.description;
    request = lastRequest();
    EXPECT_EQ(request.method, "PUT");
    EXPECT_EQ(request.formField("body"), "fixed");
    EXPECT_EQ(request.formField("app"), server_->demoAppId());
    EXPECT_EQ(edited->getString("body"), "fixed");

    const auto deleted = await(messages_->deleteMessage(partId), &failure);
    ASSERT_TRUE(deleted) << failure.description;
    request = lastRequest();
    EXPECT_EQ(request.method, "DELETE");
    EXPECT_EQ(request.path, "/v1/conversationparts/" + partId);
    EXPECT_EQ(request.queryItem("app"), server_->demoAppId());
    EXPECT_EQ(deleted->getString("id"), partId);

    // Gone: the single-value operations fail with the API's message.
    failure = {};
    EXPECT_FALSE(await(messages_->deleteMessage(partId), &failure));
    EXPECT_EQ(failure.kind, Error::Kind::api);
}

TEST_F(ConversationServiceTest, AClientErrorBecomesTheEnvelopeText) {
    const auto missing = await(conversations_->get("424242"));
    ASSERT_TRUE(missing && missing->error());
    EXPECT_EQ(missing->error()->text().rfind("Error (status: 404) not_found: ", 0), 0U)
        << missing->error()->text();

    const auto empty = await(conversations_->start(""));
    ASSERT_TRUE(empty && empty->error());
    EXPECT_EQ(empty->error()->text().rfind("Error (status: 400) ", 0), 0U)
        << empty->error()->text();
}

TEST_F(ConversationServiceTest, AReplyThatDoesNotDecodeGivesTheDecodingError) {
    // One dialog of the page lacks a required key: the whole page fails.
    replyFault(200, R"({"meta":{"status":200},"data":[{"id":"1"}]})");
    const auto dialogs = await(conversations_->getDialogs(""));
    ASSERT_TRUE(dialogs && dialogs->error());
    EXPECT_EQ(dialogs->error()->text(), "ошибка десериализации модели Response<Array<Dialog>>");

    replyFault(200, R"({"meta":{"status":200},"data":[{"id":"1","body":"no type"}]})");
    const auto parts = await(messages_->getMessages(kLongDialog, std::nullopt));
    ASSERT_TRUE(parts && parts->error());
    EXPECT_EQ(parts->error()->text(), "ошибка десериализации модели Response<Array<Message>>");

    replyFault(200, R"({"meta":{"status":200},"data":{"id":7}})");
    std::ofstream(dir_ / "c.png", std::ios::binary) << "png";
    Error failure;
    EXPECT_FALSE(await(conversations_->replyFile(kLongDialog, dir_ / "c.png", "1"), &failure));
    EXPECT_EQ(failure.kind, Error::Kind::api);
    EXPECT_EQ(failure.apiError->payload(), "ошибка десериализации модели SimpleId");
}

}  // namespace
}  // namespace vesk
