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
    const auto bundle = config::bundleFor(AppType::lib, config::LibLookup::withSibling);
    const auto* info = bundle ? bundle->infoDictionary() : nullptr;
    const auto text = [info](const char* key) -> const std::string* {
        const auto* entry = info != nullptr ? info->find(key) : nullptr;
        return entry != nullptr && entry->has_value() ? (*entry)->string() : nullptr;
    };
    if (const auto* widget = text("widgetUrl")) {
        out.widgetUrl = *widget;
    }
    if (const auto* caFile = text("caFile")) {
        out.caFile = *caFile;
    }
    if (const auto* reconnect = text("reconnect")) {
        out.reconnect = *reconnect != "0";
    }
    return out;
}

}  // namespace vesk
