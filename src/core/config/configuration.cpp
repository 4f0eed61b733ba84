#include "core/config/configuration.hpp"

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
    return out;
}

}  // namespace vesk
