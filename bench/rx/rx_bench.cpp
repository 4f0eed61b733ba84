// Cost of the reactive layer on its hot paths: a value through an operator
// chain, a relay publishing to many subscribers, and a subscribe/dispose pair.
#include <benchmark/benchmark.h>

#include <vector>

#include "core/rx/rx.hpp"

namespace {

using namespace vesk::rx;

void BM_ValueThroughMapFilterDistinct(benchmark::State& state) {
    PublishSubject<int> subject;
    long long sum = 0;
    DisposeBag bag;
    bag.add((subject.asObservable() | map([](int v) { return v + 1; }) |
             filter([](int v) { return v % 3 != 0; }) | distinctUntilChanged())
                .subscribe([&](int v) { sum += v; }));
    int i = 0;
    for (auto _ : state) {
        subject.onNext(i++);
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ValueThroughMapFilterDistinct);

void BM_RelayFanOut(benchmark::State& state) {
    BehaviorRelay<int> relay(0);
    long long sum = 0;
    DisposeBag bag;
    for (int s = 0; s < state.range(0); ++s) {
        bag.add(relay.asObservable().subscribe([&](int v) { sum += v; }));
    }
    int i = 0;
    for (auto _ : state) {
        relay.accept(i++);
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RelayFanOut)->Arg(1)->Arg(10);

void BM_SubscribeAndDisposeChain(benchmark::State& state) {
    BehaviorRelay<int> a(1);
    BehaviorRelay<int> b(2);
    for (auto _ : state) {
        auto d = (combineLatest(a.asObservable(), b.asObservable()) | take(1))
                     .subscribe([](const auto&) {});
        d.dispose();
    }
}
BENCHMARK(BM_SubscribeAndDisposeChain);

}  // namespace

BENCHMARK_MAIN();
