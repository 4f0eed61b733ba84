#include "core/config/bundle_lookup.hpp"

#include "core/config/library_bundles.hpp"

namespace vesk::config {

std::shared_ptr<const Bundle> bundleFor(AppType type, LibLookup lib) {
    switch (type) {
        case AppType::app:
            return mainBundle();
        case AppType::sdk:
            return findBundle(kSdkBundleId);
        case AppType::lib:
            if (auto own = findBundle(kLibBundleId)) {
                return own;
            }
            return lib == LibLookup::withSibling ? findBundle(kSiblingLibBundleId) : nullptr;
    }
    return nullptr;
}

}  // namespace vesk::config

namespace vesk {

namespace {
constexpr std::string_view kMissingSentinel = "vx.localized.string.nil";
}

std::string localize(std::string_view key, AppType type, const Bundle* bundle) {
    if (bundle != nullptr) {
        auto text = bundle->localizedString(key, kMissingSentinel);
        if (text != kMissingSentinel) {
            return text;
        }
    }
    const auto chosen = config::bundleFor(type, config::LibLookup::ownOnly);
    if (!chosen) {
        return {};
    }
    return chosen->localizedString(key, std::nullopt);
}

}  // namespace vesk
