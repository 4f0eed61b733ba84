#include "ui/text/file_type.hpp"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/temp_dir.hpp"

namespace vesk::text {
namespace {

namespace fs = std::filesystem;

class FileType : public ::testing::Test {
  protected:
    fs::path touch(const std::string& name) {
        fs::path p = dir_.path() / name;
        std::ofstream(p) << "x";
        return p;
    }
    testing::TempDir dir_;
};

TEST_F(FileType, KnownExtensionsByPathAndFileUrl) {
    struct Case {
        const char* name;
        const char* identifier;
        const char* description;
    };
    for (auto c :
         {Case{"photo.jpg", "public.jpeg", "JPEG image"},
          Case{"PHOTO.JPEG", "public.jpeg", "JPEG image"},
          Case{"shot.png", "public.png", "PNG image"},
          Case{"report.pdf", "com.adobe.pdf", "PDF document"},
          Case{"notes.txt", "public.plain-text", "Plain text document"},
          Case{"a.tar.gz", "org.gnu.gnu-zip-archive", "gzip archive"},
          Case{"movie.mov", "com.apple.quicktime-movie", "QuickTime movie"},
          Case{"data.bin", "public.data", "Document"}, Case{"README", "public.data", "Document"},
          Case{".hidden", "public.data", "Document"}}) {
        fs::path p = touch(c.name);
        EXPECT_EQ(typeIdentifier(p.string()), c.identifier) << c.name;
        EXPECT_EQ(localizedTypeDescription(p.string()), c.description) << c.name;
        EXPECT_EQ(localizedName(p.string()), c.name);
        EXPECT_EQ(typeIdentifier("file://" + p.string()), c.identifier) << c.name;
    }
}

TEST_F(FileType, FileUrlIsPercentDecoded) {
    fs::path p = touch("my photo \xD1\x84.png");
    std::string url = "file://" + dir_.path().string() + "/my%20photo%20%D1%84.png";
    EXPECT_EQ(typeIdentifier(url), "public.png");
    EXPECT_EQ(localizedName(url), "my photo \xD1\x84.png");
    EXPECT_EQ(localizedName("file://localhost" + p.string()), "my photo \xD1\x84.png");
}

TEST_F(FileType, DirectoryIsAFolder) {
    EXPECT_EQ(typeIdentifier(dir_.path().string()), "public.folder");
    EXPECT_EQ(localizedName(dir_.path().string() + "/"), dir_.path().filename().string());
}

TEST_F(FileType, AbsentWhenNoFileOrNotAFileUrl) {
    std::string missing = (dir_.path() / "missing.jpg").string();
    EXPECT_FALSE(typeIdentifier(missing).has_value());
    EXPECT_FALSE(localizedName(missing).has_value());
    EXPECT_FALSE(localizedTypeDescription(missing).has_value());
    fs::path p = touch("x.jpg");
    EXPECT_FALSE(typeIdentifier("https://example.com" + p.string()).has_value());
    EXPECT_FALSE(typeIdentifier("file://otherhost" + p.string()).has_value());
    EXPECT_FALSE(typeIdentifier("").has_value());
}

TEST(MimeType, ByExtensionWithAFallback) {
    EXPECT_EQ(mimeTypeForFileName("a.JPG"), "image/jpeg");
    EXPECT_EQ(mimeTypeForFileName("/dir.d/file"), "application/octet-stream");
    EXPECT_EQ(mimeTypeForFileName("x.docx"),
              "application/vnd.openxmlformats-officedocument.wordprocessingml.document");
}

}  // namespace
}  // namespace vesk::text
