// Throughput of reading a page of conversation parts from a reply body: the
// whole reply mapping (parse, envelope, models), the parse alone, and the
// models alone from an already parsed tree. The "MB" counter is 10^6 body
// bytes per CPU second of the measuring thread.
//
//   vesk_decode_bench [--benchmark_repetitions=N ...]
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "core/reply_mapping.hpp"
#include "services/models/message.hpp"

namespace {

// Parts shaped as the service sends them: operator and user replies in turn,
// every fifth with an attachment, some with metadata and a card body.
std::string replyBody(int count) {
    std::string body = R"({"meta":{"status":200,"next_before_position":[1733500000.25]},"data":[)";
    for (int i = 0; i < count; ++i) {
        const bool admin = i % 2 == 1;
        const std::string id = std::to_string(100000 + i);
        body += i > 0 ? "," : "";
        body +=
            R"({"id":")" + id + R"(","random_id":)" + std::to_string(1700000000000LL + i) +
            R"(,"body":"Message number )" + id +
            R"(, with a few words of text as people write them in a support chat.",)" +
            R"("type":")" + (admin ? "reply_admin" : "reply_user") + R"(","created":)" +
            std::to_string(1733500000 + i) + R"(,"direction":")" + (admin ? "a2u" : "u2a") +
            R"(","read":)" + (i % 3 == 0 ? "false" : "true") +
            R"(,"sent_via":"sdk","reply_type":"text","from":)" +
            (admin
                 ? R"({"id":"1","type":"admin","name":"Anna Petrova","avatar":"https://cdn.example/avatars/operator.png"})"
                 : R"("500")") +
            R"(,"conversation":"900","attachments":[)";
        if (i % 5 == 0) {
            body +=
                R"({"id":")" + std::to_string(7000 + i) +
                R"(","created":1733500000,"type":"image","filename":"photo.jpeg","mime_type":"image/jpeg",)"
                R"("url":"https://cdn.example/files/)" +
                std::to_string(7000 + i) + R"(/photo.jpeg","size":48213})";
        }
        body += "]";
        if (i % 7 == 0) {
            body += R"(,"meta_data":{"vote":"up","comment":"thanks"})";
        }
        if (i % 11 == 0) {
            body +=
                R"(,"body_json":{"name":"How to return an order","url":"https://help.example/a/1"})";
        }
        body += "}";
    }
    return body + "]}";
}

void setThroughput(benchmark::State& state, std::size_t bytes) {
    state.counters["MB"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * static_cast<double>(bytes) / 1e6,
        benchmark::Counter::kIsRate);
    state.counters["body_bytes"] = static_cast<double>(bytes);
}

void BM_MapReplyPage(benchmark::State& state) {
    const std::string body = replyBody(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        auto mapped = vesk::mapReply<std::vector<vesk::Message>>(200, body);
        if (!mapped || !mapped->succeed()) {
            state.SkipWithError("the page did not decode");
            break;
        }
        benchmark::DoNotOptimize(mapped);
    }
    setThroughput(state, body.size());
}
BENCHMARK(BM_MapReplyPage)->Arg(20)->Arg(1000);

void BM_ParseOnly(benchmark::State& state) {
    const std::string body = replyBody(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        auto value = vesk::JsonValue::parse(body);
        benchmark::DoNotOptimize(value);
    }
    setThroughput(state, body.size());
}
BENCHMARK(BM_ParseOnly)->Arg(20)->Arg(1000);

void BM_ModelsFromTree(benchmark::State& state) {
    const std::string body = replyBody(static_cast<int>(state.range(0)));
    const auto tree = vesk::JsonValue::parse(body);
    for (auto _ : state) {
        auto decoded = vesk::json::Codec<vesk::Response<std::vector<vesk::Message>>>::decode(*tree);
        benchmark::DoNotOptimize(decoded);
    }
    setThroughput(state, body.size());
}
BENCHMARK(BM_ModelsFromTree)->Arg(20)->Arg(1000);

}  // namespace

BENCHMARK_MAIN();
