// Median time from Vesk::setup to its success handler against the in-process
// development server, and the median of the same connect request (the form
// fields and query a setup sent, as the server recorded them after the setups'
// warm-up) made with a bare libcurl easy handle in the same run,
// through a network thread and back (the floor of the library's threading), and
// through the library's HTTP client alone.
// Every clock stops where the caller gets the outcome: in the success handler,
// in the callback, or when curl_easy_perform returns. What the library tears
// down after the handler returns shows only in the main thread's CPU time per
// setup, also reported. Rounds alternate so outside load
// hits every side alike, and every sample of every side starts after the same
// idle pause: a core that has just idled wakes slower, and without the pause the
// back-to-back bare requests would run on warm cores while each setup follows
// the settling of the previous one's socket.
//
// Usage: vesk_session_bench [setups per side, default 400] [rounds, default 4]
#include <curl/curl.h>
#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/library.hpp"
#include "app/reachability_service.hpp"
#include "app/vesk_impl.hpp"
#include "net/http_client.hpp"
#include "net/url_encoding.hpp"
#include "tests/support/virtual_scheduler.hpp"
#include "tools/devserver/dev_server.hpp"
#include "vesk/executor.hpp"
#include "vesk/vesk.hpp"

namespace {

using Clock = std::chrono::steady_clock;
using Micros = std::chrono::duration<double, std::micro>;

double median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples.empty() ? 0 : samples[samples.size() / 2];
}

double p90(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples.empty() ? 0 : samples[samples.size() * 9 / 10];
}

// Outside every clock: handles what is queued, then leaves the main thread idle.
constexpr auto kPause = std::chrono::milliseconds(1);

void pause(vesk::RunLoop& loop) {
    loop.runUntil([] { return false; }, kPause);
}

// One sample after the pause: from `begin` handing over its report until the
// report is called on the main run loop; true for an HTTP 200.
template <class Begin>
bool timeOne(vesk::RunLoop& loop, std::vector<double>& samples, Begin begin) {
    bool done = false;
    long status = 0;
    Clock::time_point end;
    pause(loop);
    const auto start = Clock::now();
    begin([&](long s) {
        end = Clock::now();
        status = s;
        done = true;
    });
    loop.runUntil([&] { return done; }, std::chrono::seconds(30));
    samples.push_back(Micros(end - start).count());
    return status == 200;
}

double threadCpuMicros() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
}

class AlwaysReachable final : public vesk::ReachabilitySource {
  public:
    void start(std::function<void(bool)> report) override { report(true); }
};

class Facade {
  public:
    Facade(std::shared_ptr<vesk::RunLoop> loop, std::string key, vesk::dev::DevServer& server)
        : loop_(std::move(loop)), key_(std::move(key)), server_(server) {
        vesk::LibraryOptions options;
        options.executor = loop_;
        options.scheduler = scheduler_;
        vesk::Configuration configuration;
        configuration.apiUrl = server_.apiBaseUrl();
        // Every setup starts the user's real-time socket, as it does for a host.
        configuration.wssUrl = server_.realtimeBaseUrl();
        options.configuration = configuration;
        options.standardStore = vesk::makeInMemoryKeyValueStore();
        options.stores = vesk::makeInMemoryKeyValueStoreFactory();
        options.reachability = std::make_shared<AlwaysReachable>();
        library_ = vesk::Library::make(std::move(options));
        vesk_ = std::make_unique<vesk::Vesk>(library_);
    }

    bool run(int count, std::vector<double>& samples) {
        auto& vesk = *vesk_;
        for (int i = 0; i < count; ++i) {
            // The stored user forgotten each time. The connect carries the token
            // the instance already holds, so the server answers with the same
            // user, and each setup saves it into the empty store.
            library_->facade->userRepository.clearUser();
            // As a fresh facade would have: no heartbeat of an earlier setup still held.
            library_->facade->disposeBag.dispose();
            pause(*loop_);
            bool done = false;
            bool ok = false;
            Clock::time_point end;
            const auto start = Clock::now();
            const double cpuStart = threadCpuMicros();
            vesk.setup(
                key_,
                [&] {
                    end = Clock::now();
                    ok = done = true;
                },
                [&](const std::string&) { done = true; });
            loop_->runUntil([&] { return done; }, std::chrono::seconds(30));
            samples.push_back(Micros(end - start).count());
            // The whole of the main thread's work, the request's teardown after
            // the handler included.
            mainCpu.push_back(threadCpuMicros() - cpuStart);
            if (!ok) {
                return false;
            }
            // Each setup restarts the real-time socket; it opens outside the clock,
            // and the next pause takes the client's side of it, so one setup is
            // timed, not the tail of the previous one.
            const auto user = library_->sdkApp.networkSetting.value()->userId;
            loop_->runUntil([&] { return server_.realtimeSocketCount(user) == 1; },
                            std::chrono::seconds(30));
        }
        return true;
    }

    // Main-thread CPU time per setup.
    std::vector<double> mainCpu;

  private:
    std::shared_ptr<vesk::RunLoop> loop_;
    std::string key_;
    vesk::dev::DevServer& server_;
    std::shared_ptr<vesk::VirtualScheduler> scheduler_ = std::make_shared<vesk::VirtualScheduler>();
    std::shared_ptr<vesk::Library> library_;
    std::unique_ptr<vesk::Vesk> vesk_;
};

// The connect request the last setup sent, as the server recorded it: its
// form fields and query, the token the process holds included. A connect
// without a token would have the server make a new user for each baseline
// request, work the setups' connects never cause.
vesk::net::HttpRequest lastConnect(const vesk::dev::DevServer& server) {
    const auto recorded = server.requests();
    const auto it = std::find_if(recorded.rbegin(), recorded.rend(), [](const auto& r) {
        return r.method == "POST" && r.path == "/v1/connect";
    });
    if (it == recorded.rend()) {
        return {};
    }
    return vesk::net::HttpRequest::post(server.apiBaseUrl() + "connect",
                                        vesk::net::FormBody{it->formFields}, it->queryItems);
}

class BareCurl {
  public:
    explicit BareCurl(const vesk::net::HttpRequest& request) : easy_(curl_easy_init()) {
        url_ = request.fullUrl();
        body_ = vesk::net::encodeForm(std::get<vesk::net::FormBody>(request.body).fields);
        curl_easy_setopt(easy_, CURLOPT_URL, url_.c_str());
        curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(easy_, CURLOPT_POSTFIELDS, body_.c_str());
        curl_easy_setopt(easy_, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body_.size()));
        curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &BareCurl::onBody);
        curl_easy_setopt(easy_, CURLOPT_WRITEDATA, &reply_);
    }
    ~BareCurl() { curl_easy_cleanup(easy_); }
    CURL* easy() const { return easy_; }
    void clearReply() { reply_.clear(); }
    BareCurl(const BareCurl&) = delete;
    BareCurl& operator=(const BareCurl&) = delete;

    bool run(vesk::RunLoop& loop, int count, std::vector<double>& samples) {
        for (int i = 0; i < count; ++i) {
            reply_.clear();
            pause(loop);
            const auto start = Clock::now();
            const CURLcode code = curl_easy_perform(easy_);
            long status = 0;
            curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &status);
            samples.push_back(Micros(Clock::now() - start).count());
            if (code != CURLE_OK || status != 200) {
                return false;
            }
        }
        return true;
    }

  private:
    static std::size_t onBody(char* data, std::size_t size, std::size_t count, void* out) {
        static_cast<std::string*>(out)->append(data, size * count);
        return size * count;
    }

    std::string url_;
    std::string body_;
    std::string reply_;
    CURL* easy_;
};

// The floor of the library's threading: the same prepared easy handle driven by
// a curl multi on a network thread, woken by the main thread and posting its
// completion back to the main run loop. Two thread hand-offs, no other work;
// the thread gives way to its wakers, as the library's network thread does.
class HandoffCurl {
  public:
    HandoffCurl(std::shared_ptr<vesk::RunLoop> loop, const vesk::net::HttpRequest& request)
        : loop_(std::move(loop)), bare_(request), multi_(curl_multi_init()) {
        thread_ = std::thread([this] { serve(); });
    }
    ~HandoffCurl() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        curl_multi_wakeup(multi_);
        thread_.join();
        curl_multi_cleanup(multi_);
    }
    HandoffCurl(const HandoffCurl&) = delete;
    HandoffCurl& operator=(const HandoffCurl&) = delete;

    bool run(int count, std::vector<double>& samples) {
        for (int i = 0; i < count; ++i) {
            const bool ok = timeOne(*loop_, samples, [this](std::function<void(long)> report) {
                {
                    std::lock_guard lock(mutex_);
                    onDone_ = std::move(report);
                }
                curl_multi_wakeup(multi_);
            });
            if (!ok) {
                return false;
            }
        }
        return true;
    }

  private:
    void serve() {
        sched_param param{};
        pthread_setschedparam(pthread_self(), SCHED_BATCH, &param);
        for (;;) {
            std::function<void(long)> onDone;
            {
                std::lock_guard lock(mutex_);
                if (stop_) {
                    return;
                }
                onDone = std::exchange(onDone_, nullptr);
            }
            if (onDone) {
                bare_.clearReply();
                curl_multi_add_handle(multi_, bare_.easy());
                int running = 1;
                while (running > 0) {
                    curl_multi_perform(multi_, &running);
                    if (running > 0) {
                        curl_multi_poll(multi_, nullptr, 0, 1000, nullptr);
                    }
                }
                long status = 0;
                curl_easy_getinfo(bare_.easy(), CURLINFO_RESPONSE_CODE, &status);
                curl_multi_remove_handle(multi_, bare_.easy());
                loop_->post([onDone = std::move(onDone), status] { onDone(status); });
                continue;
            }
            curl_multi_poll(multi_, nullptr, 0, 1000, nullptr);
        }
    }

    std::shared_ptr<vesk::RunLoop> loop_;
    BareCurl bare_;
    CURLM* multi_;
    std::mutex mutex_;
    std::function<void(long)> onDone_;
    bool stop_ = false;
    std::thread thread_;
};

// The library's HTTP client alone: its network thread, easy handle set-up and
// delivery on the main run loop, without the setup around it.
class LibraryClient {
  public:
    LibraryClient(std::shared_ptr<vesk::RunLoop> loop, vesk::net::HttpRequest request)
        : loop_(std::move(loop)), client_(*loop_), request_(std::move(request)) {}

    bool run(int count, std::vector<double>& samples) {
        for (int i = 0; i < count; ++i) {
            const bool ok = timeOne(*loop_, samples, [this](std::function<void(long)> report) {
                client_.send(request_, [report](vesk::Expected<vesk::net::HttpReply> reply) {
                    report(reply ? reply->status : 0);
                });
            });
            if (!ok) {
                return false;
            }
        }
        return true;
    }

  private:
    std::shared_ptr<vesk::RunLoop> loop_;
    vesk::net::HttpClient client_;
    vesk::net::HttpRequest request_;
};

}  // namespace

int main(int argc, char** argv) {
    const int setups = argc > 1 ? std::max(1, std::atoi(argv[1])) : 400;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 4;
    const int perRound = std::max(1, setups / rounds);
    constexpr int kWarmup = 20;

    std::string error;
    auto server = vesk::dev::DevServer::start({}, &error);
    if (!server) {
        std::fprintf(stderr, "development server: %s\n", error.c_str());
        return 1;
    }
    auto loop = std::make_shared<vesk::RunLoop>();
    loop->runPending();

    Facade facade(loop, server->demoApiKey(), *server);
    std::vector<double> warmup;
    if (!facade.run(kWarmup, warmup)) {
        std::fprintf(stderr, "warm-up failed\n");
        return 1;
    }
    const auto connect = lastConnect(*server);
    BareCurl bare(connect);
    HandoffCurl handoff(loop, connect);
    LibraryClient client(loop, connect);
    std::vector<double> facadeSamples;
    std::vector<double> bareSamples;
    std::vector<double> handoffSamples;
    std::vector<double> clientSamples;
    if (!bare.run(*loop, kWarmup, warmup) || !handoff.run(kWarmup, warmup) ||
        !client.run(kWarmup, warmup)) {
        std::fprintf(stderr, "warm-up failed\n");
        return 1;
    }
    facade.mainCpu.clear();
    for (int round = 0; round < rounds; ++round) {
        const bool ok =
            round % 2 == 0
                ? facade.run(perRound, facadeSamples) && bare.run(*loop, perRound, bareSamples) &&
                      handoff.run(perRound, handoffSamples) && client.run(perRound, clientSamples)
                : client.run(perRound, clientSamples) && handoff.run(perRound, handoffSamples) &&
                      bare.run(*loop, perRound, bareSamples) && facade.run(perRound, facadeSamples);
        if (!ok) {
            std::fprintf(stderr, "a setup or request failed in round %d\n", round);
            return 1;
        }
        server->clearRequests();
    }
    const double a = median(facadeSamples);
    const double b = median(bareSamples);
    std::printf("connect against %s, %zu per side, %d alternating rounds\n",
                server->apiBaseUrl().c_str(), facadeSamples.size(), rounds);
    std::printf("%-28s %10s %10s\n", "", "median us", "p90 us");
    std::printf("%-28s %10.1f %10.1f\n", "Vesk::setup to success", a, p90(facadeSamples));
    std::printf("%-28s %10.1f %10.1f\n", "bare libcurl easy connect", b, p90(bareSamples));
    std::printf("%-28s %10.1f %10.1f\n", "same, multi thread + post", median(handoffSamples),
                p90(handoffSamples));
    std::printf("%-28s %10.1f %10.1f\n", "library HTTP client alone", median(clientSamples),
                p90(clientSamples));
    std::printf("%-28s %10.1f %10.1f\n", "setup: main-thread CPU", median(facade.mainCpu),
                p90(facade.mainCpu));
    std::printf("median ratio (setup / bare): %.2f (target <= 2)\n", b > 0 ? a / b : 0.0);
    std::fflush(stdout);
    std::_Exit(a <= 2 * b ? 0 : 3);
}
