// Where the launcher's bubble and the operator's picture beside it go.
//
// Threading: pure functions; call from any thread.
#pragma once

#include "vesk/launcher.hpp"

namespace vesk {

struct BubbleMetrics {
    static constexpr double marginBottom = 13;  // above the button
    static constexpr double paddingLeft = 14;
    static constexpr double paddingRight = 14;
    static constexpr double paddingTop = 9;
    static constexpr double paddingBottom = 11;
    static constexpr double avatarSpace = 10;
    static constexpr double avatar = 32;
    // The button's distance from the screen's edges.
    static constexpr double screenMargin = 20;
    static constexpr int maxLines = 6;
};

// The widest the bubble's text may be on a screen `screenWidth` wide, so that
// the bubble, its padding and the picture stay within the screen's margins.
[[nodiscard]] double bubbleTextWidth(double screenWidth);

// Places `bubble` for a text of the measured size: above the button, its
// bottom a margin above the button's top, aligned with the button's right
// side (its left side when right to left), the picture beside it.
void layoutBubble(LauncherBubble& bubble, Size text, bool rightToLeft);

}  // namespace vesk
