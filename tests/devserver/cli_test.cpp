// The vesk-devserver program: its two URL lines, its options, and a clean stop on SIGTERM.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "support/http_client.hpp"

namespace vesk::dev::test {
namespace {

const std::string kProgram = std::string(VESK_BINARY_DIR) + "/tools/devserver/vesk-devserver";

// The program with its stdout on a pipe.
struct Child {
    pid_t pid = -1;
    FILE* out = nullptr;

    explicit Child(const std::vector<std::string>& args) {
        int fds[2];
        if (::pipe(fds) != 0) {
            return;
        }
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(kProgram.c_str()));
        for (const auto& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        pid = ::fork();
        if (pid == 0) {
            ::dup2(fds[1], STDOUT_FILENO);
            ::close(fds[0]);
            ::close(fds[1]);
            ::execv(kProgram.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(fds[1]);
        out = ::fdopen(fds[0], "r");
    }

    std::string line() {
        char buffer[512];
        if (out == nullptr || std::fgets(buffer, sizeof buffer, out) == nullptr) {
            return {};
        }
        return buffer;
    }

    int wait() {
        int status = 0;
        ::waitpid(pid, &status, 0);
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    ~Child() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        if (out != nullptr) {
            std::fclose(out);
        }
    }
};

class Cli : public ::testing::Test {
  protected:
    void SetUp() override {
        if (::access(kProgram.c_str(), X_OK) != 0) {
            GTEST_SKIP() << kProgram << " is not built";
        }
    }
};

TEST_F(Cli, PrintsBothUrlsServesItsAppsAndStopsOnSigterm) {
    Child child({"--port", "0", "--host", "127.0.0.1", "--app", "cli-key:2002:cli-auth"});
    const std::string api = child.line();
    const std::string realtime = child.line();
    ASSERT_EQ(api.rfind("api http://127.0.0.1:", 0), 0u) << api;
    ASSERT_EQ(realtime.rfind("realtime ws://127.0.0.1:", 0), 0u) << realtime;
    const std::string apiUrl = api.substr(4, api.size() - 5);
    EXPECT_EQ(apiUrl.substr(apiUrl.size() - 4), "/v1/");
    EXPECT_EQ(realtime, "realtime ws" + apiUrl.substr(4, apiUrl.size() - 7) + "\n");

    HttpClient client;
    for (const char* key : {"cli-key", "demo-api-key"}) {
        EXPECT_EQ(client.post(apiUrl + "connect", {{"api_key", key}}).status, 200) << key;
    }
    ::kill(child.pid, SIGTERM);
    EXPECT_EQ(child.wait(), 0);
}

TEST_F(Cli, BadArgumentsExitWithUsage) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--port", "70000"},
                                                 {"--app", "no-colons"},
                                                 {"--bogus", "1"},
                                                 {"--tls-cert", "only.pem"}}) {
        Child child(args);
        EXPECT_EQ(child.wait(), 2) << args[0];
    }
    Child unreadable({"--seed", "/nonexistent/seed.json"});
    EXPECT_EQ(unreadable.wait(), 1);
}

}  // namespace
}  // namespace vesk::dev::test
