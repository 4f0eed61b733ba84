// Where a popup card and its parts go on a screen of a given size.
//
// Threading: pure functions; call from any thread.
#pragma once

#include <optional>

#include "vesk/popup_card.hpp"

namespace vesk {

struct PopupMetrics {
    static constexpr double maxWidth = 350;
    static constexpr double sideOffset = 15;
    static constexpr double topOffsetSmall = 30;  // landscape
    static constexpr double topOffsetBig = 43;    // portrait
    static constexpr double pillGap = 10;
    static constexpr double pillHeight = 24;
    static constexpr double closeButton = 56;
    // A page that has not reported its height yet, or reported 0.
    static constexpr double defaultPageHeight = 50;
};

// The card for a page `pageHeight` high (0: not known yet), with a pill
// `pillWidth` wide under it, or none. Portrait means a width not greater
// than the height. A card higher than the screen starts at the top margin.
[[nodiscard]] PopupLayout popupLayout(ScreenSize screen, double pageHeight,
                                      std::optional<double> pillWidth);

}  // namespace vesk
