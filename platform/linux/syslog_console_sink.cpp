#include "platform/linux/syslog_console_sink.hpp"

#include <syslog.h>

#include <climits>
#include <mutex>
#include <set>
#include <string>

#include "core/platform_hooks.hpp"

namespace vesk {
namespace {

constexpr std::size_t kMaxIdents = 64;

struct SyslogState {
    std::mutex mutex;
    std::set<std::string, std::less<>> idents;  // nodes never move: c_str() stays valid
    const char* openIdent = nullptr;
};

// Never destroyed: syslog may read the ident until the very end of the process.
SyslogState& state() {
    static auto* s = new SyslogState;
    return *s;
}

const char* internLocked(SyslogState& s, std::string_view ident) {
    ident = ident.substr(0, ident.find('\0'));
    auto it = s.idents.find(ident);
    if (it == s.idents.end()) {
        if (s.idents.size() >= kMaxIdents) {
            ident = "Vesk";
        }
        it = s.idents.emplace(ident).first;
    }
    return it->c_str();
}

int printable(std::size_t n) { return n > INT_MAX ? INT_MAX : static_cast<int>(n); }
const char* pointer(std::string_view s) { return s.data() != nullptr ? s.data() : ""; }

}  // namespace

const char* internSyslogIdent(std::string_view ident) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    return internLocked(s, ident);
}

void SyslogConsoleSink::write(std::string_view subsystem, std::string_view category,
                              std::string_view text) {
    auto& s = state();
    std::lock_guard lock(s.mutex);  // openlog and syslog as one step
    const char* ident = internLocked(s, subsystem);
    if (ident != s.openIdent) {
        openlog(ident, LOG_PID, LOG_USER);
        s.openIdent = ident;
    }
    syslog(LOG_DEBUG, "%.*s: %.*s", printable(category.size()), pointer(category),
           printable(text.size()), pointer(text));
}

std::shared_ptr<ConsoleSink> platform::makeDefaultConsoleSink() {
    return std::make_shared<SyslogConsoleSink>();
}

}  // namespace vesk
