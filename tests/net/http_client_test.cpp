#include "net/http_client.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sched.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "support/client_harness.hpp"
#include "support/queue_executor.hpp"
#include "support/raw_server.hpp"
#include "tests/support/temp_dir.hpp"
#include "tools/devserver/dev_server.hpp"

namespace vesk::net {
namespace {

using test::fetch;
using test::Outcome;
using test::RawServer;
using test::settle;
using test::track;
using ::testing::ElementsAre;
using ::testing::Pair;
using vesk::testing::TempDir;

std::string writeFile(const std::filesystem::path& path, std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    std::mt19937 random(seed);
    for (char& c : bytes) {
        c = static_cast<char>(random() & 0xFFU);
    }
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

class HttpClientTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        server_ = dev::DevServer::start({}, &error);
        ASSERT_TRUE(server_) << error;
    }

    [[nodiscard]] std::string url(const std::string& path) const {
        return server_->baseUrl() + path;
    }
    Expected<HttpReply> fetch(HttpRequest request) {
        return test::fetch(*client_, loop_, std::move(request));
    }
    std::shared_ptr<Outcome> track(HttpRequest request, RequestId* id = nullptr) {
        return test::track(*client_, loop_, std::move(request), id);
    }

    std::unique_ptr<dev::DevServer> server_;
    RunLoop loop_;
    std::unique_ptr<HttpClient> client_ = std::make_unique<HttpClient>(loop_);
};

TEST_F(HttpClientTest, GetCarriesTheOrderedQueryPercentEncoded) {
    auto reply = fetch(
        HttpRequest::get(url("_dev/echo"), {{"b", "2"}, {"a", "x y/\xC3\xA9"}, {"ids[]", "1"}}));
    ASSERT_TRUE(reply) << reply.error().description;
    EXPECT_EQ(reply->status, 200);
    const auto recorded = server_->requests();
    ASSERT_EQ(recorded.size(), 1U);
    EXPECT_EQ(recorded[0].method, "GET");
    EXPECT_EQ(recorded[0].path, "/_dev/echo");
    EXPECT_EQ(recorded[0].query, "b=2&a=x%20y%2F%C3%A9&ids%5B%5D=1");
    EXPECT_THAT(recorded[0].queryItems,
                ElementsAre(Pair("b", "2"), Pair("a", "x y/\xC3\xA9"), Pair("ids[]", "1")));
}

TEST_F(HttpClientTest, PostFormArrivesAsTheRecordedFieldsInOrder) {
    HttpRequest request =
        HttpRequest::post(url("v1/users/U/setpresence"),
                          FormBody{{{"presence", "online"}, {"note", "a&b=c +\xD0\xAF"}}},
                          {{"auth_token", "T"}, {"id_as_string", "1"}});
    auto reply = fetch(std::move(request));
    ASSERT_TRUE(reply) << reply.error().description;
    const auto recorded = server_->requests();
    ASSERT_EQ(recorded.size(), 1U);
    EXPECT_EQ(recorded[0].method, "POST");
    EXPECT_EQ(recorded[0].path, "/v1/users/U/setpresence");
    EXPECT_EQ(recorded[0].query, "auth_token=T&id_as_string=1");
    EXPECT_EQ(recorded[0].body, "presence=online&note=a%26b%3Dc%20%2B%D0%AF");
    EXPECT_THAT(recorded[0].formFields,
                ElementsAre(Pair("presence", "online"), Pair("note", "a&b=c +\xD0\xAF")));
}

TEST_F(HttpClientTest, RawBodyKeepsItsBytesAndContentType) {
    HttpRequest request = HttpRequest::post(
        url("_dev/echo"), RawBody{std::string("{\"a\":\0}", 7), "application/json"});
    request.headers = {{"X-Trace", "42"}};
    ASSERT_TRUE(fetch(std::move(request)));
    const auto recorded = server_->requests();
    ASSERT_EQ(recorded.size(), 1U);
    EXPECT_EQ(recorded[0].body, std::string("{\"a\":\0}", 7));
    bool sawType = false;
    bool sawTrace = false;
    for (const auto& [name, value] : recorded[0].headers) {
        sawType = sawType || (name == "Content-Type" && value == "application/json");
        sawTrace = sawTrace || (name == "X-Trace" && value == "42");
    }
    EXPECT_TRUE(sawType);
    EXPECT_TRUE(sawTrace);
}

class HttpMethods : public HttpClientTest, public ::testing::WithParamInterface<HttpMethod> {};

TEST_P(HttpMethods, ReachTheServerAsSent) {
    HttpRequest request = HttpRequest::get(url("_dev/echo"));
    request.method = GetParam();
    auto reply = fetch(std::move(request));
    ASSERT_TRUE(reply) << reply.error().description;
    const auto recorded = server_->requests();
    ASSERT_EQ(recorded.size(), 1U);
    EXPECT_EQ(recorded[0].method, methodName(GetParam()));
    if (GetParam() == HttpMethod::head) {
        EXPECT_TRUE(reply->body.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(All, HttpMethods,
                         ::testing::Values(HttpMethod::get, HttpMethod::post, HttpMethod::put,
                                           HttpMethod::patch, HttpMethod::del, HttpMethod::head),
                         [](const auto& p) { return std::string(methodName(p.param)); });

TEST_F(HttpClientTest, MultipartCarriesFieldsMemoryFilesAndDiskFilesIntact) {
    TempDir dir;
    const std::string disk = writeFile(dir.path() / "photo.bin", 300'000, 7);
    std::string memory(256, '\0');
    for (std::size_t i = 0; i < memory.size(); ++i) {
        memory[i] = static_cast<char>(i);
    }
    MultipartBody body{
        {MultipartPart::field("body", "Привет"),
         MultipartPart::data("blob", memory, "all-bytes.dat", "application/octet-stream"),
         MultipartPart::fromFile("attachment", dir.path() / "photo.bin", "фото 1.jpg",
                                 "image/jpeg")}};
    auto reply = fetch(HttpRequest::post(url("_dev/echo"), std::move(body)));
    ASSERT_TRUE(reply) << reply.error().description;
    const auto recorded = server_->requests();
    ASSERT_EQ(recorded.size(), 1U);
    const auto& r = recorded[0];
    ASSERT_NE(r.part("body"), nullptr);
    EXPECT_EQ(r.part("body")->body, "Привет");
    EXPECT_EQ(r.part("body")->filename, "");
    ASSERT_NE(r.part("blob"), nullptr);
    EXPECT_EQ(r.part("blob")->body, memory);
    EXPECT_EQ(r.part("blob")->filename, "all-bytes.dat");
    ASSERT_NE(r.part("attachment"), nullptr);
    EXPECT_EQ(r.part("attachment")->filename, "фото 1.jpg");
    EXPECT_EQ(r.part("attachment")->contentType, "image/jpeg");
    EXPECT_TRUE(r.part("attachment")->body == disk)
        << "file part differs; got " << r.part("attachment")->body.size() << " bytes";
}

TEST_F(HttpClientTest, LargeFileStreamsFromDiskIntact) {
    TempDir dir;
    const std::string disk = writeFile(dir.path() / "big.bin", 20U * 1000U * 1000U, 11);
    auto reply = fetch(HttpRequest::post(
        url("_dev/echo"),
        MultipartBody{{MultipartPart::fromFile("file", dir.path() / "big.bin", "big.bin", "")}}));
    ASSERT_TRUE(reply) << reply.error().description;
    const auto recorded = server_->requests();
    ASSERT_EQ(recorded.size(), 1U);
    ASSERT_NE(recorded[0].part("file"), nullptr);
    EXPECT_EQ(recorded[0].part("file")->body.size(), disk.size());
    EXPECT_TRUE(recorded[0].part("file")->body == disk);
}

TEST_F(HttpClientTest, SequentialRequestsReuseOneConnection) {
    for (int i = 0; i < 6; ++i) {
        HttpRequest request =
            i % 2 == 0 ? HttpRequest::get(url("_dev/echo"))
                       : HttpRequest::post(url("_dev/echo"), FormBody{{{"i", std::to_string(i)}}});
        auto reply = fetch(std::move(request));
        ASSERT_TRUE(reply) << reply.error().description;
    }
    EXPECT_EQ(client_->connectionsOpened(), 1U);
    const auto recorded = server_->requests();
    ASSERT_EQ(recorded.size(), 6U);
    for (const auto& r : recorded) {
        EXPECT_EQ(r.connectionId, recorded[0].connectionId);
    }
}

// With an hour-long idle poll, only the wake-ups get requests through in time;
// the first may be sent before the network thread has started polling.
TEST_F(HttpClientTest, TheNetworkThreadIsWokenForEveryRequest) {
    HttpClientOptions options;
    options.idleWait = std::chrono::hours(1);
    client_ = std::make_unique<HttpClient>(loop_, options);
    for (int i = 0; i < 3; ++i) {
        auto reply = fetch(HttpRequest::get(url("_dev/echo")));
        ASSERT_TRUE(reply) << reply.error().description;
    }
}

// The network thread gives way to the thread that wakes it instead of
// preempting it: one more thread of the process runs under that policy for
// each client, from before its first request goes out.
TEST_F(HttpClientTest, TheNetworkThreadGivesWayToItsWakers) {
    const auto givingWay = [] {
        int count = 0;
        for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
            const pid_t tid = std::stoi(task.path().filename().string());
            count += sched_getscheduler(tid) == SCHED_BATCH ? 1 : 0;
        }
        return count;
    };
    ASSERT_TRUE(fetch(HttpRequest::get(url("_dev/echo"))));
    const int before = givingWay();
    EXPECT_GE(before, 1);
    HttpClient second(loop_);
    ASSERT_TRUE(test::fetch(second, loop_, HttpRequest::get(url("_dev/echo"))));
    EXPECT_EQ(givingWay(), before + 1);
}

// Handles are recycled with only the last request's options undone: nothing
// of one request (method, body, headers, mime tree) may leak into the next.
TEST_F(HttpClientTest, ARecycledHandleCarriesNothingOfItsLastRequest) {
    auto with = [](HttpRequest request, HttpMethod method, Parameters headers = {}) {
        request.method = method;
        request.headers = std::move(headers);
        return request;
    };
    const std::vector<HttpRequest> requests{
        HttpRequest::post(url("_dev/echo"), MultipartBody{{MultipartPart::field("p", "1")}}),
        with(HttpRequest::get(url("_dev/echo")), HttpMethod::head),
        with(HttpRequest::post(url("_dev/echo"), FormBody{{{"f", "2"}}}), HttpMethod::put),
        HttpRequest::get(url("_dev/echo"), {{"q", "3"}}),
        with(HttpRequest::post(url("_dev/echo"), RawBody{"{}", "application/json"}),
             HttpMethod::post, {{"X-Trace", "4"}}),
        with(HttpRequest::get(url("_dev/echo")), HttpMethod::del),
        HttpRequest::get(url("_dev/echo")),
        HttpRequest::post(url("_dev/echo")),
    };
    for (const auto& request : requests) {
        auto reply = fetch(request);
        ASSERT_TRUE(reply) << reply.error().description;
        EXPECT_EQ(reply->status, 200);
    }
    const auto recorded = server_->requests();
    ASSERT_EQ(recorded.size(), requests.size());
    const auto header = [&](std::size_t i, std::string_view name) -> std::string {
        for (const auto& [key, value] : recorded[i].headers) {
            if (key == name) {
                return value;
            }
        }
        return "-";
    };
    const std::vector<std::string> methods{"POST", "HEAD",   "PUT", "GET",
                                           "POST", "DELETE", "GET", "POST"};
    for (std::size_t i = 0; i < requests.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(recorded[i].method, methods[i]);
        EXPECT_EQ(header(i, "X-Trace"), i == 4 ? "4" : "-");
    }
    ASSERT_NE(recorded[0].part("p"), nullptr);
    EXPECT_EQ(recorded[2].body, "f=2");
    EXPECT_EQ(recorded[3].query, "q=3");
    EXPECT_EQ(recorded[4].body, "{}");
    EXPECT_EQ(header(4, "Content-Type"), "application/json");
    for (const std::size_t i : {1U, 3U, 5U, 6U}) {
        EXPECT_EQ(recorded[i].body, "") << i;
        EXPECT_EQ(header(i, "Content-Type"), "-") << i;
    }
    EXPECT_EQ(recorded[7].body, "");
    EXPECT_EQ(header(7, "Content-Length"), "0");
}

TEST_F(HttpClientTest, ErrorStatusesAreRepliesWithTheirHeadersAndBody) {
    dev::Fault fault;
    fault.pathPrefix = "/v1/broken";
    fault.action = dev::Fault::Action::reply;
    fault.status = 503;
    fault.body = R"({"meta":{"status":503}})";
    server_->addFault(fault);
    auto reply = fetch(HttpRequest::get(url("v1/broken")));
    ASSERT_TRUE(reply) << reply.error().description;
    EXPECT_EQ(reply->status, 503);
    EXPECT_EQ(reply->body, fault.body);
    EXPECT_EQ(reply->header("CONTENT-type"), "application/json");
    EXPECT_EQ(reply->effectiveUrl, url("v1/broken"));
}

struct FaultCase {
    const char* name;
    dev::Fault::Action action;
    const char* path;
    Error::Kind expected;
};

class HttpFaults : public HttpClientTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(HttpFaults, EndInAnErrorNeverAHang) {
    dev::Fault fault;
    fault.pathPrefix = std::string("/") + GetParam().path;
    fault.action = GetParam().action;
    server_->addFault(fault);
    HttpRequest request = HttpRequest::get(url(std::string(GetParam().path) + "?size=100000"));
    request.totalTimeout = std::chrono::milliseconds(500);
    auto reply = fetch(std::move(request));
    ASSERT_FALSE(reply) << "status " << reply->status;
    EXPECT_EQ(reply.error().kind, GetParam().expected) << reply.error().description;
    EXPECT_FALSE(reply.error().description.empty());
}

INSTANTIATE_TEST_SUITE_P(Faults, HttpFaults,
                         ::testing::Values(FaultCase{"Drop", dev::Fault::Action::drop, "v1/drop",
                                                     Error::Kind::transport},
                                           FaultCase{"Truncate", dev::Fault::Action::truncate,
                                                     "_dev/blob", Error::Kind::transport},
                                           FaultCase{"Hang", dev::Fault::Action::hang, "v1/hang",
                                                     Error::Kind::timeout}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(HttpClientTest, ClosedPortIsATransportError) {
    std::uint16_t port = 0;
    {
        RawServer closed(std::nullopt);
        port = closed.port();
    }
    auto reply = fetch(HttpRequest::get("http://127.0.0.1:" + std::to_string(port) + "/"));
    ASSERT_FALSE(reply);
    EXPECT_EQ(reply.error().kind, Error::Kind::transport) << reply.error().description;
}

TEST_F(HttpClientTest, PeerThatNeverStartsTlsHitsTheConnectTimeout) {
    RawServer silent(std::nullopt);
    HttpRequest request = HttpRequest::get(silent.url("https"));
    request.connectTimeout = std::chrono::milliseconds(300);
    auto reply = fetch(std::move(request));
    ASSERT_FALSE(reply);
    EXPECT_EQ(reply.error().kind, Error::Kind::timeout) << reply.error().description;
    EXPECT_EQ(silent.connectionsAccepted(), 1);
}

TEST_F(HttpClientTest, ReplyAtTheCapIsKept) {
    HttpRequest request = HttpRequest::get(url("_dev/blob"), {{"size", "4096"}});
    request.maxReplyBytes = 4096;
    auto reply = fetch(std::move(request));
    ASSERT_TRUE(reply) << reply.error().description;
    EXPECT_EQ(reply->body.size(), 4096U);
}

TEST_F(HttpClientTest, DeclaredLengthOverTheCapIsATransportError) {
    HttpRequest request = HttpRequest::get(url("_dev/blob"), {{"size", "4097"}});
    request.maxReplyBytes = 4096;
    auto reply = fetch(std::move(request));
    ASSERT_FALSE(reply);
    EXPECT_EQ(reply.error().kind, Error::Kind::transport);
    EXPECT_EQ(reply.error().description, "The reply is larger than 4096 bytes");
}

TEST(HttpClientRawPeer, UndeclaredLengthOverTheCapStopsReadingWithATransportError) {
    RawServer peer("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + std::string(1U << 20U, 'x'));
    RunLoop loop;
    HttpClient client(loop);
    HttpRequest request = HttpRequest::get(peer.url());
    request.maxReplyBytes = 1000;
    auto reply = fetch(client, loop, std::move(request));
    ASSERT_FALSE(reply);
    EXPECT_EQ(reply.error().kind, Error::Kind::transport);
    EXPECT_EQ(reply.error().description, "The reply is larger than 1000 bytes");
}

TEST(HttpClientRawPeer, EndlessHeadersAreATransportError) {
    std::string head = "HTTP/1.1 200 OK\r\n";
    while (head.size() < (1U << 20U)) {
        head += "X-Filler: " + std::string(1000, 'y') + "\r\n";
    }
    RawServer peer(head);
    RunLoop loop;
    HttpClient client(loop);
    auto reply = fetch(client, loop, HttpRequest::get(peer.url()));
    ASSERT_FALSE(reply);
    EXPECT_EQ(reply.error().kind, Error::Kind::transport) << reply.error().description;
}

TEST_F(HttpClientTest, CancelInFlightCallsBackOnceWithCancelled) {
    dev::Fault hang;
    hang.pathPrefix = "/v1/hang";
    hang.action = dev::Fault::Action::hang;
    server_->addFault(hang);
    RequestId id;
    auto outcome = track(HttpRequest::get(url("v1/hang")), &id);
    ASSERT_TRUE(test::waitFor([&] { return !server_->requests().empty(); }));
    client_->cancel(id);
    client_->cancel(id);
    ASSERT_TRUE(settle(loop_, {outcome}));
    EXPECT_EQ(outcome->calls, 1);
    EXPECT_TRUE(outcome->onLoop);
    EXPECT_TRUE(outcome->isError(Error::Kind::cancelled));
}

TEST_F(HttpClientTest, CancelWinsOverAReplyNotYetDelivered) {
    test::QueueExecutor executor;
    HttpClient client(executor);
    int calls = 0;
    std::optional<Expected<HttpReply>> result;
    const RequestId id =
        client.send(HttpRequest::get(url("_dev/echo")), [&](Expected<HttpReply> r) {
            ++calls;
            EXPECT_TRUE(executor.isCurrent());
            result.emplace(std::move(r));
        });
    // The reply is in and its delivery queued, but the callback has not run.
    ASSERT_TRUE(test::waitFor([&] { return executor.queued() == 1; }));
    client.cancel(id);
    executor.runAll();
    EXPECT_EQ(calls, 1);
    ASSERT_TRUE(result.has_value());
    ASSERT_FALSE(result->hasValue());
    EXPECT_EQ(result->error().kind, Error::Kind::cancelled);
}

TEST_F(HttpClientTest, CancelAfterCompletionOrOfUnknownIdsChangesNothing) {
    RequestId id;
    auto outcome = track(HttpRequest::get(url("_dev/echo")), &id);
    ASSERT_TRUE(settle(loop_, {outcome}));
    client_->cancel(id);
    client_->cancel(RequestId{});
    client_->cancel(RequestId{id.value + 100});
    loop_.runPending();
    EXPECT_EQ(outcome->calls, 1);
    ASSERT_TRUE(outcome->result && outcome->result->hasValue());
    EXPECT_EQ((*outcome->result)->status, 200);
}

TEST_F(HttpClientTest, DestroyingTheClientCancelsEveryRequestInFlightOnce) {
    dev::Fault hang;
    hang.pathPrefix = "/v1/hang";
    hang.action = dev::Fault::Action::hang;
    hang.count = -1;
    server_->addFault(hang);
    std::vector<std::shared_ptr<Outcome>> outcomes;
    for (int i = 0; i < 4; ++i) {
        outcomes.push_back(track(HttpRequest::get(url("v1/hang"))));
    }
    ASSERT_TRUE(test::waitFor([&] { return server_->requests().size() == 4; }));
    // One more that the network thread may not even have picked up yet.
    outcomes.push_back(track(HttpRequest::get(url("v1/hang"))));
    client_.reset();
    ASSERT_TRUE(settle(loop_, outcomes));
    for (const auto& outcome : outcomes) {
        EXPECT_EQ(outcome->calls, 1);
        EXPECT_TRUE(outcome->onLoop);
        EXPECT_TRUE(outcome->isError(Error::Kind::cancelled));
    }
}

TEST_F(HttpClientTest, ConcurrentRequestsWithCancelsEachCompleteOnce) {
    std::vector<std::shared_ptr<Outcome>> outcomes;
    std::vector<bool> cancelled;
    for (int i = 0; i < 40; ++i) {
        RequestId id;
        outcomes.push_back(
            track(HttpRequest::post(url("_dev/echo"), FormBody{{{"i", std::to_string(i)}}}), &id));
        cancelled.push_back(i % 4 == 0);
        if (cancelled.back()) {
            client_->cancel(id);
        }
    }
    ASSERT_TRUE(settle(loop_, outcomes));
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        EXPECT_EQ(outcomes[i]->calls, 1) << i;
        EXPECT_TRUE(outcomes[i]->onLoop) << i;
        if (cancelled[i]) {
            EXPECT_TRUE(outcomes[i]->isError(Error::Kind::cancelled)) << i;
        } else {
            ASSERT_TRUE(outcomes[i]->result && outcomes[i]->result->hasValue()) << i;
            EXPECT_EQ((*outcomes[i]->result)->status, 200) << i;
        }
    }
}

struct UnsendableCase {
    const char* name;
    HttpRequest (*make)(const std::string& base);
};

class UnsendableRequests : public HttpClientTest,
                           public ::testing::WithParamInterface<UnsendableCase> {};

TEST_P(UnsendableRequests, FailOnceWithATransportErrorAndSendNothing) {
    auto reply = fetch(GetParam().make(server_->baseUrl()));
    ASSERT_FALSE(reply);
    EXPECT_EQ(reply.error().kind, Error::Kind::transport) << reply.error().description;
    EXPECT_TRUE(server_->requests().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UnsendableRequests,
    ::testing::Values(
        UnsendableCase{"MissingFile",
                       [](const std::string& base) {
                           return HttpRequest::post(
                               base + "_dev/echo",
                               MultipartBody{{MultipartPart::fromFile(
                                   "f", "/nonexistent/vesk/file.bin", "f.bin", "")}});
                       }},
        UnsendableCase{"HeaderWithLineBreak",
                       [](const std::string& base) {
                           HttpRequest r = HttpRequest::get(base + "_dev/echo");
                           r.headers = {{"X-A", "1\r\nX-Injected: 2"}};
                           return r;
                       }},
        UnsendableCase{"FileScheme",
                       [](const std::string&) { return HttpRequest::get("file:///etc/hostname"); }},
        UnsendableCase{"MalformedUrl",
                       [](const std::string&) { return HttpRequest::get("http://[::1"); }}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace vesk::net
