// Downloads of attachment files against the development server: the states a
// screen follows, the files left on disk, and what a restart remembers.
#include "ui/download_service.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <boost/json/parse.hpp>
#include <fstream>

#include "core/in_memory_key_value_store.hpp"
#include "core/platform_hooks.hpp"
#include "tests/support/temp_dir.hpp"
#include "tools/devserver/dev_server.hpp"
#include "ui/download_file_name.hpp"
#include "vesk/downloads.hpp"

namespace vesk {
namespace {

namespace fs = std::filesystem;
using Kind = DownloadState::Kind;
using States = std::shared_ptr<std::vector<DownloadState>>;

constexpr std::chrono::milliseconds kWait{30'000};

std::vector<std::string> filesIn(const fs::path& dir) {
    std::vector<std::string> out;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
        out.push_back(entry.path().filename().string());
    }
    std::sort(out.begin(), out.end());
    return out;
}

class DownloadServiceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        loop_.runPending();  // the test thread is the loop's from now on
        server_ = dev::DevServer::start({});
        ASSERT_TRUE(server_);
        // A user, so that the operator has someone to send files to.
        std::optional<Expected<net::HttpReply>> reply;
        client_->send(net::HttpRequest::post(server_->apiBaseUrl() + "connect",
                                             net::FormBody{{{"api_key", server_->demoApiKey()}}}),
                      [&](Expected<net::HttpReply> r) { reply.emplace(std::move(r)); });
        ASSERT_TRUE(loop_.runUntil([&] { return reply.has_value(); }, kWait) && *reply);
        const auto json = boost::json::parse((*reply)->body);
        userId_ = std::string(json.at_pointer("/data/user/id").as_string());
        server_->clearRequests();
    }

    std::unique_ptr<DownloadService> makeService() {
        return std::make_unique<DownloadService>(loop_, client_, store_, downloads_,
                                                 std::chrono::seconds(1));
    }

    void fault(dev::Fault::Action action, std::size_t chunkBytes = 0, int delayMs = 0) {
        dev::Fault f;
        f.pathPrefix = "/files/";
        f.action = action;
        f.chunkBytes = chunkBytes;
        f.delay = std::chrono::milliseconds(delayMs);
        f.count = -1;  // a dropped reused connection is retried once by the client
        server_->addFault(f);
    }

    // Every state of `url` from now on, its current one first.
    States follow(const std::string& url, DownloadService* service = nullptr) {
        auto states = std::make_shared<std::vector<DownloadState>>();
        bag_.insert((service != nullptr ? *service : *service_)
                        .getFileState(url)
                        .subscribe([states](const DownloadState& s) { states->push_back(s); }));
        return states;
    }

    // Downloads `url` and waits until it is done or has failed.
    States fetch(const std::string& url) {
        auto states = follow(url);
        service_->startDownload(url);
        EXPECT_TRUE(loop_.runUntil(
            [&] { return states->back().kind == Kind::done || states->back().kind == Kind::error; },
            kWait));
        return states;
    }

    RunLoop loop_;
    testing::TempDir dir_;
    const fs::path downloads_ = dir_.path() / "cache" / "Downloads";
    std::shared_ptr<net::HttpClient> client_ = std::make_shared<net::HttpClient>(loop_);
    std::shared_ptr<KeyValueStore> store_ = makeInMemoryKeyValueStore();
    std::unique_ptr<dev::DevServer> server_;
    std::string userId_;
    std::unique_ptr<DownloadService> service_ = makeService();
    rx::DisposeBag bag_;
};

// A restarted service (a new one on the same store) knows the file only while it exists.
TEST_F(DownloadServiceTest, ProgressRisesThenTheFileIsDoneAndRemembered) {
    const std::string url = server_->operatorFile(userId_, "report.pdf", 200'000);
    fault(dev::Fault::Action::slow, 16'384, 20);
    auto states = fetch(url);
    const fs::path file = downloads_ / "report.pdf";
    ASSERT_EQ(states->back(), DownloadState::finished(file)) << states->back().error;
    EXPECT_EQ(states->front(), DownloadState{});
    std::vector<int> percents;
    for (auto it = states->begin() + 1; it + 1 != states->end(); ++it) {
        ASSERT_EQ(it->kind, Kind::progress);
        percents.push_back(it->percent);
    }
    ASSERT_GE(percents.size(), 4U);
    EXPECT_EQ(percents.front(), 0);
    EXPECT_EQ(percents.back(), 100);
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_EQ(fs::file_size(file), 200'000U);
    EXPECT_EQ(store_->string(DownloadService::downloadKey(url)), file.string());
    for (const fs::path& made : {downloads_, downloads_.parent_path()}) {
        EXPECT_EQ(fs::status(made).permissions() & fs::perms::all, fs::perms::owner_all);
    }

    bag_ = {};
    service_ = makeService();
    EXPECT_EQ(follow(url)->back(), DownloadState::finished(file));
    fs::remove(file);
    EXPECT_EQ(follow(url)->back(), DownloadState{});
    EXPECT_EQ(follow(url, makeService().get())->back(), DownloadState{});
}

// A second start while one runs does nothing; a cancel leaves no partial file.
TEST_F(DownloadServiceTest, CancelMidwayGoesBackToNoneAndLeavesNoFile) {
    const std::string url = server_->operatorFile(userId_, "big.bin", 1'000'000);
    fault(dev::Fault::Action::slow, 4096, 20);
    auto states = follow(url);
    service_->startDownload(url);
    service_->startDownload(url);
    ASSERT_TRUE(loop_.runUntil([&] { return states->back().percent > 0; }, kWait));
    ASSERT_EQ(filesIn(downloads_).size(), 1U);
    EXPECT_NE(filesIn(downloads_)[0], "big.bin");
    service_->cancel(url);
    EXPECT_EQ(states->back(), DownloadState{});
    const std::size_t seen = states->size();
    ASSERT_TRUE(loop_.runUntil([&] { return filesIn(downloads_).empty(); }, kWait));
    loop_.runPending();
    EXPECT_EQ(states->size(), seen);
    EXPECT_EQ(server_->requests().size(), 1U);
}

struct FailureCase {
    const char* name;
    std::optional<dev::Fault::Action> fault;  // none: a file the server does not have
    const char* error;                        // empty: any text
};

class DownloadFailures : public DownloadServiceTest,
                         public ::testing::WithParamInterface<FailureCase> {};

TEST_P(DownloadFailures, EndInAnErrorWithNoFileLeft) {
    std::string url = server_->operatorFile(userId_, "report.pdf", 100'000);
    if (GetParam().fault) {
        fault(*GetParam().fault);
    } else {
        url.replace(url.rfind('/'), std::string::npos, "/missing.pdf");
    }
    const DownloadState end = fetch(url)->back();
    EXPECT_EQ(end.kind, Kind::error);
    EXPECT_FALSE(end.error.empty());
    if (*GetParam().error != '\0') {
        EXPECT_EQ(end.error, GetParam().error);
    }
    EXPECT_TRUE(filesIn(downloads_).empty());
    EXPECT_FALSE(store_->string(DownloadService::downloadKey(url)));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DownloadFailures,
    ::testing::Values(FailureCase{"NotFound", std::nullopt, "The server answered with status 404"},
                      FailureCase{"EndsEarly", dev::Fault::Action::truncate, ""},
                      FailureCase{"Stalls", dev::Fault::Action::stall,
                                  "No data arrived for 1 second"}),
    [](const auto& p) { return std::string(p.param.name); });

// All at once, so two files of one name are both running when the second is named.
TEST_F(DownloadServiceTest, NamesAreTheRemoteOnesMadeUnique) {
    std::vector<std::string> urls;
    std::vector<States> states;
    for (const std::string& name : std::vector<std::string>{
             "report.pdf", "report.pdf", "README", "README", std::string(300, 'n') + ".txt"}) {
        urls.push_back(server_->operatorFile(userId_, name, 10 + urls.size()));
        states.push_back(follow(urls.back()));
        service_->startDownload(urls.back());
    }
    for (const auto& s : states) {
        ASSERT_TRUE(loop_.runUntil([&] { return s->back().kind == Kind::done; }, kWait));
    }
    const std::string longName = std::string(kMaxDownloadNameBytes - 4, 'n') + ".txt";
    EXPECT_EQ(filesIn(downloads_), (std::vector<std::string>{"README", "README_1", longName,
                                                             "report.pdf", "report_1.pdf"}));
    EXPECT_EQ(fs::file_size(states[1]->back().file), 11U);
}

TEST_F(DownloadServiceTest, InvalidUrlsAreErrorsThatNameTheText) {
    for (const std::string text : {"ftp://files.example/a.pdf", "report.pdf", "https://a b/c"}) {
        auto states = follow(text);
        service_->startDownload(text);
        EXPECT_EQ(states->back(), DownloadState::failed("Invalid file url: " + text));
    }
    EXPECT_TRUE(server_->requests().empty());
}

// A file the user sent is known as downloaded; removing forgets it, and
// deletes only what lies in the downloads directory.
TEST_F(DownloadServiceTest, ExistingFilesAreRememberedAndRemovedOnlyInsideTheDirectory) {
    const fs::path sent = dir_.path() / "sent.pdf";
    std::ofstream(sent) << "mine";
    const std::string url = "https://files.example/5/sent.pdf";
    auto states = follow(url);
    service_->addExistingFile(sent, url);
    EXPECT_EQ(states->back(), DownloadState::finished(sent));
    EXPECT_EQ(follow(url, makeService().get())->back(), DownloadState::finished(sent));
    service_->removeFile(url);
    EXPECT_EQ(states->back(), DownloadState{});
    EXPECT_TRUE(fs::exists(sent));

    const std::string fetched = server_->operatorFile(userId_, "report.pdf", 10);
    auto downloaded = fetch(fetched);
    service_->removeFile(fetched);
    EXPECT_EQ(downloaded->back(), DownloadState{});
    EXPECT_TRUE(filesIn(downloads_).empty());
}

TEST(DownloadDirectory, IsTheHostsOrADownloadsFolderInTheCache) {
    setDownloadDirectory("/srv/app/downloads");
    EXPECT_EQ(downloadDirectory(), fs::path("/srv/app/downloads"));
    setDownloadDirectory({});
    EXPECT_EQ(downloadDirectory(), platform::defaultCacheDirectory() / "Downloads");
}

}  // namespace
}  // namespace vesk
