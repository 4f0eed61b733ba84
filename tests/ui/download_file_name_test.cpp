#include "ui/download_file_name.hpp"

#include <gtest/gtest.h>

#include <fstream>

#include "net/url_encoding.hpp"
#include "tests/support/temp_dir.hpp"

namespace vesk {
namespace {

struct NameCase {
    const char* name;
    std::string remote;
    std::string expected;
};

class SafeDownloadNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(SafeDownloadNames, StayOneNameInsideTheDirectory) {
    const std::string safe = safeDownloadName(GetParam().remote);
    EXPECT_EQ(safe, GetParam().expected);
    EXPECT_EQ(std::filesystem::path(safe).filename(), safe);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SafeDownloadNames,
    ::testing::Values(NameCase{"Plain", "report.pdf", "report.pdf"},
                      NameCase{"Unicode", "отчёт 1.pdf", "отчёт 1.pdf"},
                      NameCase{"Empty", "", "download"}, NameCase{"Dot", ".", "download"},
                      NameCase{"DotDot", "..", "download"}, NameCase{"Dots", "...", "download"},
                      NameCase{"Slash", "/", "_"}, NameCase{"Separators", "a/b.pdf", "a_b.pdf"},
                      NameCase{"Climbing", "../../etc/passwd", "_.._etc_passwd"},
                      NameCase{"Controls", std::string("a\0b\nc\x7f.txt", 10), "a_b_c_.txt"},
                      NameCase{"Hidden", ".bashrc", "bashrc"},
                      NameCase{"TrailingDotsAndSpaces", " notes. . ", "notes"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(SafeDownloadName, ALongNameIsCutWithItsExtensionKept) {
    const std::string name = safeDownloadName(std::string(296, 'n') + ".pdf");
    EXPECT_EQ(name, std::string(kMaxDownloadNameBytes - 4, 'n') + ".pdf");
}

TEST(SafeDownloadName, ALongNameIsNeverCutInsideACharacter) {
    std::string remote;
    for (int i = 0; i < 150; ++i) {
        remote += "ж";  // two bytes each
    }
    const std::string name = safeDownloadName("x" + remote + ".txt");
    EXPECT_LE(name.size(), kMaxDownloadNameBytes);
    EXPECT_EQ(name.substr(name.size() - 4), ".txt");
    EXPECT_TRUE(net::percentDecode(name).has_value()) << "not valid UTF-8";
}

class FreeDownloadName : public ::testing::Test {
  protected:
    void touch(const std::string& name) { std::ofstream(dir_.path() / name) << "x"; }

    testing::TempDir dir_;
};

TEST_F(FreeDownloadName, TakesTheFirstFreeNumber) {
    EXPECT_EQ(freeDownloadName(dir_.path(), "report.pdf", {}), "report.pdf");
    touch("report.pdf");
    EXPECT_EQ(freeDownloadName(dir_.path(), "report.pdf", {}), "report_1.pdf");
    touch("report_1.pdf");
    touch("report_3.pdf");
    EXPECT_EQ(freeDownloadName(dir_.path(), "report.pdf", {}), "report_2.pdf");
    touch("archive.tar.gz");
    EXPECT_EQ(freeDownloadName(dir_.path(), "archive.tar.gz", {}), "archive.tar_1.gz");
}

TEST_F(FreeDownloadName, ANameWithoutExtensionGetsNoTrailingDot) {
    touch("README");
    EXPECT_EQ(freeDownloadName(dir_.path(), "README", {}), "README_1");
}

// Two downloads of the same name that run at once must not land on one file.
TEST_F(FreeDownloadName, ReservedNamesCountAsTaken) {
    EXPECT_EQ(freeDownloadName(dir_.path(), "report.pdf", {"report.pdf", "report_1.pdf"}),
              "report_2.pdf");
}

TEST_F(FreeDownloadName, ADanglingLinkCountsAsTaken) {
    std::filesystem::create_symlink(dir_.path() / "gone", dir_.path() / "report.pdf");
    EXPECT_EQ(freeDownloadName(dir_.path(), "report.pdf", {}), "report_1.pdf");
}

}  // namespace
}  // namespace vesk
