// Requests that save their body to a file: progress, and what is left on disk
// when a download fails, stalls, ends early or is cancelled.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "net/http_client.hpp"
#include "support/client_harness.hpp"
#include "support/queue_executor.hpp"
#include "support/raw_server.hpp"
#include "tests/support/temp_dir.hpp"

namespace vesk::net {
namespace {

namespace fs = std::filesystem;
using test::RawServer;

std::string bytes(std::size_t size) {
    std::string out(size, '\0');
    std::generate(out.begin(), out.end(),
                  [i = 0U]() mutable { return static_cast<char>(i++ * 7); });
    return out;
}

std::string ok(const std::string& body) {
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

const std::string kHalfSent = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + bytes(50'000);

std::vector<fs::path> filesIn(const fs::path& dir) {
    std::vector<fs::path> out;
    for (const auto& entry : fs::directory_iterator(dir)) {
        out.push_back(entry.path().filename());
    }
    return out;
}

class HttpDownload : public ::testing::Test {
  protected:
    struct Run {
        int calls = 0;
        std::optional<Expected<HttpReply>> result;
        std::vector<int> percents;
        bool lateProgress = false;
        std::vector<fs::path> filesAtCallback;
    };

    HttpRequest download(const std::string& url) {
        HttpRequest request = HttpRequest::get(url);
        request.saveTo = dir_.path() / "report.pdf";
        request.stallTimeout = std::chrono::seconds(1);
        return request;
    }

    std::shared_ptr<Run> start(const std::string& url, RequestId* id = nullptr) {
        auto run = std::make_shared<Run>();
        const RequestId sent = client_.send(
            download(url),
            [this, run](Expected<HttpReply> result) {
                ++run->calls;
                run->filesAtCallback = filesIn(dir_.path());
                run->result.emplace(std::move(result));
            },
            [run](int percent) {
                run->lateProgress = run->lateProgress || run->calls > 0;
                run->percents.push_back(percent);
            });
        if (id != nullptr) {
            *id = sent;
        }
        return run;
    }

    // Requires: `run` is held by the caller (the client lets go of it once it has called back).
    Run& settle(Run& run) {
        EXPECT_TRUE(loop_.runUntil([&] { return run.calls > 0; }, test::kWait));
        loop_.runPending();
        EXPECT_EQ(run.calls, 1);
        EXPECT_FALSE(run.lateProgress);
        return run;
    }

    static Error::Kind kind(const Run& run) {
        return run.result->hasValue() ? Error::Kind::invalid : run.result->error().kind;
    }

    vesk::testing::TempDir dir_;
    RunLoop loop_;
    HttpClient client_{loop_};
};

TEST_F(HttpDownload, SavesTheBodyWithWholePercentsRisingToOneHundred) {
    const std::string body = bytes(1U << 20U);
    RawServer peer(ok(body));
    const auto held = start(peer.url());
    Run& run = settle(*held);
    ASSERT_TRUE(run.result->hasValue()) << run.result->error().description;
    EXPECT_TRUE((*run.result)->body.empty());
    EXPECT_EQ(run.filesAtCallback, std::vector<fs::path>{"report.pdf"});
    std::ifstream in(dir_.path() / "report.pdf", std::ios::binary);
    EXPECT_TRUE(std::string(std::istreambuf_iterator<char>(in), {}) == body);
    // The body arrives in many pieces; only a changed whole percent is reported.
    ASSERT_GE(run.percents.size(), 2U);
    EXPECT_EQ(run.percents.back(), 100);
    EXPECT_EQ(std::adjacent_find(run.percents.begin(), run.percents.end(),
                                 [](int a, int b) { return a >= b; }),
              run.percents.end());
}

struct FailureCase {
    const char* name;
    std::string reply;
    bool holdOpen;
    Error::Kind expected;
};

class HttpDownloadFailures : public HttpDownload,
                             public ::testing::WithParamInterface<FailureCase> {};

// An older file of the same name stays as it was.
TEST_P(HttpDownloadFailures, LeaveNoFileBehind) {
    std::ofstream(dir_.path() / "report.pdf") << "old";
    RawServer peer(GetParam().reply, GetParam().holdOpen);
    const auto held = start(peer.url());
    Run& run = settle(*held);
    EXPECT_EQ(kind(run), GetParam().expected);
    EXPECT_EQ(run.filesAtCallback, std::vector<fs::path>{"report.pdf"});
    EXPECT_EQ(fs::file_size(dir_.path() / "report.pdf"), 3U);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HttpDownloadFailures,
    ::testing::Values(FailureCase{"NotFound",
                                  "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\n"
                                  "not found",
                                  false, Error::Kind::api},
                      FailureCase{"EndsEarly", kHalfSent, false, Error::Kind::transport},
                      FailureCase{"Stalls", kHalfSent, true, Error::Kind::timeout}),
    [](const auto& p) { return std::string(p.param.name); });

// The partial file exists while bytes arrive, under a name of its own, and is
// gone by the time the cancelled callback runs.
TEST_F(HttpDownload, CancelMidwayCallsBackOnceAfterThePartialFileIsGone) {
    RawServer peer(kHalfSent, true);
    RequestId id;
    auto run = start(peer.url(), &id);
    ASSERT_TRUE(loop_.runUntil([&] { return !run->percents.empty(); }, test::kWait));
    ASSERT_EQ(filesIn(dir_.path()).size(), 1U);
    EXPECT_NE(filesIn(dir_.path())[0], "report.pdf");
    client_.cancel(id);
    client_.cancel(id);
    EXPECT_EQ(kind(settle(*run)), Error::Kind::cancelled);
    EXPECT_TRUE(run->filesAtCallback.empty());
}

// A cancel that comes after the file is in place, before the reply is
// delivered, still wins, and takes the file with it.
TEST_F(HttpDownload, CancelAfterTheFileIsInPlaceRemovesIt) {
    RawServer peer(ok(bytes(1000)));
    test::QueueExecutor executor;
    HttpClient client(executor);
    std::optional<Expected<HttpReply>> result;
    const RequestId id = client.send(download(peer.url()),
                                     [&](Expected<HttpReply> r) { result.emplace(std::move(r)); });
    ASSERT_TRUE(test::waitFor([&] { return fs::exists(dir_.path() / "report.pdf"); }));
    client.cancel(id);
    ASSERT_TRUE(test::waitFor([&] {
        executor.runAll();
        return result.has_value();
    }));
    EXPECT_EQ(result->error().kind, Error::Kind::cancelled);
    EXPECT_TRUE(filesIn(dir_.path()).empty());
}

// A full disk refuses a write as a file size limit does.
TEST_F(HttpDownload, ARefusedWriteEndsTheTransferWithAClearError) {
    RawServer peer(ok(bytes(1U << 20U)));
    rlimit before{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = before;
    small.rlim_cur = 64U * 1024U;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    auto run = start(peer.url());
    loop_.runUntil([&] { return run->calls > 0; }, test::kWait);
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, previous);
    settle(*run);
    ASSERT_EQ(kind(*run), Error::Kind::transport);
    EXPECT_EQ(run->result->error().description, "The file could not be written: File too large");
    EXPECT_TRUE(run->filesAtCallback.empty());
}

}  // namespace
}  // namespace vesk::net
