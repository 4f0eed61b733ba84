#include "core/config/info_plist.hpp"

#include <algorithm>
#include <array>

#include "core/config/bundle_lookup.hpp"

namespace vesk {

namespace {

constexpr std::array<std::string_view, InfoPlist::kKeyCount> kRawKeys{
    "apiUrl",
    "wssUrl",
    "filesUrl",
    "login",
    "password",
    "panelAccountUrl",
    "panelUrl",
    "panelRegister",
    "storeProductITunesIdentifier",
    "closeViewWidth",
    "googleServiceInfo",
    "delayListControllerTableViewCount",
    "imageMessageSizeLim",
    "yandexExpireTimeout",
    "facebookExpireTimeout",
    "ratingFirstStartTime",
    "ratingRejectedTime",
    "userAuthKey",
    "veskApiKey",
    "appName",
    "deepLinkUrl",
    "timeoutRefresh",
    "providerName",
    "Bundle identifier",
    "appGroupDomain",
    "moyaLog",
};

}  // namespace

InfoPlist& InfoPlist::shared() {
    static InfoPlist instance;
    return instance;
}

std::string_view InfoPlist::rawKey(Keys key) {
    return kRawKeys.at(static_cast<std::size_t>(key));
}

std::optional<InfoPlist::Keys> InfoPlist::keyFromRaw(std::string_view raw) {
    const auto* it = std::find(kRawKeys.begin(), kRawKeys.end(), raw);
    if (it == kRawKeys.end()) {
        return std::nullopt;
    }
    return static_cast<Keys>(it - kRawKeys.begin());
}

std::optional<std::string> InfoPlist::getValue(Keys key, AppType from) const {
    const auto bundle = config::bundleFor(from, config::LibLookup::withSibling);
    if (!bundle) {
        return std::nullopt;
    }
    const auto* info = bundle->infoDictionary();
    if (info == nullptr) {
        return std::nullopt;
    }
    const auto* entry = info->find(rawKey(key));
    if (entry == nullptr || !entry->has_value() || (*entry)->string() == nullptr) {
        return std::nullopt;
    }
    std::string value = *(*entry)->string();
    value.erase(std::remove(value.begin(), value.end(), '\\'), value.end());
    return value;
}

}  // namespace vesk
