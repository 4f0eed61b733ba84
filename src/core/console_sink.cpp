#include <exception>
#include <mutex>
#include <utility>

#include "core/console_line.hpp"
#include "core/platform_hooks.hpp"
#include "core/system_console.hpp"

namespace vesk {
namespace {

struct SinkHolder {
    std::mutex mutex;
    std::shared_ptr<ConsoleSink> sink;
    bool chosen = false;  // false: the platform default has not been made yet
};

// Never destroyed: lines may still be written while other statics are torn down.
SinkHolder& holder() {
    static auto* h = new SinkHolder;
    return *h;
}

}  // namespace

void setConsoleSink(std::shared_ptr<ConsoleSink> sink) {
    auto& h = holder();
    std::unique_lock lock(h.mutex);
    std::swap(h.sink, sink);
    h.chosen = true;
    lock.unlock();
    // The old sink, if this was its last owner, goes away here, outside the lock.
}

std::shared_ptr<ConsoleSink> currentConsoleSink() {
    auto& h = holder();
    std::lock_guard lock(h.mutex);
    if (!h.chosen) {
        h.sink = platform::makeDefaultConsoleSink();
        h.chosen = true;
    }
    return h.sink;
}

void consoleLine(std::string_view category, std::string_view text) {
    try {
        SystemConsole::shared().write(text, category);
    } catch (...) {
        // A console line is never worth an escaping exception.
    }
}

}  // namespace vesk
