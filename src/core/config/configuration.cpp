#include "core/config/configuration.hpp"

#include "core/config/bundle_lookup.hpp"
#include "core/config/info_plist.hpp"
#include "core/config/library_bundles.hpp"

namespace vesk {

Configuration Configuration::fromBundles() {
    const auto& plist = InfoPlist::shared();
    const auto value = [&plist](InfoPlist::Keys key) { return plist.getValue(key, AppType::lib); };
    Configuration out;
    out.apiUrl = value(InfoPlist::Keys::apiUrl).value_or(std::string(config::kDefaultApiUrl));
    out.wssUrl = value(InfoPlist::Keys::wssUrl);
    out.filesUrl = value(InfoPlist::Keys::filesUrl);
    out.appGroupDomain = value(InfoPlist::Keys::appGroupDomain);
    out.requestLogging = value(InfoPlist::Keys::moyaLog) == "1";
    out.providerName = plist.getValue(InfoPlist::Keys::providerName, AppType::sdk);
    out.widgetUrl = std::string(config::kDefaultWidgetUrl);
    if (const auto bundle = config::bundleFor(AppType::lib, config::LibLookup::withSibling)) {
        if (const auto* info = bundle->infoDictionary()) {
            if (const auto* entry = info->find("widgetUrl");
                entry != nullptr && entry->has_value() && (*entry)->string() != nullptr) {
                out.widgetUrl = *(*entry)->string();
            }
        }
    }
    return out;
}

}  // namespace vesk
