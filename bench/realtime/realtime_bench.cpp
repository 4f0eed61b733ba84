// Frames per second from the development server's socket to the library's
// repositories: the facade is set up against the in-process server (which
// starts the user's real-time socket), a chat popup opens a conversation, then
// the server publishes N operator replies in one go and the clock runs until
// the N-th has been merged into its conversation and counted as unread.
//
// Usage: vesk_realtime_bench [frames per round, default 100000] [rounds, default 5]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "app/library.hpp"
#include "tools/devserver/dev_server.hpp"
#include "usecases/conversation_use_cases.hpp"
#include "vesk/executor.hpp"
#include "vesk/host_events.hpp"
#include "vesk/vesk.hpp"

namespace {

using Clock = std::chrono::steady_clock;

class AlwaysReachable final : public vesk::ReachabilitySource {
  public:
    void start(std::function<void(bool)> report) override { report(true); }
};

int fail(const char* what) {
    std::fprintf(stderr, "realtime bench: %s\n", what);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t frames =
        argc > 1 ? static_cast<std::size_t>(std::max(1L, std::atol(argv[1]))) : 100000;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;

    std::string error;
    auto server = vesk::dev::DevServer::start({}, &error);
    if (!server) {
        std::fprintf(stderr, "development server: %s\n", error.c_str());
        return 1;
    }
    auto loop = std::make_shared<vesk::RunLoop>();
    vesk::LibraryOptions options;
    options.executor = loop;
    vesk::Configuration configuration;
    configuration.apiUrl = server->apiBaseUrl();
    configuration.wssUrl = server->realtimeBaseUrl();
    options.configuration = configuration;
    // Nothing outlives a run.
    options.stores = vesk::makeInMemoryKeyValueStoreFactory();
    options.standardStore = vesk::makeInMemoryKeyValueStore();
    options.reachability = std::make_shared<AlwaysReachable>();
    const auto library = vesk::Library::make(std::move(options));
    vesk::Vesk facade(library);

    bool ready = false;
    loop->post([&] {
        facade.setup(
            server->demoApiKey(), [&] { ready = true; },
            [](const std::string& e) { std::fprintf(stderr, "%s\n", e.c_str()); });
    });
    if (!loop->runUntil([&] { return ready; }, std::chrono::seconds(30))) {
        return fail("setup did not succeed");
    }
    const auto settings = library->sdkApp.networkSetting.value();
    const std::string userId = settings->userId;
    if (!loop->runUntil([&] { return server->realtimeSocketCount(userId) > 0; },
                        std::chrono::seconds(30))) {
        return fail("the real-time socket did not connect");
    }

    // What dispatch must reach: each reply merged, the unread count updated.
    std::size_t merged = 0;
    int unread = -1;
    auto& rts = library->rts;
    auto counted = rts.newMessage.asObservable().subscribe([&](const vesk::Message&) { ++merged; });
    auto unreadCount = (library->conversations.dialogs.dialogs.asObservable() |
                        vesk::getUreadDialogsCountUseCase())
                           .subscribe([&](int count) { unread = count; });

    const std::string conversation = server->sendPopupChat(userId, "Hello");
    if (conversation.empty() ||
        !loop->runUntil(
            [&] { return library->conversations.dialogs.find(conversation).has_value(); },
            std::chrono::seconds(30))) {
        return fail("the chat popup did not arrive");
    }

    std::vector<double> rates;
    for (int round = 0; round < rounds; ++round) {
        merged = 0;
        std::atomic<std::size_t> published{0};
        const auto start = Clock::now();
        // The server makes and sends its parts on its own thread, as a remote one would,
        // while this thread runs the library's loop.
        std::thread publisher(
            [&] { published = server->publishReplies(userId, conversation, frames); });
        const bool all =
            loop->runUntil([&] { return merged >= frames; }, std::chrono::seconds(120));
        publisher.join();
        if (published != frames) {
            return fail("the server did not publish every reply");
        }
        if (!all) {
            std::fprintf(stderr, "only %zu of %zu frames arrived\n", merged, frames);
            return 1;
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        rates.push_back(static_cast<double>(frames) / seconds);
        const auto* repo = library->conversations.messages.existing(conversation);
        std::printf(
            "round %d: %zu frames in %.3f s = %.0f frames/s (conversation holds %zu, unread %d)\n",
            round + 1, frames, seconds, rates.back(), repo ? repo->currentMessages().size() : 0U,
            unread);
        std::fflush(stdout);
    }
    std::sort(rates.begin(), rates.end());
    const double endToEnd = rates[rates.size() / 2];
    std::printf("median end to end (server makes each part): %.0f frames/s\n", endToEnd);

    // The library's share: the same envelopes, made before the clock starts, sent by the
    // server over the same socket as fast as it can write them.
    const auto appId = settings->appId;
    const std::string channel = "conversation_reply." + appId + "." + userId;
    std::vector<double> libraryRates;
    for (int round = 0; round < rounds; ++round) {
        std::vector<std::string> prepared;
        prepared.reserve(frames);
        for (std::size_t i = 0; i < frames; ++i) {
            const std::string id = "b" + std::to_string(round) + "-" + std::to_string(i);
            prepared.push_back(
                R"({"id":)" + std::to_string(i) + R"(,"channel":")" + channel +
                R"(","message":{"id":")" + id + R"(","random_id":0,"body":"Reply )" +
                std::to_string(i) +
                R"(","type":"reply_admin","created":1700000000,"direction":"a2u","read":false,)"
                R"("sent_via":"web","reply_type":"text","from":{"id":"1","type":"admin",)"
                R"("name":"Anna Petrova","avatar":"operator.png"},"conversation":")" +
                conversation + R"("},"tag":"bench","time":")" + std::to_string(i) + R"("})");
        }
        merged = 0;
        const auto start = Clock::now();
        std::thread sender([&] {
            for (const auto& frame : prepared) {
                server->pushRawFrame(userId, "conversation_reply", frame);
            }
        });
        const bool all =
            loop->runUntil([&] { return merged >= frames; }, std::chrono::seconds(120));
        sender.join();
        if (!all) {
            std::fprintf(stderr, "only %zu of %zu prepared frames arrived\n", merged, frames);
            return 1;
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        libraryRates.push_back(static_cast<double>(frames) / seconds);
        std::printf("prepared round %d: %zu frames in %.3f s = %.0f frames/s (unread %d)\n",
                    round + 1, frames, seconds, libraryRates.back(), unread);
        std::fflush(stdout);
    }
    std::sort(libraryRates.begin(), libraryRates.end());
    const double median = libraryRates[libraryRates.size() / 2];
    std::printf("median ingest of prepared frames: %.0f frames/s (target >= 50000)\n", median);
    std::fflush(stdout);
    counted.dispose();
    unreadCount.dispose();
    std::_Exit(median >= 50000 ? 0 : 3);
}
