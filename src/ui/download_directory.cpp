#include "ui/download_directory.hpp"

#include <mutex>
#include <vector>

#include "core/platform_hooks.hpp"

namespace vesk {
namespace {

struct Choice {
    std::mutex mutex;
    std::filesystem::path directory;  // empty: the default
};

Choice& choice() {
    static auto* c = new Choice;  // never destroyed: readable during static teardown
    return *c;
}

}  // namespace

void setDownloadDirectory(std::filesystem::path directory) {
    auto& c = choice();
    std::lock_guard lock(c.mutex);
    c.directory = std::move(directory);
}

std::filesystem::path downloadDirectory() {
    {
        auto& c = choice();
        std::lock_guard lock(c.mutex);
        if (!c.directory.empty()) {
            return c.directory;
        }
    }
    const std::filesystem::path cache = platform::defaultCacheDirectory();
    return cache.empty() ? cache : cache / "Downloads";
}

bool createPrivateDirectory(const std::filesystem::path& directory, std::error_code& error) {
    namespace fs = std::filesystem;
    error.clear();
    std::vector<fs::path> missing;
    for (fs::path p = directory; !p.empty() && !fs::exists(p, error); p = p.parent_path()) {
        missing.push_back(p);
        if (p == p.parent_path()) {
            break;
        }
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (fs::create_directory(*it, error)) {
            fs::permissions(*it, fs::perms::owner_all, fs::perm_options::replace, error);
        }
        if (error) {
            return false;
        }
    }
    return fs::is_directory(directory, error);
}

}  // namespace vesk
