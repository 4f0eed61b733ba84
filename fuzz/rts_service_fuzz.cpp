// Any text as a real-time frame, on the path the socket takes: its resume
// point read, then the frame parsed and dispatched. Each must drop or apply
// it, never crash or throw, and leave the repositories usable.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "core/in_memory_key_value_store.hpp"
#include "tests/support/virtual_scheduler.hpp"
#include "usecases/conversation_context.hpp"
#include "usecases/rts_service.hpp"

namespace {

struct World {
    std::shared_ptr<vesk::VirtualScheduler> scheduler = std::make_shared<vesk::VirtualScheduler>();
    std::shared_ptr<vesk::InMemoryKeyValueStore> store =
        std::make_shared<vesk::InMemoryKeyValueStore>();
    vesk::ConversationContext ctx{
        {store, scheduler.get(), std::make_shared<vesk::ApiEndpoint>(), nullptr, std::nullopt}};
    bool chatOpen = false;
    vesk::RtsService rts{
        ctx, [this] { return chatOpen; },
        [](const std::optional<std::string>&) { return vesk::rx::just(vesk::rx::Unit{}); }};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A fresh world per input: state from one input must not hide a fault of the next.
    World world;
    const std::string text(reinterpret_cast<const char*>(data), size);
    (void)vesk::resumePointOf(text);
    world.rts.onMessage(text);
    world.chatOpen = true;
    world.rts.onMessage(text);  // the same frame again: an echo, a popup while open
    world.scheduler->advance(std::chrono::hours(24 * 366 * 11));  // every expiry falls due
    return 0;
}
