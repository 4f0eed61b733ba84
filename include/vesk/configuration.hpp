// Deployment values the library reads at run time.
//
// Compiled-in defaults point at the hosted service. A host overrides them
// without recompiling, in increasing order of precedence:
//   1. a JSON file named by the environment variable VESK_CONFIG, an object
//      with any of the keys "apiUrl", "wssUrl", "filesUrl", "appGroupDomain",
//      "moyaLog", "providerName", "widgetUrl", "caFile", "reconnect";
//   2. the environment variables VESK_API_URL, VESK_WSS_URL, VESK_FILES_URL,
//      VESK_APP_GROUP, VESK_MOYA_LOG, VESK_PROVIDER_NAME, VESK_WIDGET_URL,
//      VESK_CA_FILE, VESK_RECONNECT;
//   3. `configure` below, called before the first use of the library.
//
// Threading: thread-safe.
#pragma once

#include <optional>
#include <string>

namespace vesk {

struct DeploymentValues {
    std::optional<std::string> apiUrl;          // e.g. "https://api.example/v1/"
    std::optional<std::string> wssUrl;          // real-time base URL
    std::optional<std::string> filesUrl;        // base of uploaded files
    std::optional<std::string> appGroupDomain;  // suite shared with a notification extension
    std::optional<std::string> moyaLog;         // "1" logs every request and reply
    std::optional<std::string> providerName;    // "Norra" picks the sibling brand's images
    std::optional<std::string> widgetUrl;  // host of the chat's web pages, e.g. "https://w.example"
    // A PEM file of the CAs both channels trust instead of the system's store
    // (a company proxy, a self-hosted service).
    std::optional<std::string> caFile;
    // "0" keeps the real-time channel closed after an unexpected close until
    // the app comes back to the foreground or the network returns; by default
    // it reconnects by itself.
    std::optional<std::string> reconnect;
};

// Applies every present value on top of the current configuration.
void configure(const DeploymentValues& values);

}  // namespace vesk
