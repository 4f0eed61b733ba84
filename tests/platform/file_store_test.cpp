// The SQLite file stores: files on disk, damage, sharing between processes, suite names.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>

#include "core/platform_hooks.hpp"
#include "tests/support/capturing_console_sink.hpp"
#include "tests/support/temp_dir.hpp"
#include "vesk/key_value_store.hpp"

namespace vesk {
namespace {

namespace fs = std::filesystem;
using testing::ScopedConsoleCapture;
using testing::TempDir;

void writeBytes(const fs::path& file, const std::string& bytes, std::streamoff at = 0) {
    std::fstream out(file, std::ios::in | std::ios::out | std::ios::binary);
    if (!out) {
        out.open(file, std::ios::out | std::ios::binary);
    }
    out.seekp(at);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string garbage(std::size_t n) {
    std::string bytes;
    std::uint32_t x = 12345;
    for (std::size_t i = 0; i < n; ++i) {
        x = x * 1103515245 + 12345;
        bytes += static_cast<char>((x >> 16) & 0xFF);
    }
    return bytes;
}

std::set<fs::path> entriesUnder(const fs::path& root) {
    std::set<fs::path> entries;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        entries.insert(e.path());
    }
    return entries;
}

TEST(FileKeyValueStore, ValuesSurviveANewFactory) {
    TempDir dir;
    {
        auto factory = makeFileKeyValueStoreFactory(dir.path());
        ASSERT_TRUE(factory->standard()->setString("VeskUserId", "u-1"));
        ASSERT_TRUE(factory->standard()->setString("VeskToken", "t-1"));
        ASSERT_TRUE(factory->suite("group.com.example")->setBool("isBackground", true));
    }
    auto factory = makeFileKeyValueStoreFactory(dir.path());
    EXPECT_EQ(factory->standard()->string("VeskUserId"), "u-1");
    EXPECT_EQ(factory->standard()->string("VeskToken"), "t-1");
    EXPECT_EQ(factory->suite("group.com.example")->boolean("isBackground"), true);
    EXPECT_FALSE(factory->standard()->get("isBackground").has_value());
}

TEST(FileKeyValueStore, SameNameGivesSameStoreAndStandardIsNotASuite) {
    TempDir dir;
    auto factory = makeFileKeyValueStoreFactory(dir.path());
    EXPECT_EQ(factory->suite("a"), factory->suite("a"));
    EXPECT_EQ(factory->standard(), factory->standard());
    ASSERT_TRUE(factory->standard()->setString("k", "standard"));
    ASSERT_TRUE(factory->suite("standard")->setString("k", "suite"));
    EXPECT_EQ(factory->standard()->string("k"), "standard");
}

TEST(FileKeyValueStore, StoreFilesArePrivateToTheUser) {
    TempDir dir;
    auto factory = makeFileKeyValueStoreFactory(dir.path() / "data");
    ASSERT_TRUE(factory->standard()->setString("VeskToken", "secret"));
    auto perms = fs::status(dir.path() / "data" / "standard.sqlite3").permissions();
    EXPECT_EQ(perms & (fs::perms::group_all | fs::perms::others_all), fs::perms::none);
    auto dirPerms = fs::status(dir.path() / "data").permissions();
    EXPECT_EQ(dirPerms & (fs::perms::group_all | fs::perms::others_all), fs::perms::none);
}

struct Damage {
    const char* name;
    bool keepValidHeader;  // damage pages after the header instead of the whole file
};

class DamagedFile : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedFile, GivesOneConsoleLineAndAnEmptyUsableStore) {
    TempDir dir;
    fs::path file = dir.path() / "standard.sqlite3";
    if (GetParam().keepValidHeader) {
        {
            auto factory = makeFileKeyValueStoreFactory(dir.path());
            for (int i = 0; i < 200; ++i) {
                ASSERT_TRUE(factory->standard()->setString("key" + std::to_string(i),
                                                           std::string(100, 'v')));
            }
        }
        ASSERT_GT(fs::file_size(file), 8192U);
        writeBytes(file, garbage(4096), 4096);  // page two onwards: the table's pages
    } else {
        writeBytes(file, garbage(8192));
    }

    ScopedConsoleCapture capture;
    auto factory = makeFileKeyValueStoreFactory(dir.path());
    auto store = factory->standard();
    ASSERT_NE(store, nullptr);
    auto lines = capture.lines("VeskStore");
    ASSERT_EQ(lines.size(), 1U);
    EXPECT_THAT(lines[0].text, ::testing::HasSubstr(file.string()));
    EXPECT_FALSE(store->get("key1").has_value());
    EXPECT_TRUE(fs::exists(dir.path() / "standard.sqlite3.corrupt"));

    // The fresh file is a working store that persists.
    ASSERT_TRUE(store->setString("VeskUserId", "after"));
    factory.reset();
    store.reset();
    EXPECT_EQ(makeFileKeyValueStoreFactory(dir.path())->standard()->string("VeskUserId"), "after");
    EXPECT_EQ(capture.lines("VeskStore").size(), 1U);
}

INSTANTIATE_TEST_SUITE_P(Kinds, DamagedFile,
                         ::testing::Values(Damage{"GarbageBytes", false},
                                           Damage{"DamagedPages", true}),
                         [](const auto& p) { return std::string(p.param.name); });

struct Unusable {
    const char* name;
    fs::path (*dataDir)(const fs::path& temp);
};

class UnusableDirectory : public ::testing::TestWithParam<Unusable> {};

TEST_P(UnusableDirectory, KeepsValuesInMemoryWithOneLine) {
    TempDir temp;
    writeBytes(temp.path() / "a-file", "not a directory");
    ScopedConsoleCapture capture;
    auto factory = makeFileKeyValueStoreFactory(GetParam().dataDir(temp.path()));
    auto store = factory->suite("group.com.example");
    ASSERT_NE(store, nullptr);
    EXPECT_TRUE(store->setStringArray("notificationList", {"1"}));
    EXPECT_EQ(store->stringArray("notificationList"), std::vector<std::string>{"1"});
    EXPECT_EQ(factory->suite("group.com.example"), store);
    EXPECT_EQ(capture.lines("VeskStore").size(), 1U);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, UnusableDirectory,
    ::testing::Values(Unusable{"UnderARegularFile",
                               [](const fs::path& root) { return root / "a-file" / "vesk"; }},
                      Unusable{"IsARegularFile",
                               [](const fs::path& root) { return root / "a-file"; }},
                      Unusable{"NoHome", [](const fs::path&) { return fs::path(); }}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(FileKeyValueStore, StoreFileThatIsADirectoryKeepsValuesInMemory) {
    TempDir dir;
    fs::create_directories(dir.path() / "standard.sqlite3");
    ScopedConsoleCapture capture;
    auto store = makeFileKeyValueStoreFactory(dir.path())->standard();
    EXPECT_TRUE(store->setBool("isBackground", false));
    EXPECT_EQ(store->boolean("isBackground"), false);
    EXPECT_EQ(capture.lines("VeskStore").size(), 1U);
}

class SuiteName : public ::testing::TestWithParam<std::string> {};

TEST_P(SuiteName, StaysInsideTheDataDirectory) {
    TempDir root;
    fs::path dataDir = root.path() / "a" / "b" / "data";
    auto factory = makeFileKeyValueStoreFactory(dataDir);
    auto store = factory->suite(GetParam());
    ASSERT_NE(store, nullptr);
    ASSERT_TRUE(store->setString("k", GetParam()));
    for (const auto& entry : entriesUnder(root.path())) {
        if (fs::is_regular_file(entry)) {
            EXPECT_EQ(entry.parent_path(), dataDir) << entry;
        }
    }
    EXPECT_EQ(factory->suite(GetParam())->string("k"), GetParam());
}

INSTANTIATE_TEST_SUITE_P(Hostile, SuiteName,
                         ::testing::Values("../x", "..", ".", "a/b", "/etc/vesk", "../../../../x",
                                           "a\\b", "group.com.example", "%2e%2e",
                                           "\xD0\xB3\xD1\x80\xD1\x83\xD0\xBF\xD0\xBF\xD0\xB0",
                                           std::string(200, '/')));

TEST(FileKeyValueStore, DistinctNamesNeverShareAFile) {
    TempDir dir;
    auto factory = makeFileKeyValueStoreFactory(dir.path());
    const std::vector<std::string> names = {"a/b",
                                            "a%2Fb",
                                            "a_b",
                                            "A/B",
                                            "..",
                                            "%2E%2E",
                                            std::string(199, 'x') + "1",
                                            std::string(199, 'x') + "2"};
    for (const auto& name : names) {
        ASSERT_TRUE(factory->suite(name)->setString("name", name)) << name;
    }
    auto reopened = makeFileKeyValueStoreFactory(dir.path());
    for (const auto& name : names) {
        EXPECT_EQ(reopened->suite(name)->string("name"), name);
    }
}

TEST(FileKeyValueStore, UnusableSuiteNamesGiveNoStore) {
    TempDir dir;
    for (auto factory :
         {makeFileKeyValueStoreFactory(dir.path()), makeInMemoryKeyValueStoreFactory()}) {
        EXPECT_EQ(factory->suite(""), nullptr);
        EXPECT_EQ(factory->suite(std::string("a\0b", 3)), nullptr);
        EXPECT_EQ(factory->suite("line\nbreak"), nullptr);
        EXPECT_EQ(factory->suite(std::string(201, 'x')), nullptr);
        EXPECT_NE(factory->suite(std::string(200, 'x')), nullptr);
    }
}

// Each child opens its own connection, waits for the start signal, then appends its ids.
pid_t spawnAppender(const fs::path& dir, const int (&fds)[2], const std::string& prefix,
                    int count) {
    pid_t pid = fork();
    if (pid != 0) {
        return pid;
    }
    alarm(300);  // a child that hangs dies instead of hanging the suite
    close(fds[1]);
    int readFd = fds[0];
    auto capture = std::make_shared<testing::CapturingConsoleSink>();
    setConsoleSink(capture);
    auto store = makeFileKeyValueStoreFactory(dir)->suite("group.com.example");
    if (!capture->lines().empty()) {
        std::fprintf(stderr, "child %s: %s\n", prefix.c_str(), capture->lines()[0].text.c_str());
        _exit(4);  // fell back to memory: it would not share the list
    }
    char go = 0;
    if (read(readFd, &go, 1) < 0) {
        _exit(3);
    }
    for (int i = 0; i < count; ++i) {
        std::string id = prefix + std::to_string(i);
        bool ok = store->update("notificationList", [&](std::optional<StoreValue> old) {
            std::vector<std::string> items;
            if (old) {
                if (auto* list = std::get_if<std::vector<std::string>>(&*old)) {
                    items = std::move(*list);
                }
            }
            items.push_back(id);
            return std::optional<StoreValue>(std::move(items));
        });
        if (!ok) {
            std::fprintf(
                stderr, "child %s: %s\n", prefix.c_str(),
                capture->lines().empty() ? "update failed" : capture->lines().back().text.c_str());
            _exit(2);
        }
    }
    _exit(0);  // no destructors, no test-framework teardown in the child
}

TEST(FileKeyValueStore, TwoProcessesAppendingThroughUpdateLoseNothing) {
    TempDir dir;
    constexpr int kEach = 500;
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t a = spawnAppender(dir.path(), fds, "a", kEach);
    pid_t b = spawnAppender(dir.path(), fds, "b", kEach);
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    close(fds[0]);
    close(fds[1]);  // end of file on the pipe: both children start at once
    for (pid_t pid : {a, b}) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status)) << "child killed by signal " << WTERMSIG(status);
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    auto list = makeFileKeyValueStoreFactory(dir.path())
                    ->suite("group.com.example")
                    ->stringArray("notificationList")
                    .value_or(std::vector<std::string>{});
    std::set<std::string> unique(list.begin(), list.end());
    EXPECT_EQ(list.size(), 2U * kEach);
    EXPECT_EQ(unique.size(), 2U * kEach);
    for (int i = 0; i < kEach; ++i) {
        EXPECT_TRUE(unique.contains("a" + std::to_string(i)));
        EXPECT_TRUE(unique.contains("b" + std::to_string(i)));
    }
}

// Regression: two processes opening the same new file at once got "database is locked"
// from the switch to WAL, and one of them silently kept its values in memory.
TEST(FileKeyValueStore, ProcessesOpeningOneNewFileTogetherAllGetTheFile) {
    constexpr int kRounds = 10;
    constexpr int kProcesses = 6;
    for (int round = 0; round < kRounds; ++round) {
        TempDir dir;
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        std::vector<pid_t> children;
        for (int p = 0; p < kProcesses; ++p) {
            pid_t pid = fork();
            if (pid == 0) {
                alarm(120);
                close(fds[1]);
                char go = 0;
                if (read(fds[0], &go, 1) < 0) {
                    _exit(3);
                }
                auto capture = std::make_shared<testing::CapturingConsoleSink>();
                setConsoleSink(capture);
                auto store = makeFileKeyValueStoreFactory(dir.path())->suite("group.shared");
                bool ok = store->setInteger("p" + std::to_string(p), p);
                _exit(ok && capture->lines().empty() ? 0 : 4);
            }
            ASSERT_GT(pid, 0);
            children.push_back(pid);
        }
        close(fds[0]);
        close(fds[1]);
        for (pid_t pid : children) {
            int status = 0;
            ASSERT_EQ(waitpid(pid, &status, 0), pid);
            ASSERT_TRUE(WIFEXITED(status));
            EXPECT_EQ(WEXITSTATUS(status), 0) << "round " << round;
        }
        auto store = makeFileKeyValueStoreFactory(dir.path())->suite("group.shared");
        for (int p = 0; p < kProcesses; ++p) {
            EXPECT_EQ(store->integer("p" + std::to_string(p)), p) << "round " << round;
        }
    }
}

// The registry: which stores the library itself uses.
class StoreRegistry : public ::testing::Test {
  protected:
    void TearDown() override {
        setKeyValueStoreFactory(nullptr);
        setDataDirectory({});
    }
    TempDir dir_;
};

TEST_F(StoreRegistry, DataDirectoryChoosesWhereTheFilesGo) {
    setDataDirectory(dir_.path() / "vesk");
    EXPECT_EQ(dataDirectory(), dir_.path() / "vesk");
    ASSERT_TRUE(keyValueStoreFactory()->standard()->setString("dialogId", "7"));
    EXPECT_TRUE(fs::exists(dir_.path() / "vesk" / "standard.sqlite3"));
}

TEST_F(StoreRegistry, HostFactoryReplacesTheFileStoresUntilReset) {
    setDataDirectory(dir_.path());
    auto host = makeInMemoryKeyValueStoreFactory();
    setKeyValueStoreFactory(host);
    EXPECT_EQ(keyValueStoreFactory(), host);
    ASSERT_TRUE(keyValueStoreFactory()->standard()->setString("k", "memory"));
    EXPECT_FALSE(fs::exists(dir_.path() / "standard.sqlite3"));
    setKeyValueStoreFactory(nullptr);
    EXPECT_NE(keyValueStoreFactory(), host);
    EXPECT_FALSE(keyValueStoreFactory()->standard()->get("k").has_value());
}

class DefaultDataDirectory : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : {"XDG_DATA_HOME", "XDG_CACHE_HOME", "HOME"}) {
            const char* v = std::getenv(name);
            saved_.emplace_back(name, v ? std::optional<std::string>(v) : std::nullopt);
        }
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_) {
            if (value) {
                setenv(name.c_str(), value->c_str(), 1);
            } else {
                unsetenv(name.c_str());
            }
        }
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(DefaultDataDirectory, FollowsXdgDataHomeThenHome) {
    setenv("XDG_DATA_HOME", "/xdg/data", 1);
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(platform::defaultDataDirectory(), fs::path("/xdg/data/vesk"));
    setenv("XDG_DATA_HOME", "relative/ignored", 1);
    EXPECT_EQ(platform::defaultDataDirectory(), fs::path("/home/someone/.local/share/vesk"));
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(platform::defaultDataDirectory(), fs::path("/home/someone/.local/share/vesk"));
}

TEST_F(DefaultDataDirectory, CacheFollowsXdgCacheHomeThenHome) {
    setenv("XDG_CACHE_HOME", "/xdg/cache", 1);
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(platform::defaultCacheDirectory(), fs::path("/xdg/cache/vesk"));
    setenv("XDG_CACHE_HOME", "relative/ignored", 1);
    EXPECT_EQ(platform::defaultCacheDirectory(), fs::path("/home/someone/.cache/vesk"));
    unsetenv("XDG_CACHE_HOME");
    EXPECT_EQ(platform::defaultCacheDirectory(), fs::path("/home/someone/.cache/vesk"));
}

}  // namespace
}  // namespace vesk
