// What the library keeps and what it loses over a long run. The development
// server runs in a child process (forked before any thread starts), so the
// resident memory read here is the library's alone; the bench drives the
// server through its control API over loopback.
//
// Phases, each beside its baseline in the same run:
//   idle                the same waits with no calls: the noise floor of the figures below
//   trackEvent          N calls, each answered, then resident growth
//   setUserProperty     N/5 calls
//   flood off screen    R operator replies to a conversation that is not on screen
//   flood on screen     R/5 replies to the open conversation (kept in full)
//   drop cycles         C times: the socket dropped by the server, 3 replies sent while
//                       it is down; every reply must arrive exactly once
//
// Usage: vesk_soak_bench [calls, default 10000] [replies, default 100000] [cycles, default 200]
#include <curl/curl.h>
#include <malloc.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <string>

#include "app/library.hpp"
#include "app/vesk_impl.hpp"
#include "tests/support/virtual_scheduler.hpp"
#include "tools/devserver/dev_server.hpp"
#include "vesk/chat.hpp"
#include "vesk/executor.hpp"
#include "vesk/host_events.hpp"
#include "vesk/vesk.hpp"

namespace {

using namespace std::chrono_literals;

class AlwaysReachable final : public vesk::ReachabilitySource {
  public:
    void start(std::function<void(bool)> report) override { report(true); }
};

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "soak bench: %s\n", what.c_str());
    std::_Exit(1);
}

// Resident memory after returning what the allocator holds free.
double residentMb() {
    malloc_trim(0);
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::atof(line.c_str() + 6) / 1024.0;
        }
    }
    return 0;
}

// The server's process: serves until its parent closes the pipe.
[[noreturn]] void serve(int portPipe, int stopPipe) {
    std::string error;
    auto server = vesk::dev::DevServer::start({}, &error);
    if (!server) {
        std::fprintf(stderr, "development server: %s\n", error.c_str());
        std::_Exit(1);
    }
    const std::string port = std::to_string(server->port()) + "\n";
    if (write(portPipe, port.data(), port.size()) < 0) {
        std::_Exit(1);
    }
    char byte = 0;
    while (read(stopPipe, &byte, 1) > 0) {
    }
    server.reset();
    std::_Exit(0);
}

size_t collect(char* data, size_t size, size_t count, void* out) {
    static_cast<std::string*>(out)->append(data, size * count);
    return size * count;
}

// A control call on the server (a GET without a body); its reply body.
std::string control(const std::string& base, const std::string& path,
                    const std::string& json = {}) {
    CURL* curl = curl_easy_init();
    std::string reply;
    curl_slist* headers = curl_slist_append(nullptr, "Content-Type: application/json");
    const std::string url = base + path;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    if (!json.empty()) {
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, json.c_str());
    }
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply);
    const CURLcode code = curl_easy_perform(curl);
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    if (code != CURLE_OK) {
        fail(path + ": " + curl_easy_strerror(code));
    }
    return reply;
}

void row(const char* phase, std::size_t count, double before, double after) {
    const double growth = after - before;
    std::printf("%-18s %8zu  %8.1f MB -> %8.1f MB  growth %+7.2f MB  %+8.1f bytes each\n", phase,
                count, before, after, growth,
                count ? growth * 1024 * 1024 / static_cast<double>(count) : 0.0);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const auto number = [&](int index, std::size_t fallback) {
        return argc > index ? static_cast<std::size_t>(std::max(1L, std::atol(argv[index])))
                            : fallback;
    };
    const std::size_t calls = number(1, 10000);
    const std::size_t replies = number(2, 100000);
    const int cycles = argc > 3 ? std::max(0, std::atoi(argv[3])) : 200;

    int portPipe[2];
    int stopPipe[2];
    if (pipe(portPipe) != 0 || pipe(stopPipe) != 0) {
        fail("pipe");
    }
    const pid_t child = fork();
    if (child == 0) {
        close(portPipe[0]);
        close(stopPipe[1]);
        serve(portPipe[1], stopPipe[0]);
    }
    close(portPipe[1]);
    close(stopPipe[0]);
    char portText[16] = {};
    if (read(portPipe[0], portText, sizeof portText - 1) <= 0) {
        fail("the development server did not start");
    }
    const std::string base = "http://127.0.0.1:" + std::to_string(std::atoi(portText)) + "/";
    curl_global_init(CURL_GLOBAL_DEFAULT);

    auto loop = std::make_shared<vesk::RunLoop>();
    vesk::LibraryOptions options;
    options.executor = loop;
    // Timers wait for the bench: a drop cycle need not sit out the reconnect backoff.
    auto timers = std::make_shared<vesk::VirtualScheduler>();
    options.scheduler = timers;
    vesk::Configuration configuration;
    configuration.apiUrl = base + "v1/";
    configuration.wssUrl = "ws://127.0.0.1:" + std::to_string(std::atoi(portText)) + "/";
    options.configuration = configuration;
    options.stores = vesk::makeInMemoryKeyValueStoreFactory();
    options.standardStore = vesk::makeInMemoryKeyValueStore();
    options.reachability = std::make_shared<AlwaysReachable>();
    const auto library = vesk::Library::make(std::move(options));
    vesk::Vesk facade(library);

    bool ready = false;
    loop->post([&] {
        facade.setup(
            "demo-api-key", [&] { ready = true; },
            [](const std::string& e) { fail("setup: " + e); });
    });
    if (!loop->runUntil([&] { return ready; }, 30s)) {
        fail("setup did not succeed");
    }
    const std::string userId = library->sdkApp.networkSetting.value()->userId;
    const auto connected = [&] {
        const auto stats = vesk::JsonValue::parse(control(base, "_dev/realtime"));
        const auto* object = stats ? stats->object() : nullptr;
        const auto* sockets = object ? object->find("sockets") : nullptr;
        return sockets && *sockets && (*sockets)->integer() && *(*sockets)->integer() > 0;
    };
    if (!loop->runUntil(connected, 30s)) {
        fail("the real-time socket did not connect");
    }
    const auto settle = [&] {
        const auto idle = [&] {
            return library->requests.size() == 0 && library->facade->requests.size() == 0;
        };
        if (!loop->runUntil(idle, 60s)) {
            fail("requests did not finish");
        }
    };
    // Calls in batches, each answered before the next, as a busy host would make them.
    const auto batches = [&](std::size_t count, const std::function<void(std::size_t)>& call) {
        for (std::size_t done = 0; done < count;) {
            const std::size_t batch = std::min<std::size_t>(200, count - done);
            loop->post([&, done, batch] {
                for (std::size_t i = 0; i < batch; ++i) {
                    call(done + i);
                }
            });
            loop->runPending();
            settle();
            done += batch;
        }
    };

    batches(500, [&](std::size_t i) { facade.trackEvent("warm-up", std::to_string(i)); });
    double before = residentMb();
    batches(calls, [&](std::size_t) {});
    double after = residentMb();
    row("idle", calls, before, after);

    before = after;
    batches(calls, [&](std::size_t i) {
        facade.trackEvent("viewed_item", R"({"item":)" + std::to_string(i) + "}");
    });
    after = residentMb();
    row("trackEvent", calls, before, after);

    before = after;
    batches(calls / 5, [&](std::size_t i) {
        facade.setUserProperty({vesk::UserProperty(
            "plan", "gold-" + std::to_string(i), vesk::UserProperty::Operations::updateOrCreate)});
    });
    after = residentMb();
    row("setUserProperty", calls / 5, before, after);

    // The replies land in the user's newest conversation, made by the first call.
    std::size_t merged = 0;
    std::map<std::string, int> seen;
    std::set<std::string> bodies;
    bool counting = false;
    std::string conversation;
    auto arrivals = library->rts.newMessage.asObservable().subscribe([&](const vesk::Message& m) {
        ++merged;
        conversation = m.conversation.value_or("");
        if (counting) {
            ++seen[m.id];
            bodies.insert(m.body);
        }
    });
    control(base, "_dev/operator/reply", R"({"user_id":")" + userId + R"(","text":"Hello"})");
    if (!loop->runUntil([&] { return merged == 1; }, 30s)) {
        fail("the first reply did not arrive");
    }
    // Listed, so its unread count can be checked.
    bool listed = false;
    facade.chat().loadNextConversations([&](bool) { listed = true; },
                                        [](const std::string& e) { fail("conversations: " + e); });
    if (!loop->runUntil([&] { return listed; }, 30s)) {
        fail("the conversations did not load");
    }
    const auto unread = [&] {
        const auto dialog = library->conversations.dialogs.find(conversation);
        return dialog ? dialog->userUnreadCount : -1;
    };
    const auto held = [&] {
        const auto* repo = library->conversations.messages.existing(conversation);
        return repo ? repo->currentMessages().size() : 0U;
    };
    const auto flood = [&](std::size_t count) {
        const std::size_t target = merged + count;
        control(base, "_dev/operator/flood",
                R"({"conversation_id":")" + conversation + R"(","count":)" + std::to_string(count) +
                    "}");
        if (!loop->runUntil([&] { return merged >= target; }, 300s)) {
            fail("only " + std::to_string(merged) + " of " + std::to_string(target) + " arrived");
        }
    };

    before = residentMb();
    const int unreadBefore = unread();
    flood(replies);
    after = residentMb();
    row("flood off screen", replies, before, after);
    std::printf("  unread %d (+%d), conversation holds %zu\n", unread(), unread() - unreadBefore,
                held());

    // On screen: what the chat shows is kept whole, and every reply is marked read.
    library->conversations.currentState.dialogId.onNext(conversation);
    before = residentMb();
    flood(replies / 5);
    settle();
    after = residentMb();
    row("flood on screen", replies / 5, before, after);
    std::printf("  conversation holds %zu\n", held());

    // Drops: the server closes the socket with no close frame and replies at once, while
    // the library is still away; the channel must come back by itself and miss nothing.
    counting = true;
    const auto start = std::chrono::steady_clock::now();
    for (int cycle = 0; cycle < cycles; ++cycle) {
        control(base, "_dev/realtime/drop", R"({"user_id":")" + userId + R"("})");
        const std::size_t target = merged + 3;
        for (int i = 0; i < 3; ++i) {
            control(base, "_dev/operator/reply",
                    R"({"conversation_id":")" + conversation + R"(","text":"While away )" +
                        std::to_string(cycle) + "." + std::to_string(i) + R"("})");
        }
        // The longest backoff at a time, until the channel is back and the replies are in.
        for (int wait = 0; merged < target; ++wait) {
            if (wait == 100) {
                fail("cycle " + std::to_string(cycle) + ": replies sent while away never arrived");
            }
            if (!loop->runUntil([&] { return merged >= target; }, 100ms)) {
                timers->advance(31s);
            }
        }
    }
    // Anything late or repeated comes within a last reconnect's catch-up.
    timers->advance(31s);
    (void)loop->runUntil([] { return false; }, 2s);
    const auto twice = std::count_if(seen.begin(), seen.end(),
                                     [](const auto& entry) { return entry.second != 1; });
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("drop cycles        %8d  replies %zu (expected %d), repeated %ld, %.1f s\n", cycles,
                seen.size(), cycles * 3, static_cast<long>(twice), seconds);
    for (int cycle = 0; cycle < cycles; ++cycle) {
        for (int i = 0; i < 3; ++i) {
            const std::string text =
                "While away " + std::to_string(cycle) + "." + std::to_string(i);
            if (!bodies.contains(text)) {
                std::printf("  missing: %s\n", text.c_str());
            }
        }
    }
    std::fflush(stdout);

    arrivals.dispose();
    if (close(stopPipe[1]) != 0 || waitpid(child, nullptr, 0) != child) {
        kill(child, SIGKILL);
    }
    const bool exact = seen.size() == static_cast<std::size_t>(cycles) * 3 && twice == 0;
    std::_Exit(exact ? 0 : 3);
}
