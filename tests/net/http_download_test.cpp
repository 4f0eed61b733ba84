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
using vesk::testing::TempDir;

std::string ok(const std::string& body) {
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

std::string pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>((i * 7U) & 0xFFU);
    }
    return bytes;
}

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

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
        bool onLoop = true;
        bool progressAfterEnd = false;
        std::vector<fs::path> filesAtCallback;
    };

    HttpRequest download(const std::string& url) {
        HttpRequest request = HttpRequest::get(url);
        request.saveTo = dir_.path() / "report.pdf";
        request.totalTimeout = std::chrono::milliseconds(0);
        return request;
    }

    std::shared_ptr<Run> start(HttpRequest request, RequestId* id = nullptr) {
        auto run = std::make_shared<Run>();
        const RequestId sent = client_.send(
            std::move(request),
            [this, run](Expected<HttpReply> result) {
                ++run->calls;
                run->onLoop = run->onLoop && loop_.isCurrent();
                run->filesAtCallback = filesIn(dir_.path());
                run->result.emplace(std::move(result));
            },
            [this, run](int percent) {
                run->onLoop = run->onLoop && loop_.isCurrent();
                run->progressAfterEnd = run->progressAfterEnd || run->calls > 0;
                run->percents.push_back(percent);
            });
        if (id != nullptr) {
            *id = sent;
        }
        return run;
    }

    bool settle(const std::shared_ptr<Run>& run) {
        const bool done = loop_.runUntil([&] { return run->calls > 0; }, test::kWait);
        loop_.runPending();
        return done;
    }

    static Error::Kind errorKind(const Run& run) {
        return run.result && !run.result->hasValue() ? run.result->error().kind
                                                     : Error::Kind::invalid;
    }

    TempDir dir_;
    RunLoop loop_;
    HttpClient client_{loop_};
};

TEST_F(HttpDownload, SavesTheBodyWithWholePercentsRisingToOneHundred) {
    const std::string body = pattern(1U << 20U);
    RawServer peer(ok(body));
    auto run = start(download(peer.url() + "report.pdf"));
    ASSERT_TRUE(settle(run));
    ASSERT_TRUE(run->result && run->result->hasValue()) << run->result->error().description;
    EXPECT_EQ((*run->result)->status, 200);
    EXPECT_TRUE((*run->result)->body.empty());
    EXPECT_EQ(run->calls, 1);
    EXPECT_TRUE(run->onLoop);
    EXPECT_FALSE(run->progressAfterEnd);
    EXPECT_EQ(run->filesAtCallback, std::vector<fs::path>{"report.pdf"});
    EXPECT_TRUE(contents(dir_.path() / "report.pdf") == body);
    // The body arrives in many pieces; only a changed whole percent is reported.
    ASSERT_GE(run->percents.size(), 2U);
    EXPECT_EQ(run->percents.back(), 100);
    EXPECT_TRUE(std::is_sorted(run->percents.begin(), run->percents.end()));
    EXPECT_EQ(std::adjacent_find(run->percents.begin(), run->percents.end()), run->percents.end());
}

TEST_F(HttpDownload, WithoutADeclaredLengthSavesTheBodyWithoutProgress) {
    const std::string body = pattern(200'000);
    RawServer peer("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + body);
    auto run = start(download(peer.url()));
    ASSERT_TRUE(settle(run));
    ASSERT_TRUE(run->result && run->result->hasValue()) << run->result->error().description;
    EXPECT_TRUE(run->percents.empty());
    EXPECT_TRUE(contents(dir_.path() / "report.pdf") == body);
}

struct FailureCase {
    const char* name;
    std::string reply;
    bool holdOpen;
    Error::Kind expected;
};

class HttpDownloadFailures : public HttpDownload,
                             public ::testing::WithParamInterface<FailureCase> {};

// An old file of the same name stays as it was.
TEST_P(HttpDownloadFailures, LeaveNoFileBehind) {
    std::ofstream(dir_.path() / "report.pdf") << "old";
    RawServer peer(GetParam().reply, GetParam().holdOpen);
    HttpRequest request = download(peer.url());
    request.stallTimeout = std::chrono::seconds(1);
    auto run = start(std::move(request));
    ASSERT_TRUE(settle(run));
    EXPECT_EQ(run->calls, 1);
    EXPECT_EQ(errorKind(*run), GetParam().expected)
        << (run->result->hasValue() ? "no error" : run->result->error().description);
    EXPECT_EQ(run->filesAtCallback, std::vector<fs::path>{"report.pdf"});
    EXPECT_EQ(contents(dir_.path() / "report.pdf"), "old");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HttpDownloadFailures,
    ::testing::Values(
        FailureCase{"NotFound", "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found",
                    false, Error::Kind::api},
        FailureCase{"ServerError", "HTTP/1.1 503 Unavailable\r\nConnection: close\r\n\r\ndown",
                    false, Error::Kind::api},
        FailureCase{"EndsEarly",
                    "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + pattern(50'000), false,
                    Error::Kind::transport},
        FailureCase{"Stalls", "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + pattern(50'000),
                    true, Error::Kind::timeout},
        FailureCase{"NeverAnswers", "", true, Error::Kind::timeout}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(HttpDownload, NotFoundSaysWhichStatus) {
    RawServer peer("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
    auto run = start(download(peer.url()));
    ASSERT_TRUE(settle(run));
    ASSERT_FALSE(run->result->hasValue());
    EXPECT_EQ(run->result->error().description, "The server answered with status 404");
}

// The partial file exists while bytes arrive, under a name of its own, and is
// gone by the time the cancelled callback runs.
TEST_F(HttpDownload, CancelMidwayCallsBackOnceAfterThePartialFileIsGone) {
    RawServer peer("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + pattern(50'000), true);
    RequestId id;
    auto run = start(download(peer.url()), &id);
    ASSERT_TRUE(loop_.runUntil([&] { return !run->percents.empty(); }, test::kWait));
    ASSERT_EQ(filesIn(dir_.path()).size(), 1U);
    EXPECT_NE(filesIn(dir_.path())[0], "report.pdf");
    client_.cancel(id);
    client_.cancel(id);
    ASSERT_TRUE(settle(run));
    EXPECT_EQ(run->calls, 1);
    EXPECT_EQ(errorKind(*run), Error::Kind::cancelled);
    EXPECT_TRUE(run->filesAtCallback.empty());
    EXPECT_FALSE(run->progressAfterEnd);
}

// A cancel that comes after the file is in place, before the reply is
// delivered, still wins, and takes the file with it.
TEST_F(HttpDownload, CancelAfterTheFileIsInPlaceRemovesIt) {
    RawServer peer(ok(pattern(1000)));
    test::QueueExecutor executor;
    HttpClient client(executor);
    int calls = 0;
    bool cancelled = false;
    const RequestId id = client.send(download(peer.url()), [&](Expected<HttpReply> r) {
        ++calls;
        cancelled = !r && r.error().kind == Error::Kind::cancelled;
    });
    ASSERT_TRUE(test::waitFor([&] { return fs::exists(dir_.path() / "report.pdf"); }));
    client.cancel(id);
    ASSERT_TRUE(test::waitFor([&] {
        executor.runAll();
        return calls > 0;
    }));
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(cancelled);
    EXPECT_TRUE(filesIn(dir_.path()).empty());
}

// A full disk shows as a refused write; a file size limit refuses the same way.
TEST_F(HttpDownload, ARefusedWriteEndsTheTransferWithAClearError) {
    RawServer peer(ok(pattern(1U << 20U)));
    rlimit before{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = before;
    small.rlim_cur = 64U * 1024U;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    auto run = start(download(peer.url()));
    const bool settled = settle(run);
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, previous);
    ASSERT_TRUE(settled);
    ASSERT_FALSE(run->result->hasValue());
    EXPECT_EQ(run->result->error().kind, Error::Kind::transport);
    EXPECT_EQ(run->result->error().description, "The file could not be written: File too large");
    EXPECT_TRUE(run->filesAtCallback.empty());
}

TEST_F(HttpDownload, AMissingDirectoryFailsBeforeAnythingIsSent) {
    RawServer peer(ok("x"));
    HttpRequest request = download(peer.url());
    request.saveTo = dir_.path() / "missing" / "report.pdf";
    auto run = start(std::move(request));
    ASSERT_TRUE(settle(run));
    EXPECT_EQ(errorKind(*run), Error::Kind::transport);
    EXPECT_EQ(peer.connectionsAccepted(), 0);
}

// The handle that served a download is recycled for a plain request, whose
// body is in memory again.
TEST_F(HttpDownload, APlainRequestAfterADownloadKeepsItsBody) {
    RawServer peer(ok("plain body"));
    ASSERT_TRUE(settle(start(download(peer.url()))));
    auto reply = test::fetch(client_, loop_, HttpRequest::get(peer.url()));
    ASSERT_TRUE(reply) << reply.error().description;
    EXPECT_EQ(reply->body, "plain body");
}

}  // namespace
}  // namespace vesk::net
