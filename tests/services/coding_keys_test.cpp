#include "services/models/coding_keys.hpp"

#include <gtest/gtest.h>

#include "services/network/network_settings.hpp"

namespace vesk {
namespace {

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

}  // namespace
}  // namespace vesk
