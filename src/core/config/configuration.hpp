// The deployment values one library instance runs with. The process's instance
// reads them from the bundles when it is built (compiled-in defaults, the
// VESK_CONFIG file, VESK_* variables, `configure`); tests give their own.
// Threading: a plain value.
#pragma once

#include <optional>
#include <string>

namespace vesk {

struct Configuration {
    // The API base URL, ending in "/v1/"; it is checked when a request is built.
    std::string apiUrl;
    // The real-time base URL; absent gives the base "error", which never connects.
    std::optional<std::string> wssUrl;
    // The base of uploaded files (avatars named without a host).
    std::optional<std::string> filesUrl;
    // The store shared with a notification extension; absent writes no flag there.
    std::optional<std::string> appGroupDomain;
    // Every request and reply goes to the console (the configuration value "1").
    bool requestLogging = false;
    // The host of the chat's web widget pages.
    std::string widgetUrl;
    // Picks the sibling brand's resources and goes to the pages' settings.
    std::optional<std::string> providerName;
    // The CAs both channels trust; empty: the system's store.
    std::string caFile;
    // The real-time channel reconnects by itself after an unexpected close.
    bool reconnect = true;

    // What the library's and the host's bundles hold now.
    static Configuration fromBundles();
};

}  // namespace vesk
