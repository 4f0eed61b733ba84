#include <gtest/gtest.h>

#include <chrono>

#include "core/coding_keys.hpp"
#include "core/encoding_url.hpp"
#include "core/log_error.hpp"
#include "core/network_settings.hpp"
#include "core/url_encode.hpp"

namespace vesk {
namespace {

TEST(URLEncode, EncodesExactlyItsCharacterSet) {
    EXPECT_EQ(URLEncode(":#[]@ !$&'()*+,;="),
              "%3A%23%5B%5D%40%20%21%24%26%27%28%29%2A%2B%2C%3B%3D");
    EXPECT_EQ(URLEncode("a/b?c%d-é"), "a/b?c%d-é");
    EXPECT_EQ(URLEncode(""), "");
}

TEST(EncodingURL, SplitsTheFileNameAndEscapesIt) {
    const EncodingURL url("dir/a b.png");
    EXPECT_EQ(url.filename(), "a b.png");
    EXPECT_EQ(url.originalFilename(), "a b.png");
    EXPECT_EQ(url.urlPath(), "dir/");
    EXPECT_EQ(url.escapedFileName(), "a%20b.png");
    EXPECT_EQ(url.url(), "dir/a%20b.png");
}

TEST(EncodingURL, RemovesEveryOccurrenceOfTheFileName) {
    const EncodingURL url("https://files.example/x.png/x.png");
    EXPECT_EQ(url.urlPath(), "https://files.example//");
    EXPECT_EQ(url.url(), "https://files.example//x.png");
}

TEST(EncodingURL, NonAsciiNamesAreEscapedAsUtf8) {
    const EncodingURL url("https://f.example/d/отчёт.pdf");
    EXPECT_EQ(url.escapedFileName(), "%D0%BE%D1%82%D1%87%D1%91%D1%82.pdf");
    EXPECT_TRUE(url.url());
}

TEST(EncodingURL, APathThatIsNoUrlGivesNoUrl) {
    EXPECT_EQ(EncodingURL("bad dir/a.png").url(), std::nullopt);
    EXPECT_EQ(EncodingURL("").url(), std::nullopt);
}

TEST(CodingKeys, SnakeCaseWithOneException) {
    EXPECT_EQ(codingKeyName(CodingKeys::replyType), "reply_type");
    EXPECT_EQ(codingKeyName(CodingKeys::createdAt), "created_at");
    EXPECT_EQ(codingKeyName(CodingKeys::mimeType), "mime_type");
    EXPECT_EQ(codingKeyName(CodingKeys::paginateIncluding), "paginate_include");
    EXPECT_EQ(codingKeyName(CodingKeys::djangoUserIntegrations), "django_user_integrations");
    EXPECT_EQ(codingKeyName(CodingKeys::id), "id");
    EXPECT_EQ(codingKeyName(CodingKeys::nextBranchId), "next_branch_id");
    for (int i = 0; i < kCodingKeyCount; ++i) {
        const auto key = static_cast<CodingKeys>(i);
        EXPECT_EQ(codingKeyFromString(codingKeyName(key)), key);
    }
    EXPECT_EQ(codingKeyFromString("paginate_including"), std::nullopt);
    EXPECT_EQ(codingKeyFromString("replyType"), std::nullopt);
}

TEST(NetworkSettings, TokenDependsOnTheConnection) {
    const NetworkSettings sdk(NetworkSettings::ConnectionType::sdk, "t", "app", "user");
    const NetworkSettings app(NetworkSettings::ConnectionType::app, "t", "app", "user");
    EXPECT_EQ(sdk.getToken(), "t");
    EXPECT_EQ(app.getToken(), "appm-app-t");
}

TEST(LogError, FormatsDateLocationAndMessage) {
    const auto epoch = std::chrono::system_clock::time_point{} + std::chrono::milliseconds(7);
    const LogError error("boom", "/src/App/Vesk.swift", "setup(withApiKey:)", 42, epoch);
    const auto& text = error.message();
    // The date part depends on the local time zone; its shape and the rest do not.
    ASSERT_GE(text.size(), 24U);
    EXPECT_EQ(text.substr(19, 4), ".007");
    EXPECT_EQ(text.substr(23), " Vesk.setup line:42 - boom");
}

}  // namespace
}  // namespace vesk
