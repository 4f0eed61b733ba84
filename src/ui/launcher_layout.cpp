#include "ui/launcher_layout.hpp"

#include <algorithm>
#include <cmath>

namespace vesk {

double bubbleTextWidth(double screenWidth) {
    using M = BubbleMetrics;
    const double room = screenWidth - 2 * M::screenMargin - M::avatarSpace - M::avatar -
                        M::paddingLeft - M::paddingRight;
    return std::max(0.0, std::floor(room));
}

void layoutBubble(LauncherBubble& bubble, Size text, bool rightToLeft) {
    using M = BubbleMetrics;
    const double labelWidth = std::ceil(std::max(0.0, text.width));
    const double labelHeight = std::ceil(std::max(0.0, text.height));
    const double width = labelWidth + M::paddingLeft + M::paddingRight;
    const double height = labelHeight + M::paddingTop + M::paddingBottom;
    const double x = rightToLeft ? 0 : kLauncherButtonSize - width;
    const double y = -M::marginBottom - height;
    bubble.frame = {x, y, width, height};
    bubble.labelFrame = {M::paddingLeft, M::paddingTop, labelWidth, labelHeight};
    bubble.avatarFrame = {rightToLeft ? x + width + M::avatarSpace : x - M::avatarSpace - M::avatar,
                          y + height - M::avatar, M::avatar, M::avatar};
}

// A view that cannot measure gets an average glyph of half the font size and
// lines of 1.2 times it; explicit line breaks count, words are not kept whole.
Size LauncherView::measureBubbleText(const std::string& text, double maxWidth, int maxLines) const {
    const double glyph = kLauncherBubbleFontSize * 0.5;
    const double perLine = std::max(1.0, std::floor(maxWidth / glyph));
    double lines = 0;
    double widest = 0;
    double run = 0;  // code points in the current line
    const auto endLine = [&] {
        lines += std::max(1.0, std::ceil(run / perLine));
        widest = std::max(widest, std::min(run, perLine) * glyph);
        run = 0;
    };
    for (const char c : text) {
        if (c == '\n') {
            endLine();
        } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            ++run;
        }
    }
    endLine();
    lines = std::min(lines, static_cast<double>(std::max(1, maxLines)));
    return {std::min(widest, std::max(0.0, maxWidth)),
            std::ceil(lines * kLauncherBubbleFontSize * 1.2)};
}

}  // namespace vesk
