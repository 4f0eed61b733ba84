// Processes shown the same pushes at once through one shared store: each id
// is presented by exactly one of them. Each process is this test binary again,
// run as a helper.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <map>

#include "push/push_notification_checker.hpp"
#include "tests/support/temp_dir.hpp"

extern char** environ;

namespace vesk {
namespace {

constexpr const char* kDomain = "group.com.example.twoprocess";
constexpr int kIds = 40;  // under the list's limit: nothing is trimmed during the race
constexpr int kProcesses = 4;

// In a helper process: waits for a byte on stdin, then asks about every id and
// writes the ids it would present to $VESK_PUSH_HELPER_OUT.
TEST(PushClaimHelper, PresentsWhatItClaims) {
    const char* dir = std::getenv("VESK_PUSH_HELPER_DIR");
    const char* out = std::getenv("VESK_PUSH_HELPER_OUT");
    if (dir == nullptr || out == nullptr) {
        GTEST_SKIP() << "runs only as the helper of TwoProcesses";
    }
    PushEnvironment env;
    auto center = std::make_shared<InMemoryNotificationCenter>();
    env.center = [center] { return std::static_pointer_cast<NotificationCenter>(center); };
    env.stores = makeFileKeyValueStoreFactory(dir);
    PushNotificationChecker checker(env);
    char go = 0;
    ASSERT_EQ(read(STDIN_FILENO, &go, 1), 1);
    std::ofstream file(out);
    for (int i = 0; i < kIds; ++i) {
        const std::string id = "msg-" + std::to_string(i);
        checker.isShownEarlier(JsonValue(JsonObject{{"id", JsonValue(id)}}), std::string(kDomain),
                               [&](bool shown) {
                                   if (!shown) {
                                       file << id << "\n";
                                   }
                               });
    }
}

struct Helper {
    pid_t pid = -1;
    int goFd = -1;
    std::string out;
};

Helper spawnHelper(const testing::TempDir& dir, int index) {
    Helper helper;
    helper.out = (dir.path() / ("presented-" + std::to_string(index))).string();
    int fds[2];
    if (pipe(fds) != 0) {
        return helper;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], STDIN_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    const int devNull = open("/dev/null", O_WRONLY);
    posix_spawn_file_actions_adddup2(&actions, devNull, STDOUT_FILENO);

    std::vector<std::string> envStrings;
    for (char** e = environ; *e != nullptr; ++e) {
        envStrings.emplace_back(*e);
    }
    envStrings.push_back("VESK_PUSH_HELPER_DIR=" + dir.path().string());
    envStrings.push_back("VESK_PUSH_HELPER_OUT=" + helper.out);
    std::vector<char*> envp;
    for (auto& s : envStrings) {
        envp.push_back(s.data());
    }
    envp.push_back(nullptr);
    std::string self = "/proc/self/exe";
    std::string filter = "--gtest_filter=PushClaimHelper.PresentsWhatItClaims";
    std::vector<char*> argv{self.data(), filter.data(), nullptr};
    if (posix_spawn(&helper.pid, self.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) {
        helper.pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    close(devNull);
    close(fds[0]);
    helper.goFd = fds[1];
    return helper;
}

TEST(TwoProcesses, ShareOneStoreAndPresentEachIdExactlyOnce) {
    if (std::getenv("VESK_PUSH_HELPER_DIR") != nullptr) {
        GTEST_SKIP();
    }
    const testing::TempDir dir;
    // The file exists before the race, as the application's own would.
    ASSERT_TRUE(
        makeFileKeyValueStoreFactory(dir.path())->suite(kDomain)->setBool("isBackground", false));
    std::vector<Helper> helpers;
    for (int i = 0; i < kProcesses; ++i) {
        helpers.push_back(spawnHelper(dir, i));
    }
    for (const auto& helper : helpers) {
        ASSERT_GT(helper.pid, 0);
    }
    for (const auto& helper : helpers) {  // start both together
        ASSERT_EQ(write(helper.goFd, "g", 1), 1);
        close(helper.goFd);
    }
    std::map<std::string, int> presented;
    for (const auto& helper : helpers) {
        int status = 0;
        ASSERT_EQ(waitpid(helper.pid, &status, 0), helper.pid);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
        std::ifstream in(helper.out);
        for (std::string id; std::getline(in, id);) {
            ++presented[id];
        }
    }
    ASSERT_EQ(presented.size(), static_cast<std::size_t>(kIds));
    for (const auto& [id, count] : presented) {
        EXPECT_EQ(count, 1) << id;
    }
    const auto list =
        makeFileKeyValueStoreFactory(dir.path())->suite(kDomain)->stringArray("notificationList");
    ASSERT_TRUE(list);
    EXPECT_LE(list->size(), 51U);
}

}  // namespace
}  // namespace vesk
