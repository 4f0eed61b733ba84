#include "core/console_sink_holder.hpp"

#include <mutex>

namespace vesk {

namespace {
std::mutex gMutex;
std::shared_ptr<ConsoleSink> gSink;
}  // namespace

std::shared_ptr<ConsoleSink> currentConsoleSink() {
    std::lock_guard lock(gMutex);
    return gSink;
}

void setConsoleSink(std::shared_ptr<ConsoleSink> sink) {
    std::lock_guard lock(gMutex);
    gSink = std::move(sink);
}

}  // namespace vesk
