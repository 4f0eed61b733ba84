// Where each chat screen's page lives, and which navigations of a page are
// messages to the library rather than page loads.
//
// Threading: pure functions; call from any thread.
#pragma once

#include <string>
#include <string_view>

#include "vesk/web_page.hpp"

namespace vesk {

// The page's address under the configured widget base ("https://widget.example",
// with or without a final "/"): exactly one "/" joins the two.
[[nodiscard]] std::string pageUrl(std::string_view widgetBase, PageMode mode);

// The scheme a page navigates to when it talks to the library.
inline constexpr std::string_view kPageMessageScheme = "veskiossdk";

// Whether a navigation to `url` is a page message: its scheme is "veskiossdk" in any
// case. Such navigations are cancelled and handled; every other one (an empty URL
// too) is allowed.
[[nodiscard]] bool isPageMessageUrl(std::string_view url);

}  // namespace vesk
