// Configuration values read by key from the host's and the library's bundles.
//
// Threading: thread-safe (bundles are immutable snapshots).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vesk {

// Which bundle a value or a localized text is read from.
enum class AppType {
    app,  // the host application's main bundle
    sdk,  // the library framework's bundle
    lib,  // the library packaged as a static library (two identifiers, tried in order)
};

class InfoPlist {
  public:
    enum class Keys {
        apiUrl,
        wssUrl,
        filesUrl,
        login,
        password,
        panelAccountUrl,
        panelUrl,
        panelRegister,
        storeProductITunesIdentifier,
        closeViewWidth,
        googleServiceInfo,
        delayListControllerTableViewCount,
        imageMessageSizeLim,
        yandexExpireTimeout,
        facebookExpireTimeout,
        ratingFirstStartTime,
        ratingRejectedTime,
        userAuthKey,
        veskApiKey,
        appName,
        deepLinkUrl,
        timeoutRefresh,
        providerName,
        bundleIdentifier,
        appGroupDomain,
        moyaLog,
    };
    static constexpr int kKeyCount = 26;

    static InfoPlist& shared();

    // The raw dictionary key of `key` ("Bundle identifier" for bundleIdentifier).
    static std::string_view rawKey(Keys key);
    // The key whose raw string is `raw`; absent for any other string.
    static std::optional<Keys> keyFromRaw(std::string_view raw);

    // The string under `key` in the chosen bundle with every backslash removed;
    // absent when the bundle, its dictionary or a string entry is missing.
    [[nodiscard]] std::optional<std::string> getValue(Keys key, AppType from) const;
};

}  // namespace vesk
