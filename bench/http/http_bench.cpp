// Median latency of sequential small form POSTs over one reused connection to
// the in-process development server: the library's HttpClient (send, network
// thread, reply posted back to a RunLoop) against a bare libcurl easy-handle
// loop making the same requests in the same run. Rounds alternate between the
// two so that load from other processes hits both alike.
//
// Usage: vesk_http_bench [requests per side, default 1000] [rounds, default 4]
#include <curl/curl.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "net/http_client.hpp"
#include "net/url_encoding.hpp"
#include "tools/devserver/dev_server.hpp"
#include "vesk/executor.hpp"

namespace {

using Clock = std::chrono::steady_clock;
using Micros = std::chrono::duration<double, std::micro>;

const vesk::net::Parameters kFields{{"presence", "online"}, {"note", "bench"}};
const vesk::net::Parameters kQuery{{"auth_token", "T"}, {"id_as_string", "1"}};

// CPU time of the whole process (client, network and server threads): less
// sensitive to other processes than wall-clock latency on a shared machine.
double processCpuMicros() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
}

struct Stats {
    double median = 0;
    double p90 = 0;
    double mean = 0;
};

Stats summarize(std::vector<double> samples) {
    Stats s;
    if (samples.empty()) {
        return s;
    }
    std::sort(samples.begin(), samples.end());
    s.median = samples[samples.size() / 2];
    s.p90 = samples[samples.size() * 9 / 10];
    double sum = 0;
    for (const double v : samples) {
        sum += v;
    }
    s.mean = sum / static_cast<double>(samples.size());
    return s;
}

class Ours {
  public:
    explicit Ours(std::string url) : url_(std::move(url)), client_(loop_) {}

    // Returns false when a request failed.
    bool run(int count, std::vector<double>& samples) {
        for (int i = 0; i < count; ++i) {
            bool done = false;
            bool ok = false;
            const auto start = Clock::now();
            client_.send(vesk::net::HttpRequest::post(url_, vesk::net::FormBody{kFields}, kQuery),
                         [&](vesk::Expected<vesk::net::HttpReply> reply) {
                             ok = reply && reply->status == 200;
                             done = true;
                         });
            loop_.runUntil([&] { return done; }, std::chrono::seconds(30));
            samples.push_back(Micros(Clock::now() - start).count());
            if (!ok) {
                return false;
            }
        }
        return true;
    }

    [[nodiscard]] std::uint64_t connections() const { return client_.connectionsOpened(); }

  private:
    std::string url_;
    vesk::RunLoop loop_;
    vesk::net::HttpClient client_;
};

class BareCurl {
  public:
    explicit BareCurl(const std::string& url)
        : url_(vesk::net::appendQuery(url, kQuery)),
          body_(vesk::net::encodeForm(kFields)),
          easy_(curl_easy_init()) {
        curl_easy_setopt(easy_, CURLOPT_URL, url_.c_str());
        curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(easy_, CURLOPT_POSTFIELDS, body_.c_str());
        curl_easy_setopt(easy_, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body_.size()));
        curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &BareCurl::onBody);
        curl_easy_setopt(easy_, CURLOPT_WRITEDATA, &reply_);
    }
    ~BareCurl() { curl_easy_cleanup(easy_); }
    BareCurl(const BareCurl&) = delete;
    BareCurl& operator=(const BareCurl&) = delete;

    bool run(int count, std::vector<double>& samples) {
        for (int i = 0; i < count; ++i) {
            reply_.clear();
            const auto start = Clock::now();
            const CURLcode code = curl_easy_perform(easy_);
            long status = 0;
            curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &status);
            long opened = 0;
            curl_easy_getinfo(easy_, CURLINFO_NUM_CONNECTS, &opened);
            connections_ += opened;
            samples.push_back(Micros(Clock::now() - start).count());
            if (code != CURLE_OK || status != 200) {
                return false;
            }
        }
        return true;
    }

    [[nodiscard]] long connections() const { return connections_; }

  private:
    static std::size_t onBody(char* data, std::size_t size, std::size_t count, void* out) {
        static_cast<std::string*>(out)->append(data, size * count);
        return size * count;
    }

    std::string url_;
    std::string body_;
    std::string reply_;
    CURL* easy_;
    long connections_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    const int requests = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 4;
    const int perRound = std::max(1, requests / rounds);
    constexpr int kWarmup = 50;

    std::string error;
    auto server = vesk::dev::DevServer::start({}, &error);
    if (!server) {
        std::fprintf(stderr, "development server: %s\n", error.c_str());
        return 1;
    }
    const std::string url = server->baseUrl() + "_dev/echo";

    Ours ours(url);
    BareCurl bare(url);
    std::vector<double> ourSamples;
    std::vector<double> bareSamples;
    std::vector<double> warmup;
    if (!ours.run(kWarmup, warmup) || !bare.run(kWarmup, warmup)) {
        std::fprintf(stderr, "warm-up request failed\n");
        return 1;
    }
    double ourCpu = 0;
    double bareCpu = 0;
    auto runOurs = [&] {
        const double start = processCpuMicros();
        const bool ok = ours.run(perRound, ourSamples);
        ourCpu += processCpuMicros() - start;
        return ok;
    };
    auto runBare = [&] {
        const double start = processCpuMicros();
        const bool ok = bare.run(perRound, bareSamples);
        bareCpu += processCpuMicros() - start;
        return ok;
    };
    for (int round = 0; round < rounds; ++round) {
        const bool ok = round % 2 == 0 ? runOurs() && runBare() : runBare() && runOurs();
        if (!ok) {
            std::fprintf(stderr, "request failed in round %d\n", round);
            return 1;
        }
        server->clearRequests();
    }

    const Stats a = summarize(ourSamples);
    const Stats b = summarize(bareSamples);
    std::printf("sequential form POSTs to %s, %zu per side, %d alternating rounds\n", url.c_str(),
                ourSamples.size(), rounds);
    const double n = static_cast<double>(ourSamples.size());
    std::printf("%-18s %10s %10s %10s %12s %12s\n", "client", "median us", "p90 us", "mean us",
                "cpu us/req", "connections");
    std::printf("%-18s %10.1f %10.1f %10.1f %12.1f %12llu\n", "vesk HttpClient", a.median, a.p90,
                a.mean, ourCpu / n, static_cast<unsigned long long>(ours.connections()));
    std::printf("%-18s %10.1f %10.1f %10.1f %12.1f %12ld\n", "bare libcurl easy", b.median, b.p90,
                b.mean, bareCpu / n, bare.connections());
    std::printf("median ratio (vesk / bare): %.2f\n", b.median > 0 ? a.median / b.median : 0.0);
    return 0;
}
