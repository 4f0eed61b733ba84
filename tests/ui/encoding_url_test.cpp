#include "ui/encoding_url.hpp"

#include <gtest/gtest.h>

namespace vesk {
namespace {

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

}  // namespace
}  // namespace vesk
