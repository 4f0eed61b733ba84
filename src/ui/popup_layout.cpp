#include "ui/popup_layout.hpp"

#include <algorithm>
#include <cmath>

namespace vesk {

PopupLayout popupLayout(ScreenSize screen, double pageHeight, std::optional<double> pillWidth) {
    using M = PopupMetrics;
    const bool portrait = screen.width <= screen.height;
    const double width = screen.width >= M::maxWidth + 2 * M::sideOffset
                             ? M::maxWidth
                             : std::max(0.0, screen.width - 2 * M::sideOffset);
    const double page = pageHeight > 0 ? pageHeight : M::defaultPageHeight;
    const double close = portrait ? M::closeButton : 0;
    const double pill = pillWidth ? M::pillHeight + M::pillGap : 0;
    const double height = pill + page + close;
    const double margin = portrait ? M::topOffsetBig : M::topOffsetSmall;

    PopupLayout out;
    out.card = {
        std::ceil((screen.width - width) * 0.5),
        2 * margin + height < screen.height ? std::ceil((screen.height - height) * 0.5) : margin,
        width, height};
    out.page = {0, close, width, page};
    out.closeButton = {portrait ? width - M::closeButton : width, 0, M::closeButton,
                       M::closeButton};
    if (pillWidth) {
        out.pill = Rect{std::round((width - *pillWidth) * 0.5), out.page.y + page + M::pillGap,
                        *pillWidth, M::pillHeight};
    }
    return out;
}

}  // namespace vesk
