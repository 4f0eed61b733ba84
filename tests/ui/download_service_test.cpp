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
        std::string error;
        server_ = dev::DevServer::start({}, &error);
        ASSERT_TRUE(server_) << error;
        userId_ = connectUser();
        ASSERT_FALSE(userId_.empty());
        server_->clearRequests();
        service_ = makeService();
    }

    std::unique_ptr<DownloadService> makeService() {
        return std::make_unique<DownloadService>(loop_, client_, store_, downloads_,
                                                 std::chrono::seconds(1));
    }

    // A user of the demo app, so the operator has someone to send files to.
    std::string connectUser() {
        std::optional<Expected<net::HttpReply>> reply;
        client_->send(net::HttpRequest::post(server_->apiBaseUrl() + "connect",
                                             net::FormBody{{{"api_key", server_->demoApiKey()}}}),
                      [&](Expected<net::HttpReply> r) { reply.emplace(std::move(r)); });
        if (!loop_.runUntil([&] { return reply.has_value(); }, kWait) || !*reply) {
            return {};
        }
        boost::system::error_code ec;
        const auto json = boost::json::parse((*reply)->body, ec);
        const auto* id = ec ? nullptr : json.find_pointer("/data/user/id", ec);
        return id != nullptr && id->is_string() ? std::string(id->as_string()) : std::string();
    }

    void slowFiles(std::size_t chunkBytes, int delayMs) {
        dev::Fault slow;
        slow.pathPrefix = "/files/";
        slow.action = dev::Fault::Action::slow;
        slow.chunkBytes = chunkBytes;
        slow.delay = std::chrono::milliseconds(delayMs);
        slow.count = -1;
        server_->addFault(slow);
    }

    // Every state `url` goes through from now on, its current one first.
    std::shared_ptr<std::vector<DownloadState>> follow(const std::string& url,
                                                       DownloadService* service = nullptr) {
        auto states = std::make_shared<std::vector<DownloadState>>();
        bag_.insert((service != nullptr ? *service : *service_)
                        .getFileState(url)
                        .subscribe([states](const DownloadState& s) { states->push_back(s); }));
        return states;
    }

    bool runUntilSettled(const std::shared_ptr<std::vector<DownloadState>>& states) {
        return loop_.runUntil(
            [&] {
                return !states->empty() &&
                       (states->back().kind == Kind::done || states->back().kind == Kind::error);
            },
            kWait);
    }

    RunLoop loop_;
    testing::TempDir dir_;
    const fs::path downloads_ = dir_.path() / "cache" / "Downloads";
    std::shared_ptr<net::HttpClient> client_ = std::make_shared<net::HttpClient>(loop_);
    std::shared_ptr<KeyValueStore> store_ = makeInMemoryKeyValueStore();
    std::unique_ptr<dev::DevServer> server_;
    std::string userId_;
    std::unique_ptr<DownloadService> service_;
    rx::DisposeBag bag_;
};

TEST_F(DownloadServiceTest, ProgressRisesThenTheFileIsDoneAndRemembered) {
    const std::string url = server_->operatorFile(userId_, "report.pdf", 200'000);
    slowFiles(16'384, 10);
    auto states = follow(url);
    service_->startDownload(url);
    ASSERT_TRUE(runUntilSettled(states));

    const fs::path file = downloads_ / "report.pdf";
    ASSERT_EQ(states->back(), DownloadState::finished(file)) << states->back().error;
    EXPECT_EQ(states->front(), DownloadState{});
    std::vector<int> percents;
    for (std::size_t i = 1; i + 1 < states->size(); ++i) {
        ASSERT_EQ((*states)[i].kind, Kind::progress);
        percents.push_back((*states)[i].percent);
    }
    ASSERT_GE(percents.size(), 4U);
    EXPECT_EQ(percents.front(), 0);
    EXPECT_EQ(percents.back(), 100);
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_EQ(fs::file_size(file), 200'000U);
    EXPECT_EQ(filesIn(downloads_), std::vector<std::string>{"report.pdf"});
    EXPECT_EQ(store_->string(DownloadService::downloadKey(url)), file.string());
    for (const fs::path& made : {downloads_, downloads_.parent_path()}) {
        EXPECT_EQ(fs::status(made).permissions() & fs::perms::all, fs::perms::owner_all);
    }
}

TEST_F(DownloadServiceTest, ARestartKnowsTheFileOnlyWhileItExists) {
    const std::string url = server_->operatorFile(userId_, "report.pdf", 1000);
    auto states = follow(url);
    service_->startDownload(url);
    ASSERT_TRUE(runUntilSettled(states));
    ASSERT_EQ(states->back().kind, Kind::done) << states->back().error;
    bag_ = {};
    service_ = makeService();

    EXPECT_EQ(follow(url)->back(), DownloadState::finished(downloads_ / "report.pdf"));
    fs::remove(downloads_ / "report.pdf");
    EXPECT_EQ(follow(url)->back(), DownloadState{});
    EXPECT_EQ(follow(url, makeService().get())->back(), DownloadState{});
}

// A second start while one runs does nothing; a cancel leaves no partial file.
TEST_F(DownloadServiceTest, CancelMidwayGoesBackToNoneAndLeavesNoFile) {
    const std::string url = server_->operatorFile(userId_, "big.bin", 1'000'000);
    slowFiles(4096, 20);
    auto states = follow(url);
    service_->startDownload(url);
    service_->startDownload(url);
    ASSERT_TRUE(loop_.runUntil(
        [&] { return states->back().kind == Kind::progress && states->back().percent > 0; },
        kWait));
    ASSERT_EQ(filesIn(downloads_).size(), 1U);
    EXPECT_NE(filesIn(downloads_)[0], "big.bin");
    service_->cancel(url);
    EXPECT_EQ(states->back(), DownloadState{});
    const std::size_t seen = states->size();
    ASSERT_TRUE(loop_.runUntil([&] { return filesIn(downloads_).empty(); }, kWait));
    loop_.runPending();
    EXPECT_EQ(states->size(), seen);
    const auto requests = server_->requests();
    EXPECT_EQ(std::count_if(requests.begin(), requests.end(),
                            [](const auto& r) { return r.path.rfind("/files/", 0) == 0; }),
              1);
    EXPECT_FALSE(store_->string(DownloadService::downloadKey(url)));
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
        dev::Fault fault;
        fault.pathPrefix = "/files/";
        fault.action = *GetParam().fault;
        fault.count = -1;  // a dropped reused connection is retried once by the client
        server_->addFault(fault);
    } else {
        url.replace(url.rfind('/'), std::string::npos, "/missing.pdf");
    }
    auto states = follow(url);
    service_->startDownload(url);
    ASSERT_TRUE(runUntilSettled(states));
    EXPECT_EQ(states->back().kind, Kind::error);
    EXPECT_FALSE(states->back().error.empty());
    if (*GetParam().error != '\0') {
        EXPECT_EQ(states->back().error, GetParam().error);
    }
    EXPECT_TRUE(filesIn(downloads_).empty());
    EXPECT_FALSE(store_->string(DownloadService::downloadKey(url)));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DownloadFailures,
    ::testing::Values(FailureCase{"NotFound", std::nullopt, "The server answered with status 404"},
                      FailureCase{"EndsEarly", dev::Fault::Action::truncate, ""},
                      FailureCase{"Stalls", dev::Fault::Action::stall, ""},
                      FailureCase{"Drops", dev::Fault::Action::drop, ""}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(DownloadServiceTest, NamesAreTheRemoteOnesMadeUnique) {
    const std::vector<std::string> urls{
        server_->operatorFile(userId_, "report.pdf", 10),
        server_->operatorFile(userId_, "report.pdf", 20),  // another file, the same name
        server_->operatorFile(userId_, "README", 30),
        server_->operatorFile(userId_, "README", 40),
        server_->operatorFile(userId_, std::string(300, 'n') + ".txt", 50),
    };
    std::vector<std::shared_ptr<std::vector<DownloadState>>> states;
    for (const auto& url : urls) {
        states.push_back(follow(url));
        service_->startDownload(url);  // all at once
    }
    for (const auto& s : states) {
        ASSERT_TRUE(runUntilSettled(s));
        ASSERT_EQ(s->back().kind, Kind::done) << s->back().error;
    }
    const std::string longName = std::string(kMaxDownloadNameBytes - 4, 'n') + ".txt";
    EXPECT_EQ(filesIn(downloads_), (std::vector<std::string>{"README", "README_1", longName,
                                                             "report.pdf", "report_1.pdf"}));
    EXPECT_EQ(fs::file_size(states[1]->back().file), 20U);
    // Downloading one file again keeps the first copy and remembers the new one.
    service_->startDownload(urls[0]);
    ASSERT_TRUE(
        loop_.runUntil([&] { return states[0]->back().file.filename() == "report_2.pdf"; }, kWait));
}

TEST_F(DownloadServiceTest, InvalidUrlsAreErrorsThatNameTheText) {
    for (const std::string text : {"ftp://files.example/a.pdf", "report.pdf", "https://a b/c"}) {
        auto states = follow(text);
        service_->startDownload(text);
        EXPECT_EQ(states->back(), DownloadState::failed("Invalid file url: " + text));
    }
    EXPECT_TRUE(server_->requests().empty());
}

// A file the user sent is known as downloaded; removing forgets it, deleting
// it only when it lies in the downloads directory.
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
    auto downloaded = follow(fetched);
    service_->startDownload(fetched);
    ASSERT_TRUE(runUntilSettled(downloaded));
    service_->removeFile(fetched);
    EXPECT_EQ(downloaded->back(), DownloadState{});
    EXPECT_TRUE(filesIn(downloads_).empty());
    EXPECT_FALSE(store_->string(DownloadService::downloadKey(fetched)));
}

TEST(DownloadDirectory, IsTheHostsOrADownloadsFolderInTheCache) {
    setDownloadDirectory("/srv/app/downloads");
    EXPECT_EQ(downloadDirectory(), fs::path("/srv/app/downloads"));
    setDownloadDirectory({});
    EXPECT_EQ(downloadDirectory(), platform::defaultCacheDirectory() / "Downloads");
}

}  // namespace
}  // namespace vesk
