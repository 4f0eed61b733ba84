// The library's compiled-in bundles and its deployment defaults.
#pragma once

#include <string_view>
#include <vector>

#include "vesk/bundle.hpp"

namespace vesk::config {

// The library framework's own bundle (images, page resources, strings).
inline constexpr std::string_view kSdkBundleId = "io.vesk.VeskSDK";
// The library packaged as a static library: tried first, then the sibling brand's.
inline constexpr std::string_view kLibBundleId = "io.vesk.VeskLib";
inline constexpr std::string_view kSiblingLibBundleId = "io.norra.NorraLib";

inline constexpr std::string_view kDefaultApiUrl = "https://api.vesk.io/v1/";
inline constexpr std::string_view kDefaultWssUrl = "wss://rts.vesk.io/";
inline constexpr std::string_view kDefaultFilesUrl = "https://files.vesk.io/";
inline constexpr std::string_view kDefaultAppGroupDomain = "group.io.vesk.shared";
// The host of the chat's web widget pages.
inline constexpr std::string_view kDefaultWidgetUrl = "https://widget.vesk.io";

// The sdk and lib bundles with their defaults, overridden by the VESK_CONFIG
// file and the VESK_* environment variables (see vesk/configuration.hpp).
std::vector<Bundle> makeLibraryBundles();

// The en and ru string tables shared by the library's bundles.
Bundle::StringTable englishStrings();
Bundle::StringTable russianStrings();

}  // namespace vesk::config
