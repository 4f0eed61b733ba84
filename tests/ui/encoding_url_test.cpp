#include "ui/encoding_url.hpp"

#include <gtest/gtest.h>

#include <array>

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

// A host that holds the file's name keeps it; EncodingURL itself still cuts it out.
TEST(DownloadURL, OnlyTheLastPathComponentIsTheFileName) {
    const auto url = downloadURL("https://report.example.com/dl/report");
    ASSERT_TRUE(url);
    EXPECT_EQ(url->url, "https://report.example.com/dl/report");
    EXPECT_EQ(url->filename, "report");
    EXPECT_EQ(EncodingURL("https://report.example.com/dl/report").urlPath(),
              "https://.example.com/dl/");
}

// {remote, url, filename}: the name is escaped once, the query kept, the fragment dropped.
class DownloadURLs : public ::testing::TestWithParam<std::array<const char*, 3>> {};

TEST_P(DownloadURLs, EscapeTheNameOnceAndKeepTheRest) {
    const auto url = downloadURL(GetParam()[0]);
    ASSERT_TRUE(url);
    EXPECT_EQ(url->url, GetParam()[1]);
    EXPECT_EQ(url->filename, GetParam()[2]);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DownloadURLs,
    ::testing::Values(
        std::array{"https://f.example/5/a%20b.pdf", "https://f.example/5/a%20b.pdf", "a b.pdf"},
        std::array{"HTTP://f.example/x.png/a b.pdf", "http://f.example/x.png/a%20b.pdf", "a b.pdf"},
        std::array{"https://f.example/d/f.pdf?sig=a%2Fb#p=2", "https://f.example/d/f.pdf?sig=a%2Fb",
                   "f.pdf"},
        std::array{"https://f.example/d/..%2Fx", "https://f.example/d/..%2Fx", "../x"},
        std::array{"https://f.example", "https://f.example/", ""}));

TEST(DownloadURL, IsNothingForTextThatNamesNoWebFile) {
    for (const char* text : {"", "report.pdf", "ftp://f.example/a.pdf", "file:///etc/passwd",
                             "https:///a.pdf", "https://bad host/a.pdf"}) {
        EXPECT_FALSE(downloadURL(text)) << text;
    }
}

}  // namespace
}  // namespace vesk
