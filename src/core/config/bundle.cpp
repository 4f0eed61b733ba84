#include "vesk/bundle.hpp"

#include <cstdlib>
#include <mutex>
#include <vector>

#include "core/config/library_bundles.hpp"

namespace vesk {

void Bundle::setInfo(std::string key, JsonValue value) {
    if (!info_) {
        info_.emplace();
    }
    info_->set(std::move(key), std::move(value));
}

void Bundle::setStrings(std::string language, StringTable table) {
    strings_[std::move(language)] = std::move(table);
}

std::string Bundle::localizedString(std::string_view key,
                                    std::optional<std::string_view> defaultValue) const {
    const StringTable* table = nullptr;
    if (auto it = strings_.find(preferredLanguage()); it != strings_.end()) {
        table = &it->second;
    } else if (auto en = strings_.find("en"); en != strings_.end()) {
        table = &en->second;
    } else if (!strings_.empty()) {
        table = &strings_.begin()->second;
    }
    if (table != nullptr) {
        if (auto found = table->find(key); found != table->end()) {
            return found->second;
        }
    }
    return std::string(defaultValue.value_or(key));
}

namespace {

struct Registry {
    std::mutex mutex;
    std::shared_ptr<const Bundle> main;
    std::vector<std::shared_ptr<const Bundle>> bundles;
    std::optional<std::string> language;
    bool libraryBundlesRegistered = false;
};

Registry& registry() {
    static Registry instance;
    return instance;
}

// The library's own bundles exist from the first lookup on.
void ensureLibraryBundles(Registry& r) {
    if (r.libraryBundlesRegistered) {
        return;
    }
    r.libraryBundlesRegistered = true;
    for (auto& bundle : config::makeLibraryBundles()) {
        r.bundles.push_back(std::make_shared<const Bundle>(std::move(bundle)));
    }
}

std::string languageFromEnvironment() {
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);  // NOLINT(concurrency-mt-unsafe): read-only use
        if (value == nullptr || *value == '\0') {
            continue;
        }
        std::string text(value);
        const auto end = text.find_first_of("_.:@");
        text = text.substr(0, end);
        if (text == "C" || text == "POSIX" || text.empty()) {
            continue;
        }
        return text;
    }
    return "en";
}

}  // namespace

void setMainBundle(std::optional<Bundle> bundle) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    r.main = bundle ? std::make_shared<const Bundle>(std::move(*bundle)) : nullptr;
}

std::shared_ptr<const Bundle> mainBundle() {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    return r.main;
}

void registerBundle(Bundle bundle) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    ensureLibraryBundles(r);
    auto shared = std::make_shared<const Bundle>(std::move(bundle));
    for (auto& existing : r.bundles) {
        if (existing->identifier() == shared->identifier()) {
            existing = std::move(shared);
            return;
        }
    }
    r.bundles.push_back(std::move(shared));
}

std::shared_ptr<const Bundle> findBundle(std::string_view identifier) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    ensureLibraryBundles(r);
    for (const auto& bundle : r.bundles) {
        if (bundle->identifier() == identifier) {
            return bundle;
        }
    }
    return nullptr;
}

void setPreferredLanguage(std::string language) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    r.language = std::move(language);
}

std::string preferredLanguage() {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    if (!r.language) {
        r.language = languageFromEnvironment();
    }
    return *r.language;
}

}  // namespace vesk
