// Merging one inbound message into a conversation that already holds N
// messages, N = 100 and 100,000: the merge (lookup, replace, publish to a
// subscriber, dialog update) must not grow with N. The list size stays N:
// each merged message replaces one that is listed.
//
// For scale, BM_CopyWholeList times what a merge that rebuilds the list
// costs: one copy of an N-message vector.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "core/in_memory_key_value_store.hpp"
#include "tests/support/virtual_scheduler.hpp"
#include "usecases/conversation_context.hpp"
#include "usecases/conversation_use_cases.hpp"

namespace {

using namespace vesk;

Message userMessage(std::int64_t randomId, const std::string& id) {
    Message m;
    m.id = id;
    m.randomId = randomId;
    m.body = "A message of ordinary length, about as long as people write in a chat.";
    m.type = "reply_user";
    m.created = 1700000000 + randomId;
    m.direction = "u2a";
    m.read = true;
    m.sentVia = "sdk_ios";
    m.replyType = "text";
    m.from = JsonValue("user-1");
    m.conversation = "c1";
    return m;
}

struct World {
    explicit World(std::int64_t size)
        : ctx({store, scheduler.get(), std::make_shared<ApiEndpoint>(), nullptr, std::nullopt}) {
        Dialog dialog;
        dialog.id = "c1";
        dialog.type = "conversation";
        dialogs.add({dialog});
        std::vector<Message> listed;
        listed.reserve(static_cast<std::size_t>(size));
        for (std::int64_t i = 1; i <= size; ++i) {
            listed.push_back(userMessage(i, std::to_string(i)));
        }
        messages.repository("c1").add(listed);
        // The conversation screen: one subscriber reading each snapshot.
        bag.add(messages.repository("c1").messages().subscribe(
            [this](const MessageList& list) { seen += list.size(); }));
    }

    std::shared_ptr<VirtualScheduler> scheduler = std::make_shared<VirtualScheduler>();
    std::shared_ptr<InMemoryKeyValueStore> store = std::make_shared<InMemoryKeyValueStore>();
    ConversationContext ctx;
    DialogRepository& dialogs = ctx.dialogs;
    MessagesManager& messages = ctx.messages;
    rx::DisposeBag bag;
    std::size_t seen = 0;
};

// The echo of a message the user sent: matched by randomId, replaced.
void BM_MergeEcho(benchmark::State& state) {
    const std::int64_t size = state.range(0);
    World world(size);
    std::int64_t next = 0;
    std::vector<Message> echoes;
    for (std::int64_t i = 0; i < 4096; ++i) {
        echoes.push_back(userMessage((i % size) + 1, "server-" + std::to_string(i)));
    }
    for (auto _ : state) {
        Message echo = echoes[static_cast<std::size_t>(next % 4096)];
        echo.id += "-" + std::to_string(next / 4096);
        echo.randomId = (next % size) + 1;
        ++next;
        benchmark::DoNotOptimize(addMessage(world.ctx, echo));
    }
    if (world.messages.repository("c1").currentMessages().size() !=
        static_cast<std::size_t>(size)) {
        state.SkipWithError("the conversation changed size");
    }
    benchmark::DoNotOptimize(world.seen);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MergeEcho)->Arg(100)->Arg(100000);

// An operator message sent again under the same id (an edit): matched by id,
// replaced, and counted as unread on its dialog.
void BM_MergeSameId(benchmark::State& state) {
    const std::int64_t size = state.range(0);
    World world(size);
    std::int64_t next = 0;
    for (auto _ : state) {
        Message m = userMessage(0, std::to_string((next % size) + 1));
        m.type = "reply_admin";
        m.direction = "a2u";
        ++next;
        benchmark::DoNotOptimize(addMessage(world.ctx, m));
    }
    benchmark::DoNotOptimize(world.seen);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MergeSameId)->Arg(100)->Arg(100000);

void BM_CopyWholeList(benchmark::State& state) {
    std::vector<Message> list;
    for (std::int64_t i = 1; i <= state.range(0); ++i) {
        list.push_back(userMessage(i, std::to_string(i)));
    }
    for (auto _ : state) {
        std::vector<Message> copy = list;
        benchmark::DoNotOptimize(copy.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CopyWholeList)->Arg(100)->Arg(100000);

}  // namespace

BENCHMARK_MAIN();
