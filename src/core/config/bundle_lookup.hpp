// Finding the bundle an AppType stands for.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/config/info_plist.hpp"
#include "vesk/bundle.hpp"

namespace vesk::config {

// Configuration reads try the sibling brand's library bundle when the
// library's own is unknown; localized lookups do not.
enum class LibLookup { withSibling, ownOnly };

std::shared_ptr<const Bundle> bundleFor(AppType type, LibLookup lib);

}  // namespace vesk::config

namespace vesk {

// The localized text for `key`: first from `bundle` when given (unless it
// lacks the key), then from the bundle of `type`; "" when no bundle is found.
std::string localize(std::string_view key, AppType type, const Bundle* bundle = nullptr);

}  // namespace vesk
