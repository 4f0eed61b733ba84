// The default directories, as the XDG base directory rules place them.
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "core/platform_hooks.hpp"

namespace vesk {
namespace {

std::filesystem::path absoluteFromEnv(const char* name) {
    const char* value = std::getenv(name);  // NOLINT(concurrency-mt-unsafe): read once at setup
    if (value == nullptr || value[0] != '/') {
        return {};  // unset or relative: ignored, as the XDG rules ask
    }
    return value;
}

std::filesystem::path homeDirectory() {
    if (auto home = absoluteFromEnv("HOME"); !home.empty()) {
        return home;
    }
    struct passwd entry {};
    struct passwd* found = nullptr;
    std::string buffer(16384, '\0');
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] == '/') {
        return found->pw_dir;
    }
    return {};
}

// `$<variable>/vesk`, else `~/<fallback>/vesk`; empty without a home.
std::filesystem::path xdgDirectory(const char* variable, const char* fallback) {
    if (auto xdg = absoluteFromEnv(variable); !xdg.empty()) {
        return xdg / "vesk";
    }
    if (auto home = homeDirectory(); !home.empty()) {
        return home / fallback / "vesk";
    }
    return {};
}

}  // namespace

std::filesystem::path platform::defaultDataDirectory() {
    return xdgDirectory("XDG_DATA_HOME", ".local/share");
}

std::filesystem::path platform::defaultCacheDirectory() {
    return xdgDirectory("XDG_CACHE_HOME", ".cache");
}

}  // namespace vesk
