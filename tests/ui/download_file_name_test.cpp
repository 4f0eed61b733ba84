#include "ui/download_file_name.hpp"

#include <gtest/gtest.h>

#include "net/url_encoding.hpp"
#include "tests/support/temp_dir.hpp"

namespace vesk {
namespace {

class SafeDownloadNames : public ::testing::TestWithParam<std::pair<std::string, std::string>> {};

TEST_P(SafeDownloadNames, StayOneNameInsideTheDirectory) {
    const std::string safe = safeDownloadName(GetParam().first);
    EXPECT_EQ(safe, GetParam().second);
    EXPECT_EQ(std::filesystem::path(safe).filename(), safe);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SafeDownloadNames,
    ::testing::Values(std::pair{"report.pdf", "report.pdf"},
                      std::pair{"отчёт 1.pdf", "отчёт 1.pdf"}, std::pair{"", "download"},
                      std::pair{".", "download"}, std::pair{"..", "download"}, std::pair{"/", "_"},
                      std::pair{"a/b.pdf", "a_b.pdf"},
                      std::pair{"../../etc/passwd", "_.._etc_passwd"},
                      std::pair{std::string("a\0b\nc\x7f.txt", 10), "a_b_c_.txt"},
                      std::pair{".bashrc", "bashrc"}, std::pair{" notes. . ", "notes"}));

TEST(SafeDownloadName, ALongNameIsCutOnACharacterWithItsExtensionKept) {
    EXPECT_EQ(safeDownloadName(std::string(296, 'n') + ".pdf"),
              std::string(kMaxDownloadNameBytes - 4, 'n') + ".pdf");
    std::string remote = "x";
    for (int i = 0; i < 150; ++i) {
        remote += "ж";  // two bytes each, so the cut falls inside one
    }
    const std::string name = safeDownloadName(remote + ".txt");
    EXPECT_EQ(name.size(), kMaxDownloadNameBytes - 1);
    EXPECT_EQ(name.substr(name.size() - 4), ".txt");
    EXPECT_TRUE(net::percentDecode(name).has_value()) << "not valid UTF-8";
}

// Reserved names are those of downloads still running; a dangling link is
// never written through.
TEST(FreeDownloadName, ReservedNamesAndDanglingLinksCountAsTaken) {
    testing::TempDir dir;
    std::filesystem::create_symlink(dir.path() / "gone", dir.path() / "report_2.pdf");
    EXPECT_EQ(freeDownloadName(dir.path(), "report.pdf", {"report.pdf", "report_1.pdf"}),
              "report_3.pdf");
    EXPECT_EQ(freeDownloadName(dir.path(), "README", {"README"}), "README_1");
}

}  // namespace
}  // namespace vesk
